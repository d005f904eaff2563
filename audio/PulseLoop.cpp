#include "PulseLoop.h"

namespace wsx::audio {

namespace {
// A stream still being created when its owner gave up: close it once the server answers.
void disconnectWhenReady(pa_stream* stream, void*) {
    if (pa_stream_get_state(stream) == PA_STREAM_READY) pa_stream_disconnect(stream);
}
}  // namespace

void MainloopDeleter::operator()(pa_threaded_mainloop* loop) const {
    pa_threaded_mainloop_stop(loop);
    pa_threaded_mainloop_free(loop);
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

void onDeadline(pa_mainloop_api*, pa_time_event*, const timeval*, void* userdata) {
    auto* deadline = static_cast<Deadline*>(userdata);
    deadline->expired = true;
    pa_threaded_mainloop_signal(deadline->loop, 0);
}

std::string noAnswerText() {
    return "the sound server did not answer within " +
           std::to_string(kOpenTimeoutUsec / PA_USEC_PER_SEC) + " s";
}

}  // namespace wsx::audio
