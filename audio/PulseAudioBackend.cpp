// PulseAudio capture and playback.
//
// Threads: open*() and every destructor run on the UI thread and take the loop lock (never
// nested: pa_threaded_mainloop_wait would release only one level of it). Everything named
// on*() below is a libpulse callback and runs on the loop thread with the lock held by
// libpulse; those only move samples and update atomics: no allocation, logging, blocking or
// other locks in our code (the libpulse calls they make, begin_write, drain or a timing
// request, manage libpulse's own memory as every stream does). Members marked "loop thread"
// are touched only there, or under the lock.
#include "PulseAudioBackend.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>
#include <vector>

namespace wsx::audio {
namespace {

// Each phase of an open (connect to the server, create the stream) gives up after this.
constexpr pa_usec_t kOpenTimeoutUsec = 3 * PA_USEC_PER_SEC;
// Capture fragment: small, so that the first data comes within tens of milliseconds even
// from an idle null sink's monitor (the server would otherwise batch seconds).
constexpr pa_usec_t kCaptureFragmentUsec = 25 * PA_USEC_PER_MSEC;
// Playback target buffer: rides out scheduling hiccups; it is also how far the pulled data
// runs ahead of what is heard.
constexpr pa_usec_t kPlaybackTargetUsec = 150 * PA_USEC_PER_MSEC;
// Between write callbacks the play position is refreshed from the interpolated clock.
constexpr pa_usec_t kPositionTickUsec = 20 * PA_USEC_PER_MSEC;
constexpr unsigned kTicksPerTimingRequest = 5;  // a timing report every 100 ms
// Capture holes are handed on in pieces of this preallocated silence.
constexpr size_t kSilenceBytes = 4096;
// Padding runs whose end has not yet been heard; bounded by the writes within the latency.
constexpr size_t kMaxPaddingRuns = 64;
constexpr uint32_t kServerChooses = UINT32_MAX;  // pa_buffer_attr's "(uint32_t) -1"

struct MainloopDeleter {
    // UI thread, lock not held: stopping joins the loop thread.
    void operator()(pa_threaded_mainloop* loop) const {
        pa_threaded_mainloop_stop(loop);
        pa_threaded_mainloop_free(loop);
    }
};

struct StreamDeleter {
    // Lock held. Once the callbacks are cleared nothing of ours runs for this stream again.
    void operator()(pa_stream* stream) const;
};

class LoopLock {
public:
    explicit LoopLock(pa_threaded_mainloop* loop) : m_loop(loop) {
        pa_threaded_mainloop_lock(m_loop);
    }
    ~LoopLock() { pa_threaded_mainloop_unlock(m_loop); }
    LoopLock(const LoopLock&) = delete;
    LoopLock& operator=(const LoopLock&) = delete;

private:
    pa_threaded_mainloop* m_loop;
};

struct Deadline {
    pa_threaded_mainloop* loop;
    bool expired = false;  // written on the loop thread, read by the waiter; both under the lock
};

void onDeadline(pa_mainloop_api*, pa_time_event*, const timeval*, void* userdata) {
    auto* deadline = static_cast<Deadline*>(userdata);
    deadline->expired = true;
    pa_threaded_mainloop_signal(deadline->loop, 0);
}

// Lock held. Waits until done() holds or `timeout` has passed; whatever changes done()'s
// answer must signal the loop. pa_threaded_mainloop_wait has no timeout of its own, so a
// timer on the loop wakes us. Returns done().
template <class Done>
bool waitLocked(pa_threaded_mainloop* loop, pa_context* context, pa_usec_t timeout, Done done) {
    Deadline deadline{loop};
    pa_time_event* timer =
        pa_context_rttime_new(context, pa_rtclock_now() + timeout, &onDeadline, &deadline);
    if (!timer) return done();
    while (!done() && !deadline.expired) pa_threaded_mainloop_wait(loop);
    pa_threaded_mainloop_get_api(loop)->time_free(timer);
    return done();
}

void onContextState(pa_context*, void* loop) {
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
}

// A stream still being created when its owner gave up: close it once the server answers.
void disconnectWhenReady(pa_stream* stream, void*) {
    if (pa_stream_get_state(stream) == PA_STREAM_READY) pa_stream_disconnect(stream);
}

void StreamDeleter::operator()(pa_stream* stream) const {
    pa_stream_set_read_callback(stream, nullptr, nullptr);
    pa_stream_set_write_callback(stream, nullptr, nullptr);
    pa_stream_set_latency_update_callback(stream, nullptr, nullptr);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_CREATING) {
        pa_stream_set_state_callback(stream, &disconnectWhenReady, nullptr);
    } else {
        pa_stream_set_state_callback(stream, nullptr, nullptr);
        if (state == PA_STREAM_READY) pa_stream_disconnect(stream);  // asynchronous: no wait
    }
    pa_stream_unref(stream);
}

bool toSampleSpec(const AudioFormat& format, pa_sample_spec& spec, pa_channel_map& map) {
    if (format.bitsPerSample == 8) {
        spec.format = PA_SAMPLE_U8;
    } else if (format.bitsPerSample == 16) {
        spec.format = PA_SAMPLE_S16LE;
    } else {
        return false;
    }
    if (format.channels == 0 || format.channels > PA_CHANNELS_MAX) return false;
    spec.rate = format.sampleRate;
    spec.channels = uint8_t(format.channels);
    return pa_sample_spec_valid(&spec) &&
           pa_channel_map_init_extend(&map, spec.channels, PA_CHANNEL_MAP_DEFAULT) != nullptr;
}

// Lock held. None when the server has a default source (capture) or sink (playback) now,
// NoDevice when it has none, NoServer when it does not answer.
// PulseAudio refuses a stream with nowhere to go; PipeWire accepts it and leaves it unlinked,
// silent for ever. Asking first gives the same answer on both.
template <class Info>
void onDeviceInfo(pa_context*, const Info* info, int eol, void* userdata) {
    auto* query = static_cast<std::pair<pa_threaded_mainloop*, int>*>(userdata);
    if (eol == 0 && info) query->second = 1;
    else if (query->second < 0) query->second = 0;
    if (eol != 0) pa_threaded_mainloop_signal(query->first, 0);
}

OpenError checkDefaultDeviceLocked(pa_threaded_mainloop* loop, pa_context* context, bool capture) {
    std::pair<pa_threaded_mainloop*, int> query{loop, -1};  // -1 unanswered, 0 absent, 1 present
    pa_operation* operation =
        capture ? pa_context_get_source_info_by_name(context, "@DEFAULT_SOURCE@",
                                                     &onDeviceInfo<pa_source_info>, &query)
                : pa_context_get_sink_info_by_name(context, "@DEFAULT_SINK@",
                                                   &onDeviceInfo<pa_sink_info>, &query);
    if (!operation) return OpenError::NoServer;
    waitLocked(loop, context, kOpenTimeoutUsec, [&query] { return query.second >= 0; });
    if (pa_operation_get_state(operation) == PA_OPERATION_RUNNING) pa_operation_cancel(operation);
    pa_operation_unref(operation);
    return query.second == 1   ? OpenError::None
           : query.second == 0 ? OpenError::NoDevice
                               : OpenError::NoServer;
}

// What capture and playback share: the loop (kept alive by every stream), the pa_stream and
// the failure flag. Subclass destructors call closeLocked() under the lock before their own
// members go away.
class PulseStream : public AudioStream {
public:
    bool failed() const override { return m_failed.load(std::memory_order_acquire); }

protected:
    explicit PulseStream(std::shared_ptr<pa_threaded_mainloop> loop) : m_loop(std::move(loop)) {}

