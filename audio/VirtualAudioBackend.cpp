#include "VirtualAudioBackend.h"

#include "CaptureClock.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <thread>

namespace wsx::audio {

struct VirtualAudioBackend::StreamState {
    AudioFormat format;
    CaptureSink* sink = nullptr;
    PlaybackSource* source = nullptr;
    uint64_t frames = 0;       // frames moved so far
    double pendingFrames = 0;  // fractional frames carried between steps
    uint64_t bytesPlayed = 0;
    bool drained = false;
    bool failed = false;
    bool open = true;
    std::optional<CaptureClock> clock;  // capture only
    int64_t clockNs = 0;                // capture: the stream's time
};

namespace {
class VirtualStream final : public AudioStream {
public:
    explicit VirtualStream(std::shared_ptr<VirtualAudioBackend::StreamState> s)
        : m_s(std::move(s)) {}
    ~VirtualStream() override { m_s->open = false; }
    uint64_t bytesPlayed() const override { return m_s->bytesPlayed; }
    bool drained() const override { return m_s->drained; }
    bool failed() const override { return m_s->failed; }

private:
    std::shared_ptr<VirtualAudioBackend::StreamState> m_s;
};
}  // namespace

VirtualAudioBackend::VirtualAudioBackend() : m_signal(sineSignal(440.0, 16000)) {}
VirtualAudioBackend::~VirtualAudioBackend() = default;

std::unique_ptr<AudioStream> VirtualAudioBackend::openCaptureFrom(const CaptureSource& source,
                                                                  const AudioFormat& format,
                                                                  CaptureSink& sink,
                                                                  OpenError& error) {
    m_lastSource = source;
    error = m_captureError;
    if (error != OpenError::None) return nullptr;
    auto s = std::make_shared<StreamState>();
    s->format = format;
    s->sink = &sink;
    s->clock.emplace(format);
    m_streams.push_back(s);
    return std::make_unique<VirtualStream>(s);
}

std::unique_ptr<AudioStream> VirtualAudioBackend::openPlayback(const AudioFormat& format,
                                                               PlaybackSource& source,
                                                               OpenError& error) {
    error = m_playbackError;
    if (error != OpenError::None) return nullptr;
    auto s = std::make_shared<StreamState>();
    s->format = format;
    s->source = &source;
    m_streams.push_back(s);
    return std::make_unique<VirtualStream>(s);
}

void VirtualAudioBackend::stallCapture(uint64_t ms) {
    for (auto& s : m_streams) {
        if (!s->sink) continue;
        s->clockNs += int64_t(ms) * 1'000'000;
        s->frames += ms * s->format.sampleRate / 1000;  // the sound of that time is lost
    }
}

void VirtualAudioBackend::failStreams() {
    for (auto& s : m_streams) s->failed = true;
}

int VirtualAudioBackend::openStreams() const {
    return int(
        std::count_if(m_streams.begin(), m_streams.end(), [](const auto& s) { return s->open; }));
}

std::vector<uint8_t> VirtualAudioBackend::takePlayed() {
    std::vector<uint8_t> out;
    out.swap(m_played);
    return out;
}

void VirtualAudioBackend::advance(uint64_t ms) {
    uint64_t us = ms * 1000;
    while (us > 0) {
        const uint64_t stepUs = std::min<uint64_t>(us, 10000);
        step(stepUs);
        us -= stepUs;
    }
}

void VirtualAudioBackend::step(uint64_t us) {
    std::erase_if(m_streams, [](const auto& s) { return !s->open; });
    for (auto& s : m_streams) {
        if (s->failed) continue;
        const AudioFormat& f = s->format;
        s->pendingFrames += double(us) * f.sampleRate / 1e6;
        const size_t frames = size_t(s->pendingFrames);
        s->pendingFrames -= double(frames);
        const size_t bytes = frames * f.blockAlign();
        if (s->sink) {
            s->clockNs += int64_t(us) * 1000;
            offerSilence(*s, size_t(s->clock->silenceBefore(s->clockNs, bytes)));
            m_scratch.resize(frames * f.channels);
            m_signal(m_scratch.data(), s->frames, frames, f);
            m_bytes.resize(bytes);
            if (f.bitsPerSample == 16) {
                std::copy_n(reinterpret_cast<const uint8_t*>(m_scratch.data()), bytes,
                            m_bytes.data());
            } else {
                for (size_t i = 0; i < m_scratch.size(); ++i)
                    m_bytes[i] = uint8_t((m_scratch[i] >> 8) + 128);
            }
            // A virtual clock never loses sound: offer the rest again until it is taken.
            size_t done = 0;
            while (done < bytes && s->open)
                done += s->sink->onCaptured(m_bytes.data() + done, bytes - done);
            s->frames += frames;
        } else if (s->source && !s->drained) {
            // A virtual clock never underruns: a source that is behind is waited for, so
            // what plays does not depend on how the threads were scheduled.
            m_bytes.resize(bytes);
            size_t got = 0;
            for (;;) {
                got += s->source->pull(m_bytes.data() + got, bytes - got);
                if (got == bytes || s->source->finished()) break;
                std::this_thread::yield();
            }
            m_played.insert(m_played.end(), m_bytes.begin(), m_bytes.begin() + std::ptrdiff_t(got));
            s->bytesPlayed += got;
            s->frames += got / f.blockAlign();
            if (s->source->finished()) s->drained = true;
        }
    }
}

void VirtualAudioBackend::offerSilence(StreamState& s, size_t bytes) {
    bytes -= std::min(bytes, s.sink->onSilence(bytes));
    if (bytes == 0) return;
    m_silence.assign(std::min<size_t>(bytes, 4096 - 4096 % s.format.blockAlign()),
                     silenceByte(s.format));
    while (bytes > 0 && s.open)
        bytes -= s.sink->onCaptured(m_silence.data(), std::min(bytes, m_silence.size()));
}

VirtualAudioBackend::Signal sineSignal(double hz, int amplitude) {
    return [hz, amplitude](int16_t* out, uint64_t firstFrame, size_t frames, const AudioFormat& f) {
        for (size_t i = 0; i < frames; ++i) {
            const double t = double(firstFrame + i) / f.sampleRate;
            const auto v =
                int16_t(std::lround(amplitude * std::sin(2 * std::numbers::pi * hz * t)));
            for (size_t c = 0; c < f.channels; ++c) out[i * f.channels + c] = v;
        }
    };
}

}  // namespace wsx::audio
