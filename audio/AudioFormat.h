#pragma once

#include <cstdint>

namespace wsx::audio {

// Interleaved little-endian PCM. The engine only ever records and plays 8- or 16-bit
// samples; block align and bytes per second are always derived, never stored, so they
// cannot disagree with the rate and channel count.
struct AudioFormat {
    uint32_t sampleRate = 11025;  // frames per second
    uint16_t channels = 1;
    uint16_t bitsPerSample = 8;

    uint32_t blockAlign() const { return uint32_t(channels) * bitsPerSample / 8; }
    uint32_t bytesPerSecond() const { return sampleRate * blockAlign(); }
    bool operator==(const AudioFormat&) const = default;
};

}  // namespace wsx::audio
