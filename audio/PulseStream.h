#pragma once

#include "AudioBackend.h"
#include "PulseLoop.h"

#include <atomic>
#include <memory>
#include <string>

namespace wsx::audio {

// What capture and playback streams share: the loop (kept alive by every stream), the
// pa_stream and the failure flag. Subclass destructors call closeLocked() under the lock
// before their own members go away.
//
// Threads: open and close on the UI thread with the loop lock held; failed() from any
// thread (an atomic); the state callback on the loop thread. That callback logs once when a
// stream that was playing or recording breaks: it is rare and off the path that moves
// samples, which never logs.
class PulseStream : public AudioStream {
public:
    bool failed() const override { return m_failed.load(std::memory_order_acquire); }

protected:
    // `kind` names the stream in messages: "capture" or "playback".
    PulseStream(std::shared_ptr<pa_threaded_mainloop> loop, const char* kind)
        : m_loop(std::move(loop)), m_kind(kind) {}

    // Lock held. Creates the pa_stream and watches its state. On failure `why` says why.
    OpenError createLocked(pa_context* context, const char* name, const pa_sample_spec& spec,
                           const pa_channel_map& map, std::string& why);
    // Lock held. Waits for the connected stream to become READY or fail.
    OpenError awaitReadyLocked(pa_context* context, std::string& why);
    // Lock held. A refused stream on a healthy connection means the device is missing.
    OpenError refusedLocked(pa_context* context, std::string& why) const;

    void closeLocked() { m_stream.reset(); }

    std::shared_ptr<pa_threaded_mainloop> m_loop;
    std::unique_ptr<pa_stream, StreamDeleter> m_stream;  // reset under the lock only

private:
    static void onState(pa_stream* stream, void* userdata);

    const char* const m_kind;
    bool m_ready = false;  // loop thread, or under the lock: it has played or recorded
    std::atomic<bool> m_failed{false};
};

}  // namespace wsx::audio
