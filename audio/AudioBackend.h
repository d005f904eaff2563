#pragma once

#include "AudioFormat.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace wsx::audio {

// Receives captured sound. Thread safety: called on the backend's audio thread only; an
// implementation must not lock, allocate, log or block. Returns how many of the offered
// bytes it kept (whole frames); a real-time backend drops the rest, the virtual backend
// offers them again.
class CaptureSink {
public:
    virtual ~CaptureSink() = default;
    virtual size_t onCaptured(const void* data, size_t bytes) = 0;
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

// Thread safety: open*() are called from the engine's (UI) thread only.
class AudioBackend {
public:
    virtual ~AudioBackend() = default;
    virtual std::unique_ptr<AudioStream> openCapture(const AudioFormat& format, CaptureSink& sink,
                                                     OpenError& error) = 0;
    virtual std::unique_ptr<AudioStream> openPlayback(const AudioFormat& format,
                                                      PlaybackSource& source, OpenError& error) = 0;
};

}  // namespace wsx::audio