    // Lock held. Creates the pa_stream and watches its state.
    OpenError createLocked(pa_context* context, const char* name, const pa_sample_spec& spec,
                           const pa_channel_map& map) {
        pa_stream* stream = pa_stream_new(context, name, &spec, &map);
        if (!stream) return openErrorLocked(context);
        m_stream.reset(stream);
        pa_stream_set_state_callback(stream, &onState, static_cast<PulseStream*>(this));
        return OpenError::None;
    }

    // Lock held. Waits for the connected stream to become READY or fail.
    OpenError awaitReadyLocked(pa_context* context) {
        pa_stream* stream = m_stream.get();
        waitLocked(m_loop.get(), context, kOpenTimeoutUsec, [stream] {
            const pa_stream_state_t state = pa_stream_get_state(stream);
            return state != PA_STREAM_UNCONNECTED && state != PA_STREAM_CREATING;
        });
        switch (pa_stream_get_state(stream)) {
        case PA_STREAM_READY: return OpenError::None;
        case PA_STREAM_CREATING: return OpenError::NoServer;  // connected, but not answering
        default: return openErrorLocked(context);
        }
    }

    // Lock held. A refused stream on a healthy connection means the device is missing.
    static OpenError openErrorLocked(pa_context* context) {
        return pa_context_get_state(context) == PA_CONTEXT_READY ? OpenError::NoDevice
                                                                 : OpenError::NoServer;
    }

