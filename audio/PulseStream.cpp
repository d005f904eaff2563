#include "PulseStream.h"

#include "platform/log/Log.h"

namespace wsx::audio {

OpenError PulseStream::createLocked(pa_context* context, const char* name,
                                    const pa_sample_spec& spec, const pa_channel_map& map,
                                    std::string& why) {
    pa_stream* stream = pa_stream_new(context, name, &spec, &map);
    if (!stream) return refusedLocked(context, why);
    m_stream.reset(stream);
    pa_stream_set_state_callback(stream, &onState, this);
    return OpenError::None;
}

OpenError PulseStream::awaitReadyLocked(pa_context* context, std::string& why) {
    pa_stream* stream = m_stream.get();
    waitLocked(m_loop.get(), context, kOpenTimeoutUsec, [stream] {
        const pa_stream_state_t state = pa_stream_get_state(stream);
        return state != PA_STREAM_UNCONNECTED && state != PA_STREAM_CREATING;
    });
    switch (pa_stream_get_state(stream)) {
    case PA_STREAM_READY: {
        const char* device = pa_stream_get_device_name(stream);
        char spec[PA_SAMPLE_SPEC_SNPRINT_MAX];
        pa_sample_spec_snprint(spec, sizeof spec, pa_stream_get_sample_spec(stream));
        log::debug(log::kAudio,
                   std::string(m_kind) + " stream on " + (device ? device : "?") + ", " + spec);
        return OpenError::None;
    }
    case PA_STREAM_CREATING:  // connected, but not answering
        why = noAnswerText() + " (creating the " + m_kind + " stream)";
        return OpenError::NoServer;
    default: return refusedLocked(context, why);
    }
}

OpenError PulseStream::refusedLocked(pa_context* context, std::string& why) const {
    const bool connected = pa_context_get_state(context) == PA_CONTEXT_READY;
    why = std::string(connected ? "the sound server refused the "
                                : "the sound server went away with the ") +
          m_kind + " stream: " + pa_strerror(pa_context_errno(context));
    return connected ? OpenError::NoDevice : OpenError::NoServer;
}

void PulseStream::onState(pa_stream* stream, void* userdata) {
    auto* self = static_cast<PulseStream*>(userdata);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_READY) self->m_ready = true;
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) {
        self->m_failed.store(true, std::memory_order_release);
        // A stream that never became ready is the open's failure, reported by the open.
        if (self->m_ready) {
            // TERMINATED is a clean close (our connection was disconnected); the error code
            // means something only for FAILED (the server died, or killed the stream).
            const std::string cause =
                state == PA_STREAM_TERMINATED
                    ? "the connection to the sound server was closed"
                    : pa_strerror(pa_context_errno(pa_stream_get_context(stream)));
            log::warning(log::kAudio, std::string(self->m_kind) + " stream broke: " + cause);
        }
    }
    pa_threaded_mainloop_signal(self->m_loop.get(), 0);
}

}  // namespace wsx::audio
