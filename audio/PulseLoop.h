#pragma once

// What every part of the PulseAudio backend shares: owning pointers for libpulse objects, the
// main loop lock, and waits that give up.
//
// Threads: the UI thread takes the loop lock around every libpulse call it makes (never
// nested: pa_threaded_mainloop_wait would release only one level of it); libpulse callbacks
// run on the loop thread with the lock already held.

#include <pulse/pulseaudio.h>

#include <cstdint>
#include <string>

namespace wsx::audio {

// Each phase of an open (connect to the server, ask for the device, create the stream) gives
// up after this.
constexpr pa_usec_t kOpenTimeoutUsec = 3 * PA_USEC_PER_SEC;
constexpr uint32_t kServerChooses = UINT32_MAX;  // pa_buffer_attr's "(uint32_t) -1"

struct MainloopDeleter {
    // UI thread, lock not held: stopping joins the loop thread.
    void operator()(pa_threaded_mainloop* loop) const;
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

// A timer on the loop that wakes a waiter; see waitLocked().
struct Deadline {
    pa_threaded_mainloop* loop;
    bool expired = false;  // written on the loop thread, read by the waiter; both under the lock
};
void onDeadline(pa_mainloop_api*, pa_time_event*, const timeval*, void* deadline);

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

// Why an open gave up when the server stopped answering, for messages.
std::string noAnswerText();

}  // namespace wsx::audio
