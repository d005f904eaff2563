#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace wsx::audio {

// A lock-free byte ring for exactly one producer thread and one consumer thread. Memory is
// allocated once, in the constructor; push and pop never allocate, lock or block, so the
// audio thread may call either side.
class SpscRing {
public:
    explicit SpscRing(size_t capacity) : m_capacity(capacity), m_data(new char[capacity]) {}

    size_t capacity() const { return m_capacity; }
    // Bytes the consumer may pop now.
    size_t readable() const {
        return size_t(m_head.load(std::memory_order_acquire) -
                      m_tail.load(std::memory_order_acquire));
    }
    // Bytes the producer may push now.
    size_t writable() const { return m_capacity - readable(); }

    // Producer side. Copies min(bytes, writable()) bytes; returns how many.
    size_t push(const void* data, size_t bytes) {
        const uint64_t head = m_head.load(std::memory_order_relaxed);
        const uint64_t tail = m_tail.load(std::memory_order_acquire);
        const size_t n = std::min(bytes, m_capacity - size_t(head - tail));
        copyIn(head, static_cast<const char*>(data), n);
        m_head.store(head + n, std::memory_order_release);
        return n;
    }

    // Consumer side. Copies min(bytes, readable()) bytes; returns how many.
    size_t pop(void* out, size_t bytes) {
        const uint64_t tail = m_tail.load(std::memory_order_relaxed);
        const uint64_t head = m_head.load(std::memory_order_acquire);
        const size_t n = std::min(bytes, size_t(head - tail));
        copyOut(tail, static_cast<char*>(out), n);
        m_tail.store(tail + n, std::memory_order_release);
        return n;
    }

private:
    void copyIn(uint64_t at, const char* src, size_t n) {
        const size_t start = size_t(at % m_capacity);
        const size_t first = std::min(n, m_capacity - start);
        std::memcpy(m_data.get() + start, src, first);
        std::memcpy(m_data.get(), src + first, n - first);
    }
    void copyOut(uint64_t at, char* dst, size_t n) const {
        const size_t start = size_t(at % m_capacity);
        const size_t first = std::min(n, m_capacity - start);
        std::memcpy(dst, m_data.get() + start, first);
        std::memcpy(dst + first, m_data.get(), n - first);
    }

    const size_t m_capacity;
    std::unique_ptr<char[]> m_data;
    alignas(64) std::atomic<uint64_t> m_head{0};  // total bytes pushed
    alignas(64) std::atomic<uint64_t> m_tail{0};  // total bytes popped
};

}  // namespace wsx::audio
