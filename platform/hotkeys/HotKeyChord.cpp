#include "platform/hotkeys/HotKeyChord.h"

#include "platform/hotkeys/HotKeys.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace wsx::platform {

namespace {

struct Key {
    uint32_t vk;
    uint32_t keysym;
    std::string keysymName;  // as xkbcommon and GTK spell it
    std::string qtName;      // as Qt's portable text spells it
};

// Every key offered, built once.
const std::vector<Key>& keys() {
    static const std::vector<Key> table = [] {
        std::vector<Key> t = {
            {0x13, 0xff13, "Pause", "Pause"},     {0x20, 0x0020, "space", "Space"},
            {0x21, 0xff55, "Page_Up", "PgUp"},    {0x22, 0xff56, "Page_Down", "PgDown"},
            {0x23, 0xff57, "End", "End"},         {0x24, 0xff50, "Home", "Home"},
            {VK_LEFT, 0xff51, "Left", "Left"},    {VK_UP, 0xff52, "Up", "Up"},
            {VK_RIGHT, 0xff53, "Right", "Right"}, {VK_DOWN, 0xff54, "Down", "Down"},
            {0x2C, 0xff61, "Print", "Print"},     {0x2D, 0xff63, "Insert", "Ins"},
            {0x2E, 0xffff, "Delete", "Del"},
        };
        for (uint32_t i = 0; i < 10; ++i) {
            const std::string digit(1, char('0' + i));
            t.push_back({0x30 + i, 0x30 + i, digit, digit});
        }
        // VK_A..VK_Z are the capitals; the key symbol is the unshifted small letter.
        for (uint32_t i = 0; i < 26; ++i)
            t.push_back(
                {0x41 + i, 0x61 + i, std::string(1, char('a' + i)), std::string(1, char('A' + i))});
        for (uint32_t i = 0; i < 24; ++i) {
            const std::string name = "F" + std::to_string(i + 1);
            t.push_back({0x70 + i, 0xffbe + i, name, name});
        }
        return t;
    }();
    return table;
}

const Key* keyFor(uint32_t vk) {
    const auto& t = keys();
    const auto found = std::find_if(t.begin(), t.end(), [vk](const Key& k) { return k.vk == vk; });
    return found != t.end() ? &*found : nullptr;
}

// Modifiers in the order Qt writes them.
constexpr std::pair<uint32_t, std::string_view> kModifierNames[] = {
    {MOD_WIN, "meta"}, {MOD_CONTROL, "ctrl"}, {MOD_ALT, "alt"}, {MOD_SHIFT, "shift"}};

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

std::string chordText(const HotKeyChord& chord) {
    const Key* key = keyFor(chord.vk);
    if (key == nullptr) return {};
    std::string text;
    for (const auto& [bit, name] : kModifierNames) {
        if ((chord.modifiers & bit) == 0) continue;
        text += char(std::toupper(static_cast<unsigned char>(name[0])));
        text += name.substr(1);
        text += '+';
    }
    return text + key->qtName;
}

std::optional<HotKeyChord> chordFromText(std::string_view text) {
    HotKeyChord chord;
    // Every part before the last '+' is a modifier; the last names the key (never "+").
    for (size_t plus = text.find('+'); plus != std::string_view::npos; plus = text.find('+')) {
        const std::string_view part = text.substr(0, plus);
        const auto* modifier =
            std::find_if(std::begin(kModifierNames), std::end(kModifierNames),
                         [part](const auto& m) { return equalsIgnoringCase(part, m.second); });
        if (modifier == std::end(kModifierNames) || (chord.modifiers & modifier->first) != 0)
            return std::nullopt;
        chord.modifiers |= modifier->first;
        text.remove_prefix(plus + 1);
    }
    for (const Key& key : keys()) {
        if (!equalsIgnoringCase(text, key.qtName)) continue;
        chord.vk = key.vk;
        return chord;
    }
    return std::nullopt;
}

bool hasCommandModifier(const HotKeyChord& chord) {
    return (chord.modifiers & (MOD_CONTROL | MOD_ALT | MOD_WIN)) != 0;
}

uint32_t keysymFor(uint32_t vk) {
    const Key* key = keyFor(vk);
    return key != nullptr ? key->keysym : 0;
}

const char* keysymNameFor(uint32_t vk) {
    const Key* key = keyFor(vk);
    return key != nullptr ? key->keysymName.c_str() : nullptr;
}

}  // namespace wsx::platform
