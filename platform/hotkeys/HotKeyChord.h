#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wsx::platform {

// One key combination a hot key can be: MOD_* bits and a VK_* key code. The keys offered
// are the letters, the digits, F1–F24, the arrows, Home/End/PageUp/PageDown/Insert/Delete,
// Space, Pause and Print: keys that mean the same on every keyboard layout.
// No Qt here: the settings reader and the GNOME lookup (GLib) use it as well.
struct HotKeyChord {
    uint32_t modifiers = 0;
    uint32_t vk = 0;
    bool operator==(const HotKeyChord&) const = default;
};

// "Ctrl+Alt+Down", as Qt writes a key sequence in portable text (the Win key is "Meta").
// "" for a key not offered.
std::string chordText(const HotKeyChord& chord);
// The chord `text` names, modifiers in any order and case; nullopt for anything else.
std::optional<HotKeyChord> chordFromText(std::string_view text);

// Whether the chord holds Ctrl, Alt or Win: without one a global key would take a key
// (or a Shift+key) away from typing in every program.
bool hasCommandModifier(const HotKeyChord& chord);

// The X key symbol of a VK_* key code and its name ("Down", "a", "Page_Up", as xkbcommon
// and GTK accelerators spell it); 0 and nullptr for a key not offered.
uint32_t keysymFor(uint32_t vk);
const char* keysymNameFor(uint32_t vk);

}  // namespace wsx::platform
