// PulseAudio capture and playback: the connection to the server and the opening of streams.
// The streams themselves are PulseCaptureStream and PulsePlaybackStream; the lock, the
// deleters and the waits that give up are in PulseLoop.
//
// Threads: open*() and the destructor run on the UI thread and take the loop lock. A failed
// open logs its cause once, on the UI thread, beside the OpenError it returns.
#include "PulseAudioBackend.h"

#include "PulseCaptureStream.h"
#include "PulseLoop.h"
#include "PulseMixedCapture.h"
#include "PulsePlaybackStream.h"
#include "platform/log/Log.h"

#include <cstdlib>
#include <type_traits>
#include <utility>

namespace wsx::audio {

namespace {

void onContextState(pa_context*, void* loop) {
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
}

bool toSampleSpec(const AudioFormat& format, pa_sample_spec& spec, pa_channel_map& map) {
    if (format.bitsPerSample == 8) {
        spec.format = PA_SAMPLE_U8;
    } else if (format.bitsPerSample == 16) {
        spec.format = PA_SAMPLE_S16LE;
    } else {
        return false;
    }
    if (format.channels == 0 || format.channels > PA_CHANNELS_MAX) return false;
    spec.rate = format.sampleRate;
    spec.channels = uint8_t(format.channels);
    return pa_sample_spec_valid(&spec) &&
           pa_channel_map_init_extend(&map, spec.channels, PA_CHANNEL_MAP_DEFAULT) != nullptr;
}

std::string formatText(const AudioFormat& f) {
    return std::to_string(f.sampleRate) + " Hz, " + std::to_string(f.channels) + " ch, " +
           std::to_string(f.bitsPerSample) + "-bit";
}

// Lock held. None when the server has the source `device` (capture; null: the default
// source) or a default sink (playback) now, NoDevice when it has not, NoServer when it does
// not answer.
// PulseAudio refuses a stream with nowhere to go; PipeWire accepts it and leaves it unlinked,
// silent for ever. Asking first gives the same answer on both.
template <class Info>
void onDeviceInfo(pa_context*, const Info* info, int eol, void* userdata) {
    auto* query = static_cast<std::pair<pa_threaded_mainloop*, int>*>(userdata);
    if (eol == 0 && info) query->second = 1;
    else if (query->second < 0) query->second = 0;
    if (eol != 0) pa_threaded_mainloop_signal(query->first, 0);
}

OpenError checkDeviceLocked(pa_threaded_mainloop* loop, pa_context* context, bool capture,
                            const char* device, std::string& why) {
    const std::string source = device ? device : "@DEFAULT_SOURCE@";
    std::pair<pa_threaded_mainloop*, int> query{loop, -1};  // -1 unanswered, 0 absent, 1 present
    pa_operation* operation =
        capture ? pa_context_get_source_info_by_name(context, source.c_str(),
                                                     &onDeviceInfo<pa_source_info>, &query)
                : pa_context_get_sink_info_by_name(context, "@DEFAULT_SINK@",
                                                   &onDeviceInfo<pa_sink_info>, &query);
    if (!operation) {
        why = std::string("the sound server went away: ") + pa_strerror(pa_context_errno(context));
        return OpenError::NoServer;
    }
    waitLocked(loop, context, kOpenTimeoutUsec, [&query] { return query.second >= 0; });
    if (pa_operation_get_state(operation) == PA_OPERATION_RUNNING) pa_operation_cancel(operation);
    pa_operation_unref(operation);
    if (query.second == 1) return OpenError::None;
    if (query.second == 0) {
        why = capture ? "the sound server has no source " + source
                      : "the sound server has no default sink";
        return OpenError::NoDevice;
    }
    why = noAnswerText() + (capture ? " (asking for the source " + source + ")"
                                    : std::string(" (asking for the default sink)"));
    return OpenError::NoServer;
}

}  // namespace

void PulseAudioBackend::ContextDeleter::operator()(pa_context* context) const {
    // Lock held.
    pa_context_set_state_callback(context, nullptr, nullptr);
    pa_context_set_subscribe_callback(context, nullptr, nullptr);
    pa_context_disconnect(context);
    pa_context_unref(context);  // streams still open keep their own reference
}

PulseAudioBackend::PulseAudioBackend(std::string applicationName, std::string server)
    : m_applicationName(std::move(applicationName)), m_server(std::move(server)) {}

PulseAudioBackend::~PulseAudioBackend() {
    if (!m_loop) return;
    LoopLock lock(m_loop.get());
    m_context.reset();
    // m_loop goes after the lock is released; the loop thread stops with the last stream.
}

bool PulseAudioBackend::ensureLoop() {
    if (m_loop) return true;
    pa_threaded_mainloop* raw = pa_threaded_mainloop_new();
    if (!raw) return false;
    std::shared_ptr<pa_threaded_mainloop> loop(raw, MainloopDeleter{});
    pa_threaded_mainloop_set_name(raw, "wsx-pulse");
    if (pa_threaded_mainloop_start(raw) < 0) return false;
    m_loop = std::move(loop);
    return true;
}

std::string PulseAudioBackend::serverAddress() const {
    if (!m_server.empty()) return m_server;
    if (const char* env = std::getenv("PULSE_SERVER"); env && *env) return env;
    return "the session's usual address";
}

OpenError PulseAudioBackend::connectLocked(std::string& why) {
    if (m_context) {
        if (pa_context_get_state(m_context.get()) == PA_CONTEXT_READY) return OpenError::None;
        log::debug(log::kAudio, "the connection to the sound server was lost; connecting afresh");
        m_context.reset();  // failed or terminated: the server went away; connect afresh
    }
    pa_context* context =
        pa_context_new(pa_threaded_mainloop_get_api(m_loop.get()), m_applicationName.c_str());
    if (!context) {
        why = "cannot create a connection to the sound server";
        return OpenError::NoServer;
    }
    m_context.reset(context);
    m_subscribed = nullptr;  // a new context may reuse the old one's address
    pa_context_set_state_callback(context, &onContextState, m_loop.get());
    // No autospawn: a desktop session starts its own server; we never start a stray one.
    const bool started = pa_context_connect(context, m_server.empty() ? nullptr : m_server.c_str(),
                                            PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0;
    const bool answered = started && waitLocked(m_loop.get(), context, kOpenTimeoutUsec, [context] {
                              const pa_context_state_t state = pa_context_get_state(context);
                              return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
                          });
    if (pa_context_get_state(context) == PA_CONTEXT_READY) {
        m_devicesGeneration.fetch_add(1, std::memory_order_relaxed);  // the list may differ
        const char* address = pa_context_get_server(context);
        log::debug(log::kAudio, "connected to the sound server at " +
                                    (address ? std::string(address) : serverAddress()));
        return OpenError::None;
    }
    why = "no sound server at " + serverAddress() + ": " +
          (started && !answered ? noAnswerText() : pa_strerror(pa_context_errno(context)));
    m_context.reset();
    return OpenError::NoServer;
}

template <class Stream, class Endpoint>
std::unique_ptr<Stream> PulseAudioBackend::openStream(const AudioFormat& format, Endpoint& endpoint,
                                                      OpenError& error, const char* device) {
    constexpr bool capture = std::is_same_v<Stream, PulseCaptureStream>;
    std::string why;
    std::unique_ptr<Stream> stream;
    pa_sample_spec spec{};
    pa_channel_map map{};
    if (!toSampleSpec(format, spec, map)) {
        error = OpenError::BadFormat;
        why = "the sound server cannot take " + formatText(format);
    } else if (!ensureLoop()) {
        error = OpenError::NoServer;
        why = "cannot start the thread that talks to the sound server";
    } else {
        stream = std::make_unique<Stream>(m_loop, format, endpoint);
        LoopLock lock(m_loop.get());
        error = connectLocked(why);
        if (error == OpenError::None)
            error = checkDeviceLocked(m_loop.get(), m_context.get(), capture, device, why);
        if (error == OpenError::None) {
            if constexpr (capture)
                error = stream->openLocked(m_context.get(), device, spec, map, why);
            else error = stream->openLocked(m_context.get(), spec, map, why);
        }
    }
    if (error == OpenError::None) return stream;
    log::warning(log::kAudio, (capture ? "cannot record: " : "cannot play: ") + why);
    return nullptr;  // the stream closes outside the lock
}

std::unique_ptr<AudioStream> PulseAudioBackend::openCaptureFrom(const CaptureSource& source,
                                                                const AudioFormat& format,
                                                                CaptureSink& sink,
                                                                OpenError& error) {
    // The monitor is named through the server's alias, resolved when the stream connects.
    static constexpr const char* kDefaultMonitor = "@DEFAULT_MONITOR@";
    using Kind = CaptureSource::Kind;
    switch (source.kind) {
    case Kind::DefaultInput: return openStream<PulseCaptureStream>(format, sink, error);
    case Kind::DefaultMonitor:
        return openStream<PulseCaptureStream>(format, sink, error, kDefaultMonitor);
    case Kind::Named:
        return openStream<PulseCaptureStream>(format, sink, error, source.name.c_str());
    case Kind::Both: break;
    }
    // Both: the microphone is input 0, the computer's sound input 1. Until the second
    // stream delivers, the mixer lets the first go on alone.
    auto both = std::make_unique<PulseMixedCapture>(format, sink);
    auto microphone = openStream<PulseCaptureStream>(format, both->input(0), error);
    if (!microphone) return nullptr;
    auto computer = openStream<PulseCaptureStream>(format, both->input(1), error, kDefaultMonitor);
    if (!computer) return nullptr;  // the microphone's stream closes before the mixer
    both->adopt(std::move(microphone), std::move(computer));
    return both;
}

std::unique_ptr<AudioStream> PulseAudioBackend::openPlayback(const AudioFormat& format,
                                                             PlaybackSource& source,
                                                             OpenError& error) {
    return openStream<PulsePlaybackStream>(format, source, error);
}

}  // namespace wsx::audio
