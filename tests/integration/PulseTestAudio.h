#pragma once

// Sinks, sources and signal measurements for the PulseAudio backend tests.

#include "audio/AudioBackend.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace wsx::audio::test {

// Nanoseconds on the steady clock; callbacks stamp events with it.
int64_t steadyNowNs();

// Keeps captured bytes in a buffer allocated up front. onCaptured runs on the audio thread,
// the getters on the test thread.
class PulseTestSink final : public CaptureSink {
public:
    explicit PulseTestSink(size_t capacity) : m_data(capacity) {}

    size_t onCaptured(const void* data, size_t bytes) override;

    size_t size() const { return m_size.load(std::memory_order_acquire); }
    uint64_t offered() const { return m_offered.load(std::memory_order_acquire); }
    uint64_t calls() const { return m_calls.load(std::memory_order_acquire); }
    int64_t firstDataNs() const { return m_firstDataNs.load(std::memory_order_acquire); }
    std::vector<uint8_t> bytes() const;

private:
    std::vector<uint8_t> m_data;
    std::atomic<size_t> m_size{0};
    std::atomic<uint64_t> m_offered{0};
    std::atomic<uint64_t> m_calls{0};
    std::atomic<int64_t> m_firstDataNs{0};
};

// Hands out a prepared buffer, optionally held back: pull() gives nothing beyond
// setAvailable()'s limit, as a source that has fallen behind. With `endless` it starts over
// at the end and never finishes. pull() runs on the audio thread.
class PulseTestSource final : public PlaybackSource {
public:
    PulseTestSource(std::vector<uint8_t> data, size_t frameBytes, bool endless = false);

    size_t pull(void* out, size_t bytes) override;
    bool finished() const override;

    void setAvailable(size_t bytes) { m_available.store(bytes, std::memory_order_release); }
    size_t total() const { return m_data.size(); }
    uint64_t pulled() const { return m_pulled.load(std::memory_order_acquire); }
    uint64_t pullCalls() const { return m_calls.load(std::memory_order_acquire); }
    int64_t finishedNs() const { return m_finishedNs.load(std::memory_order_acquire); }

private:
    std::vector<uint8_t> m_data;
    size_t m_frameBytes;
    bool m_endless;
    std::atomic<size_t> m_available;
    std::atomic<uint64_t> m_pulled{0};
    std::atomic<uint64_t> m_calls{0};
    std::atomic<int64_t> m_finishedNs{0};
};

// `seconds` of a sine at `hz`, `amplitude` of full scale, on every channel.
std::vector<uint8_t> sinePcm(const AudioFormat& format, double hz, double amplitude,
                             double seconds);
// One channel of interleaved PCM, scaled to [-1, 1).
std::vector<double> channelSamples(const std::vector<uint8_t>& pcm, const AudioFormat& format,
                                   unsigned channel);
double rms(const std::vector<double>& x);
// Amplitude (1 = full-scale sine) of `hz` in x[first, first + count), by Goertzel.
double toneAmplitude(const std::vector<double>& x, size_t first, size_t count, double hz,
                     double rate);
// The frequency in [lowHz, highHz], in 1 Hz steps, with the largest amplitude in x.
double dominantFrequency(const std::vector<double>& x, double rate, double lowHz, double highHz);

}  // namespace wsx::audio::test