    void closeLocked() { m_stream.reset(); }

    std::shared_ptr<pa_threaded_mainloop> m_loop;
    std::unique_ptr<pa_stream, StreamDeleter> m_stream;  // reset under the lock only

private:
    static void onState(pa_stream* stream, void* userdata) {
        auto* self = static_cast<PulseStream*>(userdata);
        const pa_stream_state_t state = pa_stream_get_state(stream);
        if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED)
            self->m_failed.store(true, std::memory_order_release);
        pa_threaded_mainloop_signal(self->m_loop.get(), 0);
    }

    std::atomic<bool> m_failed{false};
};

class PulseCaptureStream final : public PulseStream {
public:
    PulseCaptureStream(std::shared_ptr<pa_threaded_mainloop> loop, const AudioFormat& format,
                       CaptureSink& sink)
        : PulseStream(std::move(loop)),
          m_sink(sink),
          m_silence(kSilenceBytes - kSilenceBytes % format.blockAlign(),
                    format.bitsPerSample == 8 ? 0x80 : 0) {}

    ~PulseCaptureStream() override {
        LoopLock lock(m_loop.get());
        closeLocked();
    }

    // Lock held.
    OpenError openLocked(pa_context* context, const pa_sample_spec& spec,
                         const pa_channel_map& map) {
        if (OpenError e = createLocked(context, "录音", spec, map); e != OpenError::None) return e;
        pa_stream_set_read_callback(m_stream.get(), &onRead, this);
        pa_buffer_attr attr{};
        attr.maxlength = kServerChooses;
        attr.tlength = attr.prebuf = attr.minreq = kServerChooses;
        attr.fragsize = uint32_t(pa_usec_to_bytes(kCaptureFragmentUsec, &spec));
        if (pa_stream_connect_record(m_stream.get(), nullptr, &attr, PA_STREAM_ADJUST_LATENCY) < 0)
            return openErrorLocked(context);
        return awaitReadyLocked(context);
    }

    uint64_t bytesPlayed() const override { return 0; }
    bool drained() const override { return false; }

private:
    static void onRead(pa_stream* stream, size_t, void* userdata) {
        auto* self = static_cast<PulseCaptureStream*>(userdata);
        for (;;) {
            const void* data = nullptr;
            size_t bytes = 0;
            if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) return;
            if (data) {
                self->m_sink.onCaptured(data, bytes);  // what it does not keep is dropped
            } else {
                self->deliverSilence(bytes);  // a hole in the record: keep the timeline
            }
            pa_stream_drop(stream);
        }
    }

    void deliverSilence(size_t bytes) {
        while (bytes > 0) {
            const size_t piece = std::min(bytes, m_silence.size());
            m_sink.onCaptured(m_silence.data(), piece);
            bytes -= piece;
        }
    }

    CaptureSink& m_sink;
    const std::vector<uint8_t> m_silence;  // whole frames of the format's silence
};

