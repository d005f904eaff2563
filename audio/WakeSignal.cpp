#include "WakeSignal.h"

#include <cerrno>
#include <ctime>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace wsx::audio {

namespace {
// The kernel waits on the 32-bit word itself; std::atomic<uint32_t> is that word.
static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t));

long futex(std::atomic<uint32_t>& word, int op, uint32_t value, const timespec* deadline) {
    return ::syscall(SYS_futex, reinterpret_cast<uint32_t*>(&word), op, value, deadline, nullptr,
                     FUTEX_BITSET_MATCH_ANY);
}

timespec monotonicDeadline(std::chrono::milliseconds timeout) {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    const long long ms = timeout.count() < 0 ? 0 : timeout.count();
    t.tv_sec += time_t(ms / 1000);
    t.tv_nsec += long(ms % 1000) * 1000000L;
    if (t.tv_nsec >= 1000000000L) {
        t.tv_sec += 1;
        t.tv_nsec -= 1000000000L;
    }
    return t;
}
}  // namespace

void WakeSignal::post() {
    if (m_state.exchange(kPosted, std::memory_order_acq_rel) == kWaiting)
        (void)futex(m_state, FUTEX_WAKE_PRIVATE, 1, nullptr);
}

bool WakeSignal::waitFor(std::chrono::milliseconds timeout) {
    const timespec deadline = monotonicDeadline(timeout);
    for (;;) {
        uint32_t expected = kIdle;
        if (!m_state.compare_exchange_strong(expected, kWaiting, std::memory_order_acq_rel))
            return consumePost();
        // Sleeps only while the word still says kWaiting. The deadline is absolute on
        // CLOCK_MONOTONIC, so a spurious wake-up does not stretch the wait.
        const bool timedOut = futex(m_state, FUTEX_WAIT_BITSET_PRIVATE, kWaiting, &deadline) != 0 &&
                              errno == ETIMEDOUT;
        expected = kWaiting;
        if (!m_state.compare_exchange_strong(expected, kIdle, std::memory_order_acq_rel))
            return consumePost();
        if (timedOut) return false;
    }
}

bool WakeSignal::consumePost() {
    // An exchange rather than a store: it reads the last post, so what that post's thread
    // wrote before posting is visible to the worker.
    m_state.exchange(kIdle, std::memory_order_acq_rel);
    return true;
}

}  // namespace wsx::audio
