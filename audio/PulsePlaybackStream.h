#pragma once

#include "PlaybackClock.h"
#include "PulseStream.h"

#include <atomic>
#include <cstdint>

namespace wsx::audio {

// Plays a PlaybackSource to the default sink. The source may fall behind; the stream is
// then kept fed with silence so the server never underruns, and the PlaybackClock remembers
// that padding so that bytesPlayed() counts only source bytes.
// Threads: as PulseStream. The write, timing and drain callbacks run on the loop thread and
// only move samples and update the clock; bytesPlayed() and drained() read atomics.
class PulsePlaybackStream final : public PulseStream {
public:
    PulsePlaybackStream(std::shared_ptr<pa_threaded_mainloop> loop, const AudioFormat& format,
                        PlaybackSource& source);
    ~PulsePlaybackStream() override;

    // Lock held. Connects to the default sink and waits until it plays.
    OpenError openLocked(pa_context* context, const pa_sample_spec& spec, const pa_channel_map& map,
                         std::string& why);

    uint64_t bytesPlayed() const override { return m_played.load(std::memory_order_acquire); }
    bool drained() const override { return m_drained.load(std::memory_order_acquire); }

private:
    static void onWrite(pa_stream* stream, size_t bytes, void* userdata);
    static void onLatency(pa_stream* stream, void* userdata);
    static void onTick(pa_mainloop_api*, pa_time_event* timer, const timeval*, void* userdata);
    static void onDrained(pa_stream*, int success, void* userdata);

    void write(pa_stream* stream, size_t requested);
    // Moves the position on from the stream's clock and the server's last timing report.
    void updatePosition(pa_stream* stream);

    PlaybackSource& m_source;
    const size_t m_frameBytes;
    const int m_silenceByte;

    // Loop thread (or under the lock):
    PlaybackClock m_clock;
    bool m_writeDone = false;
    pa_operation* m_drainOp = nullptr;
    pa_time_event* m_tick = nullptr;
    unsigned m_ticks = 0;

    // Any thread:
    std::atomic<uint64_t> m_played{0};
    std::atomic<bool> m_drained{false};
};

}  // namespace wsx::audio