// Playback. The source may fall behind; the stream is then kept fed with silence so the
// server never underruns, and that padding is remembered so that bytesPlayed() counts only
// source bytes: position = (bytes heard, from the stream clock) - (padding before them).
class PulsePlaybackStream final : public PulseStream {
public:
    PulsePlaybackStream(std::shared_ptr<pa_threaded_mainloop> loop, const AudioFormat& format,
                        PlaybackSource& source)
        : PulseStream(std::move(loop)),
          m_source(source),
          m_frameBytes(format.blockAlign()),
          m_silenceByte(format.bitsPerSample == 8 ? 0x80 : 0) {}

    ~PulsePlaybackStream() override {
        LoopLock lock(m_loop.get());
        if (m_drainOp) {
            pa_operation_cancel(m_drainOp);  // its callback must not run after we are gone
            pa_operation_unref(m_drainOp);
        }
        if (m_tick) pa_threaded_mainloop_get_api(m_loop.get())->time_free(m_tick);
        closeLocked();
    }

    // Lock held.
    OpenError openLocked(pa_context* context, const pa_sample_spec& spec,
                         const pa_channel_map& map) {
        m_spec = spec;
        if (OpenError e = createLocked(context, "播放", spec, map); e != OpenError::None) return e;
        pa_stream_set_write_callback(m_stream.get(), &onWrite, this);
        pa_stream_set_latency_update_callback(m_stream.get(), &onLatency, this);
        pa_buffer_attr attr{};
        attr.maxlength = kServerChooses;
        attr.tlength = uint32_t(pa_usec_to_bytes(kPlaybackTargetUsec, &spec));
        attr.prebuf = attr.minreq = attr.fragsize = kServerChooses;
        const auto flags = pa_stream_flags_t(
            PA_STREAM_ADJUST_LATENCY | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_INTERPOLATE_TIMING);
        if (pa_stream_connect_playback(m_stream.get(), nullptr, &attr, flags, nullptr, nullptr) < 0)
            return openErrorLocked(context);
        if (OpenError e = awaitReadyLocked(context); e != OpenError::None) return e;
        m_tick =
            pa_context_rttime_new(context, pa_rtclock_now() + kPositionTickUsec, &onTick, this);
        return OpenError::None;
    }

    uint64_t bytesPlayed() const override { return m_played.load(std::memory_order_acquire); }
    bool drained() const override { return m_drained.load(std::memory_order_acquire); }

private:
    struct PaddingRun {
        uint64_t at;  // stream offset of the first silent byte
        uint64_t bytes;
    };

    static void onWrite(pa_stream* stream, size_t bytes, void* userdata) {
        static_cast<PulsePlaybackStream*>(userdata)->write(stream, bytes);
    }

    static void onLatency(pa_stream* stream, void* userdata) {
        static_cast<PulsePlaybackStream*>(userdata)->updatePosition(stream);
    }

