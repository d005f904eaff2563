#include "PlaybackClock.h"

#include <algorithm>

namespace wsx::audio {

namespace {
constexpr uint64_t kUsecPerSecond = 1'000'000;
}

PlaybackClock::PlaybackClock(uint32_t sampleRate, uint32_t frameBytes)
    : m_sampleRate(std::max<uint32_t>(sampleRate, 1)),
      m_frameBytes(std::max<uint32_t>(frameBytes, 1)) {}

// Both conversions round down to whole frames, as libpulse's pa_bytes_to_usec and
// pa_usec_to_bytes do, so the clock agrees with the server's own figures.
uint64_t PlaybackClock::bytesToUsec(uint64_t bytes) const {
    return bytes / m_frameBytes * kUsecPerSecond / m_sampleRate;
}

uint64_t PlaybackClock::usecToBytes(uint64_t usec) const {
    return usec * m_sampleRate / kUsecPerSecond * m_frameBytes;
}

void PlaybackClock::noteWrite(uint64_t sourceBytes, uint64_t paddingBytes) {
    if (paddingBytes > 0) notePadding(m_written + sourceBytes, paddingBytes);
    m_written += sourceBytes + paddingBytes;
    m_pulled += sourceBytes;
}

void PlaybackClock::notePadding(uint64_t at, uint64_t bytes) {
    if (m_paddingCount > 0) {
        PaddingRun& last = m_padding[(m_paddingFirst + m_paddingCount - 1) % kMaxPaddingRuns];
        // Adjacent runs merge; with every slot taken the run is merged anyway (see
        // kMaxPaddingRuns).
        if (last.at + last.bytes == at || m_paddingCount == kMaxPaddingRuns) {
            last.bytes = at + bytes - last.at;
            return;
        }
    }
    m_padding[(m_paddingFirst + m_paddingCount) % kMaxPaddingRuns] = PaddingRun{at, bytes};
    ++m_paddingCount;
}

uint64_t PlaybackClock::paddingBefore(uint64_t heard) {
    while (m_paddingCount > 0) {
        const PaddingRun& first = m_padding[m_paddingFirst];
        if (first.at + first.bytes > heard) {
            return m_paddingPassed + (first.at < heard ? heard - first.at : 0);
        }
        m_paddingPassed += first.bytes;
        m_paddingFirst = (m_paddingFirst + 1) % kMaxPaddingRuns;
        --m_paddingCount;
    }
    return m_paddingPassed;
}

uint64_t PlaybackClock::update(uint64_t streamUsec, const TimingReport& report) {
    if (m_drained) return m_played;
    const auto taken = uint64_t(std::max<int64_t>(report.readIndex, 0));
    int64_t reported = int64_t(bytesToUsec(taken)) - int64_t(report.sinkUsec);
    if (report.playing) reported += int64_t(report.ageUsec);
    const uint64_t usec = std::min(streamUsec, uint64_t(std::max<int64_t>(reported, 0)));

    const uint64_t heard = std::min(usecToBytes(usec), m_written);
    const uint64_t played = std::min(heard - paddingBefore(heard), m_pulled);
    m_played = std::max(m_played, played);
    return m_played;
}

uint64_t PlaybackClock::drain() {
    m_drained = true;
    m_played = m_pulled;
    return m_played;
}

}  // namespace wsx::audio
