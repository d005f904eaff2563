#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace wsx::audio {

// What the sound server last said about a playback stream, in the terms the clock needs
// (a pa_timing_info taken apart, so the clock can be computed and tested without a server).
struct TimingReport {
    int64_t readIndex = 0;  // stream bytes the sink has taken
    uint64_t sinkUsec = 0;  // of those, still in the sink's own buffer (not yet heard)
    bool playing = false;   // the sink was playing when the report was made
    uint64_t ageUsec = 0;   // time since the report was made
};

// The play position of a stream that is kept fed with silence while its source lags.
//
// The stream carries source bytes and padding (silence written so that the server never
// underruns). The clock remembers where the padding lies and answers how many source bytes
// have been heard: position = (stream bytes heard) - (padding before them), never more than
// the source bytes written, never going back, and exact once the stream has drained.
//
// Not thread-safe: one thread writes and asks (the stream's loop thread, under its lock).
// Units: bytes of the stream's format; every count is on whole frames.
class PlaybackClock {
public:
    PlaybackClock(uint32_t sampleRate, uint32_t frameBytes);

    // `sourceBytes` from the source were written, then `paddingBytes` of silence.
    void noteWrite(uint64_t sourceBytes, uint64_t paddingBytes);

    // Moves the position on from the stream time (`streamUsec`: what has left the sink,
    // latency accounted) bounded by the server's last report moved on by its age while the
    // sink plays. The bound matters: libpulse's interpolated time can run on at wall-clock
    // speed before the sink has taken any data, and being monotonic it would then stay
    // ahead. Returns the position, which never decreases.
    uint64_t update(uint64_t streamUsec, const TimingReport& report);

    // Every byte written has been played: the position becomes exactly the source bytes
    // written and stays there. Returns it.
    uint64_t drain();

    uint64_t position() const { return m_played; }
    uint64_t written() const { return m_written; }  // source bytes and padding
    uint64_t pulled() const { return m_pulled; }    // source bytes only
    bool drained() const { return m_drained; }

    // Padding runs whose end has not been heard are remembered; this many at most. More
    // runs within the output latency are merged: the position then lags a little until
    // the merged run has been heard, but never leads.
    static constexpr size_t kMaxPaddingRuns = 64;

private:
    struct PaddingRun {
        uint64_t at;  // stream offset of the first silent byte
        uint64_t bytes;
    };

    uint64_t bytesToUsec(uint64_t bytes) const;
    uint64_t usecToBytes(uint64_t usec) const;
    void notePadding(uint64_t at, uint64_t bytes);
    // Padding bytes before stream offset `heard`; `heard` never decreases between calls.
    uint64_t paddingBefore(uint64_t heard);

    const uint64_t m_sampleRate;
    const uint64_t m_frameBytes;
    uint64_t m_written = 0;
    uint64_t m_pulled = 0;
    uint64_t m_played = 0;
    bool m_drained = false;
    std::array<PaddingRun, kMaxPaddingRuns> m_padding{};
    size_t m_paddingFirst = 0;
    size_t m_paddingCount = 0;
    uint64_t m_paddingPassed = 0;  // padding wholly before the last position computed
};

}  // namespace wsx::audio