    static void onTick(pa_mainloop_api*, pa_time_event* timer, const timeval*, void* userdata) {
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

    static void onDrained(pa_stream*, int success, void* userdata) {
        auto* self = static_cast<PulsePlaybackStream*>(userdata);
        if (self->m_drainOp) pa_operation_unref(self->m_drainOp);
        self->m_drainOp = nullptr;
        if (!success) return;  // the stream broke meanwhile; failed() says so
        self->m_played.store(self->m_pulled, std::memory_order_release);
        self->m_drained.store(true, std::memory_order_release);
    }

    void write(pa_stream* stream, size_t requested) {
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
            size_t out = got;
            if (!finished && got < length) {
                std::memset(static_cast<uint8_t*>(buffer) + got, m_silenceByte, length - got);
                notePadding(m_written + got, length - got);
                out = length;
            }
            if (out == 0) {
                pa_stream_cancel_write(stream);
            } else if (pa_stream_write(stream, buffer, out, nullptr, 0, PA_SEEK_RELATIVE) < 0) {
                break;
            }
            m_written += out;
            m_pulled += got;
            requested -= out;
            if (finished) {
                m_writeDone = true;
                // Start even if less than the prebuffer was written, then report when the
                // last byte has been played.
                if (pa_operation* trigger = pa_stream_trigger(stream, nullptr, nullptr))
                    pa_operation_unref(trigger);
                m_drainOp = pa_stream_drain(stream, &onDrained, this);
            }
        }
        updatePosition(stream);
    }

    void notePadding(uint64_t at, uint64_t bytes) {
        if (m_paddingCount > 0) {
            PaddingRun& last = m_padding[(m_paddingFirst + m_paddingCount - 1) % kMaxPaddingRuns];
            // Adjacent runs merge. With every slot taken, the run is merged anyway: the
            // position then lags a little until the run has been heard, never leads.
            if (last.at + last.bytes == at || m_paddingCount == kMaxPaddingRuns) {
                last.bytes = at + bytes - last.at;
                return;
            }
        }
        m_padding[(m_paddingFirst + m_paddingCount) % kMaxPaddingRuns] = PaddingRun{at, bytes};
        ++m_paddingCount;
    }

    // Padding bytes before stream offset `heard`; `heard` never decreases between calls.
    uint64_t paddingBefore(uint64_t heard) {
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

    // The stream time (pa_stream_get_time: what has left the sink, latency accounted),
    // bounded by the server's last timing report moved on by the time since while the stream
    // plays. The bound matters: libpulse 16's interpolated time runs on at wall-clock speed
    // before the sink has taken any data (a null sink that rendered ahead while idle starts
    // a new stream only seconds later), and being monotonic it would stay ahead until then.
    void updatePosition(pa_stream* stream) {
        if (m_drained.load(std::memory_order_relaxed)) return;
        pa_usec_t usec = 0;
        if (pa_stream_get_time(stream, &usec) < 0) return;  // no timing information yet
        const pa_timing_info* info = pa_stream_get_timing_info(stream);
        if (!info || info->read_index_corrupt) return;
        const auto taken = uint64_t(std::max<int64_t>(info->read_index, 0));
        int64_t reported = int64_t(pa_bytes_to_usec(taken, &m_spec)) - int64_t(info->sink_usec);
        if (info->playing) reported += int64_t(pa_timeval_age(&info->timestamp));
        usec = std::min(usec, pa_usec_t(std::max<int64_t>(reported, 0)));

        const uint64_t heard = std::min<uint64_t>(pa_usec_to_bytes(usec, &m_spec), m_written);
        const uint64_t played = std::min(heard - paddingBefore(heard), m_pulled);
        if (played > m_played.load(std::memory_order_relaxed))
            m_played.store(played, std::memory_order_release);
    }

    PlaybackSource& m_source;
    pa_sample_spec m_spec{};
    const size_t m_frameBytes;
    const int m_silenceByte;

    // Loop thread (or under the lock):
    uint64_t m_written = 0;  // bytes written to the stream: source bytes and padding
    uint64_t m_pulled = 0;   // source bytes written
    bool m_writeDone = false;
    std::array<PaddingRun, kMaxPaddingRuns> m_padding{};
    size_t m_paddingFirst = 0;
    size_t m_paddingCount = 0;
    uint64_t m_paddingPassed = 0;  // padding wholly before the last position computed
    pa_operation* m_drainOp = nullptr;
    pa_time_event* m_tick = nullptr;
    unsigned m_ticks = 0;

    // Any thread:
    std::atomic<uint64_t> m_played{0};
    std::atomic<bool> m_drained{false};
};

}  // namespace

