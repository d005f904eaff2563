#include "PulseCaptureStream.h"

#include <algorithm>
#include <chrono>

namespace wsx::audio {

namespace {
// Capture fragment: small, so that the first data comes within tens of milliseconds even
// from an idle null sink's monitor (the server would otherwise batch seconds).
constexpr pa_usec_t kCaptureFragmentUsec = 25 * PA_USEC_PER_MSEC;
// Capture holes are handed on in pieces of this preallocated silence.
constexpr size_t kSilenceBytes = 4096;
int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

PulseCaptureStream::PulseCaptureStream(std::shared_ptr<pa_threaded_mainloop> loop,
                                       const AudioFormat& format, CaptureSink& sink)
    : PulseStream(std::move(loop), "capture"),
      m_sink(sink),
      m_silence(kSilenceBytes - kSilenceBytes % format.blockAlign(), silenceByte(format)),
      m_clock(format) {}

PulseCaptureStream::~PulseCaptureStream() {
    LoopLock lock(m_loop.get());
    closeLocked();
}

OpenError PulseCaptureStream::openLocked(pa_context* context, const char* device,
                                         const pa_sample_spec& spec, const pa_channel_map& map,
                                         std::string& why) {
    if (OpenError e = createLocked(context, "录音", spec, map, why); e != OpenError::None) return e;
    pa_stream_set_read_callback(m_stream.get(), &onRead, this);
    pa_buffer_attr attr{};
    attr.maxlength = kServerChooses;
    attr.tlength = attr.prebuf = attr.minreq = kServerChooses;
    attr.fragsize = uint32_t(pa_usec_to_bytes(kCaptureFragmentUsec, &spec));
    if (pa_stream_connect_record(m_stream.get(), device, &attr, PA_STREAM_ADJUST_LATENCY) < 0)
        return refusedLocked(context, why);
    return awaitReadyLocked(context, why);
}

void PulseCaptureStream::onRead(pa_stream* stream, size_t, void* userdata) {
    auto* self = static_cast<PulseCaptureStream*>(userdata);
    for (;;) {
        const void* data = nullptr;
        size_t bytes = 0;
        if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0) return;
        // Time that passed without sound (a suspended or stalled server) becomes silence.
        self->deliverSilence(size_t(self->m_clock.silenceBefore(nowNs(), bytes)));
        if (data) {
            // What a full ring does not take is lost: its time is kept as silence.
            const size_t kept = self->m_sink.onCaptured(data, bytes);
            if (kept < bytes) self->deliverSilence(bytes - kept);
        } else {
            self->deliverSilence(bytes);  // a hole in the record: keep the timeline
        }
        pa_stream_drop(stream);
    }
}

void PulseCaptureStream::deliverSilence(size_t bytes) {
    bytes -= std::min(bytes, m_sink.onSilence(bytes));
    while (bytes > 0) {
        const size_t piece = std::min(bytes, m_silence.size());
        m_sink.onCaptured(m_silence.data(), piece);
        bytes -= piece;
    }
}

}  // namespace wsx::audio
