#pragma once

#include "AudioFormat.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace wsx::audio {

// Keeps a capture on the clock: when a stream delivers nothing for longer than half a second
// (a suspended or stalled server, a source that went and came back, an overrun the server
// did not report), the time that passed without sound is handed on as silence before the
// sound that comes next, so a take is as long as the time it took. Shorter quiet is the
// ordinary jitter of delivery and is left alone.
// Thread safety: one stream's audio thread; no locks, no allocation.
class CaptureClock {
public:
    static constexpr int64_t kLongestQuietNs = 500'000'000;

    explicit CaptureClock(const AudioFormat& format)
        : m_bytesPerSecond(format.bytesPerSecond()), m_blockAlign(format.blockAlign()) {}

    // `bytes` of sound arrive at `nowNs` (any monotonic clock, in nanoseconds): the silence,
    // in whole frames, that belongs before them (0 unless nothing came for longer than
    // kLongestQuietNs). The clock runs from the first sound on: a server that is slow to
    // start delivering makes the take start later, not a gap in it.
    uint64_t silenceBefore(int64_t nowNs, size_t bytes) {
        const int64_t quietNs = m_started ? nowNs - m_lastNs : 0;
        m_started = true;
        m_lastNs = nowNs;
        if (quietNs <= kLongestQuietNs) return 0;
        // In microseconds, so that days of quiet at any rate stay far inside 64 bits.
        const uint64_t missing = uint64_t(quietNs / 1000) * m_bytesPerSecond / 1'000'000u;
        if (missing <= bytes) return 0;
        const uint64_t silence = missing - bytes;
        return silence - silence % m_blockAlign;
    }

private:
    const uint64_t m_bytesPerSecond;
    const uint32_t m_blockAlign;
    int64_t m_lastNs = 0;
    bool m_started = false;
};

// The byte a format's silence is made of: 0x80 for unsigned 8-bit samples, 0 for 16-bit.
constexpr uint8_t silenceByte(const AudioFormat& format) {
    return format.bitsPerSample == 8 ? 0x80 : 0;
}

// Fills `bytes` of `out` with the format's silence.
inline void fillSilence(void* out, size_t bytes, const AudioFormat& format) {
    std::memset(out, silenceByte(format), bytes);
}

}  // namespace wsx::audio
