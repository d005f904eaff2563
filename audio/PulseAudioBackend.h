#pragma once

#include "AudioBackend.h"

#include <atomic>
#include <memory>
#include <string>

struct pa_threaded_mainloop;
struct pa_context;

namespace wsx::audio {

// Capture and playback through a PulseAudio server (or PipeWire's PulseAudio service).
//
// One libpulse threaded main loop and one context per backend object. The loop thread is
// started and the context connected on the first open; a context that has failed or been
// terminated (the server went away) is replaced by a fresh connection on the next open, so a
// restarted server is picked up without restarting the program.
//
// Thread contracts:
// - open*() and the destructor run on the engine's (UI) thread only. They take the main
//   loop lock and wait at most a few seconds for the server; they never hang on a dead or
//   silent server.
// - Sinks and sources are called on the loop thread, from libpulse callbacks; those
//   callbacks never allocate, log or block, and take no lock besides the one libpulse holds.
//   Only a stream's state callback logs, once, when a stream that was running breaks.
// - Every failed open logs its cause (a warning through platform/log) on the UI thread.
// - The streams' queries (bytesPlayed, drained, failed) read atomics and never take the
//   loop lock.
// - Streams may outlive the backend: each keeps the loop alive; a stream whose backend is
//   gone reports failed().
class PulseAudioBackend final : public AudioBackend {
public:
    // `applicationName` is shown by the server's mixers. `server` picks a server by
    // address ("unix:/path/native"); empty means the usual choice (PULSE_SERVER, then the
    // session's server).
    explicit PulseAudioBackend(std::string applicationName = "万声匣", std::string server = {});
    ~PulseAudioBackend() override;
    PulseAudioBackend(const PulseAudioBackend&) = delete;
    PulseAudioBackend& operator=(const PulseAudioBackend&) = delete;

    // Records from `source`. Errors: BadFormat (not 8/16-bit PCM or an invalid rate/channel
    // count), NoServer (no server answers), NoDevice (no such source, no default source or
    // sink, or the stream was refused). Returns nullptr on error. Both opens two streams on
    // the loop and mixes them there (CaptureMixer).
    std::unique_ptr<AudioStream> openCaptureFrom(const CaptureSource& source,
                                                 const AudioFormat& format, CaptureSink& sink,
                                                 OpenError& error) override;
    // Plays to the default sink; same errors with the default sink.
    std::unique_ptr<AudioStream> openPlayback(const AudioFormat& format, PlaybackSource& source,
                                              OpenError& error) override;

    // The server's sources (PulseSources.cpp). captureDevices() connects when needed;
    // captureDevicesGeneration() never waits: it subscribes to the server's source events
    // once a connection is up, and counts them and every new connection.
    std::vector<CaptureDevice> captureDevices() override;
    uint64_t captureDevicesGeneration() override;

private:
    struct ContextDeleter {
        void operator()(pa_context* context) const;
    };

    // Starts the loop thread once. UI thread, loop lock not held.
    bool ensureLoop();
    // Returns None once the context is ready, else says why in `why`. UI thread, loop lock
    // held.
    OpenError connectLocked(std::string& why);
    // Where the server is looked for, for messages.
    std::string serverAddress() const;
    // Checks the format, connects, and opens a Stream (capture or playback) on it; a
    // capture records from `device` (null: the default source).
    template <class Stream, class Endpoint>
    std::unique_ptr<Stream> openStream(const AudioFormat& format, Endpoint& endpoint,
                                       OpenError& error, const char* device = nullptr);

    std::string m_applicationName;
    std::string m_server;
    std::shared_ptr<pa_threaded_mainloop> m_loop;           // shared with the streams
    std::unique_ptr<pa_context, ContextDeleter> m_context;  // reset under the loop lock
    // Source events seen (loop thread) plus connections made (UI thread).
    std::atomic<uint64_t> m_devicesGeneration{0};
    pa_context* m_subscribed = nullptr;  // UI thread: the context watched for source events
};

}  // namespace wsx::audio
