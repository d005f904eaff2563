#pragma once

#include "CaptureMixer.h"
#include "PulseCaptureStream.h"

#include <memory>

namespace wsx::audio {

// The microphone and the computer's sound recorded at once: two capture streams on the one
// loop thread, whose callbacks feed a CaptureMixer that hands the mix to the take's sink.
// Threads: as PulseStream. The streams are declared last, so they close (and no callback
// runs) before the mixer and its inputs go.
class PulseMixedCapture final : public AudioStream {
public:
    PulseMixedCapture(const AudioFormat& format, CaptureSink& sink)
        : m_mixer(format, sink), m_inputs{{{m_mixer, 0}, {m_mixer, 1}}} {}

    CaptureSink& input(int index) { return m_inputs[size_t(index)]; }
    void adopt(std::unique_ptr<PulseCaptureStream> first,
               std::unique_ptr<PulseCaptureStream> second) {
        m_streams[0] = std::move(first);
        m_streams[1] = std::move(second);
    }

    uint64_t bytesPlayed() const override { return 0; }
    bool drained() const override { return false; }
    // Either stream broke: the take stops, as with one stream.
    bool failed() const override {
        return (m_streams[0] && m_streams[0]->failed()) || (m_streams[1] && m_streams[1]->failed());
    }

private:
    CaptureMixer m_mixer;
    std::array<CaptureMixer::Input, 2> m_inputs;
    std::array<std::unique_ptr<PulseCaptureStream>, 2> m_streams;
};

}  // namespace wsx::audio