void PulseAudioBackend::ContextDeleter::operator()(pa_context* context) const {
    // Lock held.
    pa_context_set_state_callback(context, nullptr, nullptr);
    pa_context_disconnect(context);
    pa_context_unref(context);  // streams still open keep their own reference
}

PulseAudioBackend::PulseAudioBackend(std::string applicationName, std::string server)
    : m_applicationName(std::move(applicationName)), m_server(std::move(server)) {}

PulseAudioBackend::~PulseAudioBackend() {
    if (!m_loop) return;
    LoopLock lock(m_loop.get());
    m_context.reset();
    // m_loop goes after the lock is released; the loop thread stops with the last stream.
}

bool PulseAudioBackend::ensureLoop() {
    if (m_loop) return true;
    pa_threaded_mainloop* raw = pa_threaded_mainloop_new();
    if (!raw) return false;
    std::shared_ptr<pa_threaded_mainloop> loop(raw, MainloopDeleter{});
    pa_threaded_mainloop_set_name(raw, "wsx-pulse");
    if (pa_threaded_mainloop_start(raw) < 0) return false;
    m_loop = std::move(loop);
    return true;
}

OpenError PulseAudioBackend::connectLocked() {
    if (m_context) {
        if (pa_context_get_state(m_context.get()) == PA_CONTEXT_READY) return OpenError::None;
        m_context.reset();  // failed or terminated: the server went away; connect afresh
    }
    pa_context* context =
        pa_context_new(pa_threaded_mainloop_get_api(m_loop.get()), m_applicationName.c_str());
    if (!context) return OpenError::NoServer;
    m_context.reset(context);
    pa_context_set_state_callback(context, &onContextState, m_loop.get());
    // No autospawn: a desktop session starts its own server; we never start a stray one.
    if (pa_context_connect(context, m_server.empty() ? nullptr : m_server.c_str(),
                           PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        m_context.reset();
        return OpenError::NoServer;
    }
    waitLocked(m_loop.get(), context, kOpenTimeoutUsec, [context] {
        const pa_context_state_t state = pa_context_get_state(context);
        return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
    });
    if (pa_context_get_state(context) == PA_CONTEXT_READY) return OpenError::None;
    m_context.reset();
    return OpenError::NoServer;
}

template <class Stream, class Endpoint>
std::unique_ptr<AudioStream> PulseAudioBackend::openStream(const AudioFormat& format,
                                                           Endpoint& endpoint, OpenError& error) {
    pa_sample_spec spec{};
    pa_channel_map map{};
    if (!toSampleSpec(format, spec, map)) {
        error = OpenError::BadFormat;
        return nullptr;
    }
    if (!ensureLoop()) {
        error = OpenError::NoServer;
        return nullptr;
    }
    auto stream = std::make_unique<Stream>(m_loop, format, endpoint);
    {
        LoopLock lock(m_loop.get());
        error = connectLocked();
        constexpr bool capture = std::is_same_v<Stream, PulseCaptureStream>;
        if (error == OpenError::None)
            error = checkDefaultDeviceLocked(m_loop.get(), m_context.get(), capture);
        if (error == OpenError::None) error = stream->openLocked(m_context.get(), spec, map);
    }
    if (error != OpenError::None) return nullptr;  // the stream closes outside the lock
    return stream;
}

std::unique_ptr<AudioStream> PulseAudioBackend::openCapture(const AudioFormat& format,
                                                            CaptureSink& sink, OpenError& error) {
    return openStream<PulseCaptureStream>(format, sink, error);
}

std::unique_ptr<AudioStream> PulseAudioBackend::openPlayback(const AudioFormat& format,
                                                             PlaybackSource& source,
                                                             OpenError& error) {
    return openStream<PulsePlaybackStream>(format, source, error);
}

}  // namespace wsx::audio
