#pragma once

#include <atomic>
#include <chrono>
#include <semaphore>

namespace wsx::audio {

// Wakes a worker thread from the audio thread: the writer that drains a capture ring, the
// feeder that refills a playback ring. post() neither blocks, locks nor allocates, so a
// stream callback may call it; posts made while one is still pending fold into it.
// Thread safety: post() from any thread, waitFor() from the one worker.
class WakeSignal {
public:
    void post() {
        if (!m_posted.exchange(true, std::memory_order_acq_rel)) m_semaphore.release();
    }
    // Waits until posted or `timeout` passes; true when woken by a post. The flag is cleared
    // only after the semaphore was taken, so it is never released twice.
    bool waitFor(std::chrono::milliseconds timeout) {
        if (!m_semaphore.try_acquire_for(timeout)) return false;
        m_posted.store(false, std::memory_order_release);
        return true;
    }

private:
    std::binary_semaphore m_semaphore{0};
    std::atomic<bool> m_posted{false};
};

}  // namespace wsx::audio
