// What the element records from, and how loud what it records or plays is.
#include "WaveAudioDevice.h"

namespace wsx::mci {

audio::CaptureSource WaveAudioDevice::parseInput(const Token& token) {
    using Kind = audio::CaptureSource::Kind;
    if (!token.quoted)
        for (const auto& [kind, word] : audio::kCaptureSourceWords)
            if (equalsIgnoreCase(token.text, word)) return {kind, {}};
    return {Kind::Named, token.text};
}

std::string WaveAudioDevice::inputText(const audio::CaptureSource& source) {
    if (source.kind == audio::CaptureSource::Kind::Named) return source.name;
    return std::string(audio::captureSourceWord(source.kind));
}

uint32_t WaveAudioDevice::takeLevel() {
    refresh();
    if (m_mode == Mode::Recording && m_capture) return m_capture->takeLevel();
    if (m_mode == Mode::Playing && m_playback) return m_playback->takeLevel();
    return 0;
}

}  // namespace wsx::mci
