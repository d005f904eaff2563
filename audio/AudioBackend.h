#pragma once

#include "AudioFormat.h"
#include "platform/capture/CaptureSource.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace wsx::audio {

// Receives captured sound. Thread safety: called on the backend's audio thread only; an
// implementation must not lock, allocate, log or block. Returns how many of the offered
// bytes it kept (whole frames); a real-time backend drops the rest, the virtual backend
// offers them again.
class CaptureSink {
public:
    virtual ~CaptureSink() = default;
    virtual size_t onCaptured(const void* data, size_t bytes) = 0;
    // `bytes` (whole frames) the source did not deliver: a hole the server reported, or time
    // that passed without sound (CaptureClock). Returns how many the sink keeps as silence in
    // their place; the stream hands the rest on as silence through onCaptured(). Same thread
    // and rules as onCaptured().
    virtual size_t onSilence(size_t /*bytes*/) { return 0; }
};

// Supplies sound to play. Thread safety: pull() runs on the audio thread under the same
// rules as CaptureSink::onCaptured; it returns the bytes written into `out` (whole frames,
// possibly fewer than asked when the supplier is behind). finished() turns true once every
// byte of the range has been pulled.
class PlaybackSource {
public:
    virtual ~PlaybackSource() = default;
    virtual size_t pull(void* out, size_t bytes) = 0;
    virtual bool finished() const = 0;
};

// A running capture or playback stream. Destroying it stops the stream; no callback runs
// after the destructor has returned. Queries are cheap and never wait for the audio thread.
class AudioStream {
public:
    virtual ~AudioStream() = default;
    // Playback: bytes of source data that have reached the listener (output latency
    // accounted). Capture streams report 0.
    virtual uint64_t bytesPlayed() const = 0;
    // Playback: every pulled byte has been played out.
    virtual bool drained() const = 0;
    // The server went away or the stream broke; the stream delivers nothing more.
    virtual bool failed() const = 0;
};

enum class OpenError { None, NoServer, NoDevice, BadFormat };

// One input the server offers, as its mixers show it.
struct CaptureDevice {
    std::string name;         // what CaptureSource::name takes
    std::string description;  // for people
    bool operator==(const CaptureDevice&) const = default;
};

// Thread safety: open*() and the device queries are called from the engine's (UI) thread
// only.
class AudioBackend {
public:
    virtual ~AudioBackend() = default;
    // Records from the default source.
    std::unique_ptr<AudioStream> openCapture(const AudioFormat& format, CaptureSink& sink,
                                             OpenError& error) {
        return openCaptureFrom(CaptureSource{}, format, sink, error);
    }
    virtual std::unique_ptr<AudioStream> openCaptureFrom(const CaptureSource& source,
                                                         const AudioFormat& format,
                                                         CaptureSink& sink, OpenError& error) = 0;
    virtual std::unique_ptr<AudioStream> openPlayback(const AudioFormat& format,
                                                      PlaybackSource& source, OpenError& error) = 0;

    // The server's inputs, monitors included, in the server's order; empty when there is no
    // server. Asks the server (waits a few seconds at most).
    virtual std::vector<CaptureDevice> captureDevices() { return {}; }
    // A number that changes whenever inputs come or go or change; cheap (never waits), so a
    // window may poll it. Starts watching the server on the first call.
    virtual uint64_t captureDevicesGeneration() { return 0; }
};

}  // namespace wsx::audio
