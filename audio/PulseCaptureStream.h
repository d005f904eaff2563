#pragma once

#include "CaptureClock.h"
#include "PulseStream.h"

#include <cstdint>
#include <vector>

namespace wsx::audio {

// Records from one source (the default unless named) into a CaptureSink. Holes in the record
// (the server lost data) and time that passed without sound (CaptureClock: a suspended or
// stalled server) are handed on as silence, so the timeline of the take stays true.
// Threads: as PulseStream; onRead() runs on the loop thread and only moves samples.
class PulseCaptureStream final : public PulseStream {
public:
    PulseCaptureStream(std::shared_ptr<pa_threaded_mainloop> loop, const AudioFormat& format,
                       CaptureSink& sink);
    ~PulseCaptureStream() override;

    // Lock held. Connects to `device` (null: the default source, followed when it changes)
    // and waits until it records.
    OpenError openLocked(pa_context* context, const char* device, const pa_sample_spec& spec,
                         const pa_channel_map& map, std::string& why);

    uint64_t bytesPlayed() const override { return 0; }
    bool drained() const override { return false; }

private:
    static void onRead(pa_stream* stream, size_t, void* userdata);
    void deliverSilence(size_t bytes);

    CaptureSink& m_sink;
    const std::vector<uint8_t> m_silence;  // whole frames of the format's silence
    CaptureClock m_clock;                  // loop thread
};

}  // namespace wsx::audio
