#include "PulseTestAudio.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <numbers>

namespace wsx::audio::test {

int64_t steadyNowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

size_t PulseTestSink::onCaptured(const void* data, size_t bytes) {
    if (m_calls.fetch_add(1, std::memory_order_acq_rel) == 0)
        m_firstDataNs.store(steadyNowNs(), std::memory_order_release);
    const size_t size = m_size.load(std::memory_order_relaxed);
    const size_t kept = std::min(bytes, m_data.size() - size);
    std::memcpy(m_data.data() + size, data, kept);
    m_size.store(size + kept, std::memory_order_release);
    m_offered.fetch_add(bytes, std::memory_order_acq_rel);
    return kept;
}

std::vector<uint8_t> PulseTestSink::bytes() const {
    return {m_data.begin(), m_data.begin() + std::ptrdiff_t(size())};
}

PulseTestSource::PulseTestSource(std::vector<uint8_t> data, size_t frameBytes, bool endless)
    : m_data(std::move(data)),
      m_frameBytes(frameBytes),
      m_endless(endless),
      m_available(m_data.size()) {}

size_t PulseTestSource::pull(void* out, size_t bytes) {
    m_calls.fetch_add(1, std::memory_order_acq_rel);
    const uint64_t pulled = m_pulled.load(std::memory_order_relaxed);
    size_t n = 0;
    if (m_endless) {
        const size_t at = size_t(pulled % m_data.size());
        n = std::min(bytes, m_data.size() - at);
        std::memcpy(out, m_data.data() + at, n);
    } else {
        const size_t limit = std::min(m_available.load(std::memory_order_acquire), m_data.size());
        n = limit > pulled ? std::min(bytes, size_t(limit - pulled)) : 0;
        n -= n % m_frameBytes;
        std::memcpy(out, m_data.data() + pulled, n);
        if (pulled + n == m_data.size() && m_finishedNs.load(std::memory_order_relaxed) == 0)
            m_finishedNs.store(steadyNowNs(), std::memory_order_release);
    }
    m_pulled.store(pulled + n, std::memory_order_release);
    return n;
}

bool PulseTestSource::finished() const {
    return !m_endless && m_pulled.load(std::memory_order_acquire) == m_data.size();
}

std::vector<uint8_t> sinePcm(const AudioFormat& format, double hz, double amplitude,
                             double seconds) {
    const size_t frames = size_t(seconds * format.sampleRate);
    std::vector<uint8_t> pcm;
    pcm.reserve(frames * format.blockAlign());
    for (size_t i = 0; i < frames; ++i) {
        const double v =
            amplitude * std::sin(2 * std::numbers::pi * hz * double(i) / format.sampleRate);
        for (unsigned c = 0; c < format.channels; ++c) {
            if (format.bitsPerSample == 8) {
                pcm.push_back(uint8_t(std::lround(128 + 127 * v)));
            } else {
                const auto s = uint16_t(int16_t(std::lround(32767 * v)));
                pcm.push_back(uint8_t(s & 0xff));
                pcm.push_back(uint8_t(s >> 8));
            }
        }
    }
    return pcm;
}

std::vector<double> channelSamples(const std::vector<uint8_t>& pcm, const AudioFormat& format,
                                   unsigned channel) {
    std::vector<double> x;
    const size_t frameBytes = format.blockAlign();
    const size_t sampleBytes = format.bitsPerSample / 8;
    for (size_t at = channel * sampleBytes; at + sampleBytes <= pcm.size(); at += frameBytes) {
        if (sampleBytes == 1) {
            x.push_back((int(pcm[at]) - 128) / 128.0);
        } else {
            x.push_back(int16_t(uint16_t(pcm[at] | (pcm[at + 1] << 8))) / 32768.0);
        }
    }
    return x;
}

double rms(const std::vector<double>& x) {
    double sum = 0;
    for (double v : x) sum += v * v;
    return x.empty() ? 0 : std::sqrt(sum / double(x.size()));
}

double toneAmplitude(const std::vector<double>& x, size_t first, size_t count, double hz,
                     double rate) {
    const double w = 2 * std::numbers::pi * hz / rate;
    const double coeff = 2 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (size_t i = first; i < first + count && i < x.size(); ++i) {
        const double s0 = x[i] + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
    return count ? 2 * std::sqrt(std::max(power, 0.0)) / double(count) : 0;
}

double dominantFrequency(const std::vector<double>& x, double rate, double lowHz, double highHz) {
    double best = lowHz, bestAmplitude = -1;
    for (double hz = lowHz; hz <= highHz; hz += 1) {
        const double a = toneAmplitude(x, 0, x.size(), hz, rate);
        if (a > bestAmplitude) {
            bestAmplitude = a;
            best = hz;
        }
    }
    return best;
}

}  // namespace wsx::audio::test
