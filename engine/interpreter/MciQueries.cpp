// What the device says about itself: capability, info and sysinfo. One waveaudio device is
// installed; its open elements are the open devices.
#include "MciEngine.h"
#include "engine/command/MciConstants.h"
#include "engine/command/MciError.h"
#include "engine/command/MciItems.h"

#include <algorithm>
#include <array>
#include <utility>

namespace wsx::mci {

namespace {

// The other MCI device types: known, but none is installed here.
constexpr std::array<std::string_view, 10> kOtherTypes = {
    "animation", "cdaudio", "dat",       "digitalvideo", "other",
    "overlay",   "scanner", "sequencer", "vcr",          "videodisc"};

// Items of several words, given with any blanks between them, as one lower-case string;
// nullopt when one of them is quoted (no item is).
std::optional<std::string> joinedItem(std::span<const Token> items) {
    std::string item;
    for (const Token& t : items) {
        if (t.quoted) return std::nullopt;
        if (!item.empty()) item += ' ';
        item += toLowerAscii(t.text);
    }
    return item;
}

}  // namespace

uint32_t MciEngine::capability(std::span<const Token> items, std::string& reply) {
    if (items.empty()) return MCIERR_MISSING_PARAMETER;
    // One item of the list, by its words or its number; two items exclude each other.
    std::string_view item;
    for (size_t i = 0; i < items.size();) {
        const ConstantMatch match = matchConstant(kCapabilityItems, items.subspan(i));
        if (!match.used || match.name.empty()) return MCIERR_BAD_CONSTANT;
        if (!item.empty()) return MCIERR_FLAGS_NOT_COMPATIBLE;
        item = match.name;
        i += match.used;
    }
    static constexpr std::pair<std::string_view, std::string_view> kFixed[] = {
        {"can record", "true"}, {"can play", "true"},        {"can save", "true"},
        {"has audio", "true"},  {"has video", "false"},      {"device type", "waveaudio"},
        {"uses files", "true"}, {"compound device", "true"}, {"can eject", "false"}};
    for (const auto& [name, answer] : kFixed)
        if (item == name) {
            reply = answer;
            return MCI_OK;
        }
    // inputs, outputs. Each of the server's outputs shows as the monitor source of it.
    const auto devices = m_backend.captureDevices();
    const auto outputs = std::count_if(devices.begin(), devices.end(),
                                       [](const auto& d) { return d.name.ends_with(".monitor"); });
    const auto count = item == "outputs" ? outputs : std::ssize(devices) - outputs;
    reply = std::to_string(devices.empty() ? 1 : count);  // no server: one, as a guess
    return MCI_OK;
}

uint32_t MciEngine::info(const WaveAudioDevice& dev, std::span<const Token> items,
                         std::string& reply) {
    if (items.empty()) return MCIERR_MISSING_PARAMETER;
    const std::string item = joinedItem(items).value_or("\"");
    if (item == "product") reply = "waveaudio (PulseAudio)";
    else if (item == "file") {
        // An element neither opened from a file nor saved has no name yet.
        if (dev.fileName().empty()) return MCIERR_NONAPPLICABLE_FUNCTION;
        reply = dev.fileName().string();
    } else if (item == "product file" || item == "file product") {
        return MCIERR_FLAGS_NOT_COMPATIBLE;
    } else {
        return MCIERR_UNRECOGNIZED_KEYWORD;
    }
    return MCI_OK;
}

uint32_t MciEngine::sysinfo(std::span<const Token> tokens, std::string& reply) {
    ParsedItems p;
    if (uint32_t e =
            p.parse(tokens.subspan(1), {{"quantity"}, {"name", true}, {"open"}, {"installname"}}))
        return e;
    const int asked = int(p.has("quantity")) + int(p.has("name")) + int(p.has("installname"));
    if (asked == 0) return MCIERR_MISSING_PARAMETER;
    if (asked > 1 || (p.has("installname") && p.has("open"))) return MCIERR_FLAGS_NOT_COMPATIBLE;
    const std::string type = tokens[0].quoted ? std::string() : toLowerAscii(tokens[0].text);
    const bool all = type == "all";
    if (p.has("installname")) {
        // The name the device is installed under: for the type, or an element opened on it.
        if (all) return MCIERR_CANNOT_USE_ALL;
        if (type != "waveaudio" && !device(tokens[0].text)) return MCIERR_INVALID_DEVICE_NAME;
        reply = "waveaudio";
        return MCI_OK;
    }
    const bool ours = all || type == "waveaudio";
    if (!ours && std::find(kOtherTypes.begin(), kOtherTypes.end(), type) == kOtherTypes.end())
        return MCIERR_DEVICE_TYPE_REQUIRED;
    const size_t count = !ours ? 0 : p.has("open") ? m_openOrder.size() : 1;
    if (p.has("quantity")) {
        reply = std::to_string(count);
        return MCI_OK;
    }
    uint32_t n = 0;
    if (!parseInteger(*p.value("name"), n)) return MCIERR_BAD_INTEGER;
    if (n == 0 || n > count) return MCIERR_OUTOFRANGE;
    reply = p.has("open") ? m_openOrder[n - 1].alias : std::string("waveaudio");
    return MCI_OK;
}

}  // namespace wsx::mci
