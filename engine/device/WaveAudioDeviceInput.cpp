// What the element records from, and how loud what it records or plays is.
#include "WaveAudioDevice.h"

namespace wsx::mci {

audio::CaptureSource WaveAudioDevice::parseInput(const Token& token) {
    using Kind = audio::CaptureSource::Kind;
    if (!token.quoted) {
        if (equalsIgnoreCase(token.text, "default")) return {Kind::DefaultInput, {}};
        if (equalsIgnoreCase(token.text, "monitor")) return {Kind::DefaultMonitor, {}};
        if (equalsIgnoreCase(token.text, "both")) return {Kind::Both, {}};
    }
    return {Kind::Named, token.text};
}

std::string WaveAudioDevice::inputText(const audio::CaptureSource& source) {
    using Kind = audio::CaptureSource::Kind;
    switch (source.kind) {
    case Kind::DefaultInput: return "default";
    case Kind::DefaultMonitor: return "monitor";
    case Kind::Both: return "both";
    case Kind::Named: break;
    }
    return source.name;
}

uint32_t WaveAudioDevice::takeLevel() {
    refresh();
    if (m_mode == Mode::Recording && m_capture) return m_capture->takeLevel();
    if (m_mode == Mode::Playing && m_playback) return m_playback->takeLevel();
    return 0;
}

}  // namespace wsx::mci
