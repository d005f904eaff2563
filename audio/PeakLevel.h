#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace wsx::audio {

// The loudest sample of a buffer of interleaved PCM (8-bit unsigned or 16-bit signed), on
// a 16-bit scale: 0 for silence, 32768 for a full-scale negative sample.
inline uint32_t peakOf(const void* data, size_t bytes, uint16_t bitsPerSample) {
    uint32_t peak = 0;
    const auto* at = static_cast<const uint8_t*>(data);
    if (bitsPerSample == 8) {
        for (size_t i = 0; i < bytes; ++i) {
            const uint32_t v = uint32_t(std::abs(int(at[i]) - 128)) << 8;
            if (v > peak) peak = v;
        }
        return peak;
    }
    for (size_t i = 0; i + 1 < bytes; i += 2) {
        const auto sample = int16_t(uint16_t(at[i] | (at[i + 1] << 8)));
        const uint32_t v = uint32_t(std::abs(int(sample)));
        if (v > peak) peak = v;
    }
    return peak;
}

// The loudest sample since it was last taken: noted on the audio thread, taken by the
// engine thread. Lock-free; a note racing a take lands in one of the two readings.
class PeakLevel {
public:
    void note(uint32_t peak) {
        uint32_t seen = m_peak.load(std::memory_order_relaxed);
        while (peak > seen &&
               !m_peak.compare_exchange_weak(seen, peak, std::memory_order_relaxed)) {}
    }
    uint32_t take() { return m_peak.exchange(0, std::memory_order_relaxed); }

private:
    std::atomic<uint32_t> m_peak{0};
};

}  // namespace wsx::audio
