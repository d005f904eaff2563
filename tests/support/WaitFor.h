#pragma once

#include <chrono>
#include <thread>

namespace wsx::test {

// Polls `condition` every 5 ms until it holds or `timeout` passes; its last answer. For
// what happens on a real server's own time.
template <class Condition>
bool waitFor(Condition condition, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) return condition();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace wsx::test
