// The element's time formats: bytes, samples and milliseconds, converted only at the command
// boundary.
#include "WaveAudioDevice.h"
#include "engine/command/MciConstants.h"
#include "engine/command/MciError.h"

#include <algorithm>

namespace wsx::mci {

uint64_t WaveAudioDevice::toReported(uint64_t bytes) const {
    switch (m_timeFormat) {
    case TimeFormat::Bytes: return bytes;
    case TimeFormat::Samples: return bytes / m_format.blockAlign();
    case TimeFormat::Milliseconds: break;
    }
    const uint64_t bps = m_format.bytesPerSecond();
    return (bytes * 1000 + bps / 2) / bps;
}

uint64_t WaveAudioDevice::fromReported(uint32_t value, uint64_t length) const {
    // The length as reported maps back to the exact end, whatever the rounding.
    if (value == toReported(length)) return length;
    const uint32_t align = m_format.blockAlign();
    switch (m_timeFormat) {
    case TimeFormat::Bytes: return value - value % align;
    case TimeFormat::Samples: return uint64_t(value) * align;
    case TimeFormat::Milliseconds: break;
    }
    return (uint64_t(value) * m_format.sampleRate + 500) / 1000 * align;
}

uint32_t WaveAudioDevice::parsePosition(const std::string& text, uint64_t& bytes) {
    uint32_t value = 0;
    if (!parseInteger(text, value)) return MCIERR_BAD_INTEGER;
    const uint64_t length = lengthBytes();
    if (value > toReported(length)) return MCIERR_OUTOFRANGE;
    bytes = std::min(fromReported(value, length), length);
    return MCI_OK;
}

uint32_t WaveAudioDevice::parseTimeFormat(const Token& token, TimeFormat& format) {
    const ConstantMatch match = matchConstant(kTimeFormats, std::span(&token, 1));
    if (!match.used) return MCIERR_BAD_CONSTANT;  // also the words of formats we lack
    switch (match.number) {
    case 0: format = TimeFormat::Milliseconds; return MCI_OK;
    case 8: format = TimeFormat::Bytes; return MCI_OK;
    case 9: format = TimeFormat::Samples; return MCI_OK;
    default: return MCIERR_BAD_TIME_FORMAT;  // a number this element has no format for
    }
}

uint64_t WaveAudioDevice::recordLimit() const {
    return m_options.maxDataBytes - m_options.maxDataBytes % m_format.blockAlign();
}

}  // namespace wsx::mci
