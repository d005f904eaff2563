#include "PulsePlaybackStream.h"

#include <algorithm>
#include <cstring>

namespace wsx::audio {

namespace {
// Playback target buffer: rides out scheduling hiccups; it is also how far the pulled data
// runs ahead of what is heard.
constexpr pa_usec_t kPlaybackTargetUsec = 150 * PA_USEC_PER_MSEC;
// Between write callbacks the play position is refreshed from the interpolated clock.
constexpr pa_usec_t kPositionTickUsec = 20 * PA_USEC_PER_MSEC;
constexpr unsigned kTicksPerTimingRequest = 5;  // a timing report every 100 ms
}  // namespace

PulsePlaybackStream::PulsePlaybackStream(std::shared_ptr<pa_threaded_mainloop> loop,
                                         const AudioFormat& format, PlaybackSource& source)
    : PulseStream(std::move(loop), "playback"),
      m_source(source),
      m_frameBytes(format.blockAlign()),
      m_silenceByte(format.bitsPerSample == 8 ? 0x80 : 0),
      m_clock(format.sampleRate, format.blockAlign()) {}

PulsePlaybackStream::~PulsePlaybackStream() {
    LoopLock lock(m_loop.get());
    if (m_drainOp) {
        pa_operation_cancel(m_drainOp);  // its callback must not run after we are gone
        pa_operation_unref(m_drainOp);
    }
    if (m_tick) pa_threaded_mainloop_get_api(m_loop.get())->time_free(m_tick);
    closeLocked();
}

OpenError PulsePlaybackStream::openLocked(pa_context* context, const pa_sample_spec& spec,
                                          const pa_channel_map& map, std::string& why) {
    if (OpenError e = createLocked(context, "播放", spec, map, why); e != OpenError::None) return e;
    pa_stream_set_write_callback(m_stream.get(), &onWrite, this);
    pa_stream_set_latency_update_callback(m_stream.get(), &onLatency, this);
    pa_buffer_attr attr{};
    attr.maxlength = kServerChooses;
    attr.tlength = uint32_t(pa_usec_to_bytes(kPlaybackTargetUsec, &spec));
    attr.prebuf = attr.minreq = attr.fragsize = kServerChooses;
    const auto flags = pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE |
                                         PA_STREAM_INTERPOLATE_TIMING);
    if (pa_stream_connect_playback(m_stream.get(), nullptr, &attr, flags, nullptr, nullptr) < 0)
        return refusedLocked(context, why);
    if (OpenError e = awaitReadyLocked(context, why); e != OpenError::None) return e;
    m_tick = pa_context_rttime_new(context, pa_rtclock_now() + kPositionTickUsec, &onTick, this);
    return OpenError::None;
}

void PulsePlaybackStream::onWrite(pa_stream* stream, size_t bytes, void* userdata) {
    static_cast<PulsePlaybackStream*>(userdata)->write(stream, bytes);
}

void PulsePlaybackStream::onLatency(pa_stream* stream, void* userdata) {
    static_cast<PulsePlaybackStream*>(userdata)->updatePosition(stream);
}

void PulsePlaybackStream::onTick(pa_mainloop_api*, pa_time_event* timer, const timeval*,
                                 void* userdata) {
    auto* self = static_cast<PulsePlaybackStream*>(userdata);
    pa_stream* stream = self->m_stream.get();
    self->updatePosition(stream);
    if (self->drained() || self->failed()) return;
    // Fresh reports keep the bound close; the automatic ones thin out to one in 1.5 s.
    if (++self->m_ticks % kTicksPerTimingRequest == 0) {
        if (pa_operation* op = pa_stream_update_timing_info(stream, nullptr, nullptr))
            pa_operation_unref(op);
    }
    pa_context_rttime_restart(pa_stream_get_context(stream), timer,
                              pa_rtclock_now() + kPositionTickUsec);
}

void PulsePlaybackStream::onDrained(pa_stream*, int success, void* userdata) {
    auto* self = static_cast<PulsePlaybackStream*>(userdata);
    if (self->m_drainOp) pa_operation_unref(self->m_drainOp);
    self->m_drainOp = nullptr;
    if (!success) return;  // the stream broke meanwhile; failed() says so
    self->m_played.store(self->m_clock.drain(), std::memory_order_release);
    self->m_drained.store(true, std::memory_order_release);
}

void PulsePlaybackStream::write(pa_stream* stream, size_t requested) {
    while (!m_writeDone && requested >= m_frameBytes) {
        void* buffer = nullptr;
        size_t length = requested;
        if (pa_stream_begin_write(stream, &buffer, &length) < 0 || !buffer) break;
        length = std::min(length, requested);
        length -= length % m_frameBytes;
        if (length == 0) {
            pa_stream_cancel_write(stream);
            break;
        }
        size_t got = std::min(m_source.pull(buffer, length), length);
        got -= got % m_frameBytes;
        const bool finished = m_source.finished();  // after pull: nothing more will come
        const size_t padding = finished ? 0 : length - got;
        if (padding > 0) std::memset(static_cast<uint8_t*>(buffer) + got, m_silenceByte, padding);
        const size_t out = got + padding;
        if (out == 0) {
            pa_stream_cancel_write(stream);
        } else if (pa_stream_write(stream, buffer, out, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
            break;
        }
        m_clock.noteWrite(got, padding);
        requested -= out;
        if (finished) {
            m_writeDone = true;
            // Start even if less than the prebuffer was written, then report when the last
            // byte has been played.
            if (pa_operation* trigger = pa_stream_trigger(stream, nullptr, nullptr))
                pa_operation_unref(trigger);
            m_drainOp = pa_stream_drain(stream, &onDrained, this);
        }
    }
    updatePosition(stream);
}

void PulsePlaybackStream::updatePosition(pa_stream* stream) {
    if (m_clock.drained()) return;
    pa_usec_t usec = 0;
    if (pa_stream_get_time(stream, &usec) < 0) return;  // no timing information yet
    const pa_timing_info* info = pa_stream_get_timing_info(stream);
    if (!info || info->read_index_corrupt) return;
    const bool playing = info->playing != 0;
    const TimingReport report{info->read_index, info->sink_usec, playing,
                              playing ? pa_timeval_age(&info->timestamp) : 0};
    const uint64_t played = m_clock.update(usec, report);
    if (played > m_played.load(std::memory_order_relaxed))
        m_played.store(played, std::memory_order_release);
}

}  // namespace wsx::audio
