#pragma once

#include "audio/AudioFormat.h"

#include <cstdint>

namespace wsx::mci {

// The PCM formats an element records, plays and opens: 8 or 16 bits, 1 or 2 channels,
// 8000-48000 Hz. One place for "set", the take's format file and the WAV reader.
constexpr bool elementTakesBits(uint64_t bits) { return bits == 8 || bits == 16; }
constexpr bool elementTakesChannels(uint64_t channels) { return channels == 1 || channels == 2; }
constexpr bool elementTakesRate(uint64_t rate) { return rate >= 8000 && rate <= 48000; }
constexpr bool elementTakes(const audio::AudioFormat& f) {
    return elementTakesBits(f.bitsPerSample) && elementTakesChannels(f.channels) &&
           elementTakesRate(f.sampleRate);
}

}  // namespace wsx::mci
