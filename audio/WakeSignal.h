#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace wsx::audio {

// Wakes a worker thread from the audio thread: the writer that drains a capture ring, the
// feeder that refills a playback ring. post() neither blocks, locks nor allocates, so a
// stream callback may call it; posts made while one is still pending fold into it.
// Thread safety: post() from any thread, waitFor() from the one worker.
//
// A futex on one word rather than std::binary_semaphore: libstdc++'s timed semaphore wait
// spins through sched_yield calls before and after every sleep, which a writer waking five
// times a second for hours pays in full. Here a wait costs one clock read and one futex
// call, and post() makes a system call only when the worker is asleep.
class WakeSignal {
public:
    void post();
    // Waits until posted or `timeout` passes; true when woken by a post (one made before
    // the call counts, and is consumed).
    bool waitFor(std::chrono::milliseconds timeout);

private:
    static constexpr uint32_t kIdle = 0, kWaiting = 1, kPosted = 2;
    bool consumePost();

    // Only the worker stores kIdle or kWaiting; post() stores kPosted.
    std::atomic<uint32_t> m_state{kIdle};
};

}  // namespace wsx::audio
