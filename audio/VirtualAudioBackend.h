#pragma once

#include "AudioBackend.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace wsx::audio {

// An audio backend driven by a manual clock, for tests and benchmarks. Nothing happens
// until advance() is called; then each open capture stream receives exactly the sound of
// that stretch of time from the signal generator, and each playback stream consumes that
// much sound into a buffer the test can inspect. Output latency is zero, so a playback
// position is exactly what has been consumed.
// Thread safety: all members are called from one thread (the test's), which is also the
// thread the sinks and sources run on. A source that has not got the data yet is waited
// for (advance() yields until it has, or is finished), so a source must not stay behind
// for ever.
class VirtualAudioBackend final : public AudioBackend {
public:
    // Fills `frames` frames of interleaved 16-bit samples starting at absolute frame
    // `firstFrame` of the capture clock (8-bit formats get the high bytes, offset to
    // unsigned).
    using Signal = std::function<void(int16_t* out, uint64_t firstFrame, size_t frames,
                                      const AudioFormat& format)>;

    VirtualAudioBackend();
    ~VirtualAudioBackend() override;

    void setSignal(Signal signal) { m_signal = std::move(signal); }
    // Makes the next opens fail, as with no server or no device.
    void setCaptureError(OpenError e) { m_captureError = e; }
    void setPlaybackError(OpenError e) { m_playbackError = e; }
    // Makes every open stream report failure, as when the server dies.
    void failStreams();

    // Moves the clock on by `ms` milliseconds, in steps of at most 10 ms.
    void advance(uint64_t ms);
    // Moves the capture streams' clock on by `ms` without any sound, as a suspended server
    // does: their next sound comes after a gap (CaptureClock), the sound of that time lost.
    void stallCapture(uint64_t ms);

    // Everything played since the last takePlayed(), as raw bytes in the stream's format.
    std::vector<uint8_t> takePlayed();
    int openStreams() const;

    // Every source records the signal; the source asked for is kept for the test to see.
    std::unique_ptr<AudioStream> openCaptureFrom(const CaptureSource& source,
                                                 const AudioFormat& format, CaptureSink& sink,
                                                 OpenError& error) override;
    const CaptureSource& lastCaptureSource() const { return m_lastSource; }

    // The inputs the backend reports; each call counts as a change.
    void setCaptureDevices(std::vector<CaptureDevice> devices) {
        m_devices = std::move(devices);
        ++m_devicesGeneration;
    }
    std::vector<CaptureDevice> captureDevices() override { return m_devices; }
    uint64_t captureDevicesGeneration() override { return m_devicesGeneration; }
    std::unique_ptr<AudioStream> openPlayback(const AudioFormat& format, PlaybackSource& source,
                                              OpenError& error) override;

    struct StreamState;  // shared with the stream objects handed out

private:
    void step(uint64_t us);
    // Hands `bytes` of silence to a capture stream's sink (onSilence, else as sound).
    void offerSilence(StreamState& s, size_t bytes);

    Signal m_signal;
    CaptureSource m_lastSource;
    std::vector<CaptureDevice> m_devices;
    uint64_t m_devicesGeneration = 0;
    OpenError m_captureError = OpenError::None;
    OpenError m_playbackError = OpenError::None;
    std::vector<std::shared_ptr<StreamState>> m_streams;
    std::vector<uint8_t> m_played;
    std::vector<int16_t> m_scratch;
    std::vector<uint8_t> m_bytes;
    std::vector<uint8_t> m_silence;  // for a sink that does not keep silence itself
};

// A sine generator for the virtual backend: `hz` at `amplitude` (0..32767) on every channel.
VirtualAudioBackend::Signal sineSignal(double hz, int amplitude);

}  // namespace wsx::audio
