#pragma once

#include "AudioBackend.h"

#include <array>
#include <cstdint>
#include <vector>

namespace wsx::audio {

// Mixes two capture streams (the microphone and what the computer plays) into one, in the
// take's format. The two run on different clocks: the mix goes at the pace of the slower,
// and the faster one's surplus is trimmed by dropping single frames, spread out, so the two
// stay in step for hours. Samples are summed and saturated, never wrapped.
//
// How the surplus is found: after every mix the input that ran ahead holds what the other
// has not matched yet, so "what input 0 holds minus what input 1 holds" swings with the
// deliveries of each. Over half a second it swings between two extremes, and its middle is
// where the two are in step (each delivery's jitter cancels out of it); when the middle is
// off zero, that many frames of the input ahead are dropped, one after every kDropSpacing
// mixed frames; a surplus above kJumpSeconds (the start, when one stream began first) is
// dropped at once. The two then pair sound captured within half a delivery of each other.
// An input that stops delivering (its stream stalled) stands in as silence once the other has
// run kStallSeconds ahead, so a stall never holds the take back; its late sound is then
// surplus and trimmed the same way.
//
// Thread safety: both inputs are fed from one thread (the backend's loop thread, which runs
// both streams' callbacks); onCaptured() neither locks, allocates nor blocks. Memory is
// allocated in the constructor only.
class CaptureMixer {
public:
    // Mixed frames between two dropped frames. While it catches up, the stream ahead plays
    // 1/512 (0.2 %, 3 cents) fast: no pitch anyone hears. Clocks 100 ppm apart need one
    // dropped frame in 10000.
    static constexpr size_t kDropSpacing = 512;
    static constexpr double kWindowSeconds = 0.5;  // how long a surplus must last
    static constexpr double kStallSeconds = 0.25;  // one input ahead by this, the other empty
    static constexpr double kJumpSeconds = 0.005;  // a surplus above this is dropped at once

    CaptureMixer(const AudioFormat& format, CaptureSink& out);

    // Sound of input 0 or 1 in the format, whole frames. Keeps everything; mixed sound goes
    // to `out` as soon as both inputs have delivered it.
    size_t onCaptured(int input, const void* data, size_t bytes);

    uint64_t droppedFrames(int input) const { return m_inputs[size_t(input)].dropped; }
    uint64_t silentFrames(int input) const { return m_inputs[size_t(input)].silent; }
    uint64_t mixedFrames() const { return m_mixed; }

    // The sink for one input, to hand to a capture stream.
    class Input final : public CaptureSink {
    public:
        Input(CaptureMixer& mixer, int index) : m_mixer(mixer), m_index(index) {}
        size_t onCaptured(const void* data, size_t bytes) override {
            return m_mixer.onCaptured(m_index, data, bytes);
        }

    private:
        CaptureMixer& m_mixer;
        const int m_index;
    };

private:
    // Samples waiting to be matched by the other input, as 16-bit values in a ring.
    struct Pending {
        std::vector<int16_t> ring;
        size_t head = 0;    // next sample to read
        size_t frames = 0;  // frames waiting
        uint64_t dropped = 0;
        uint64_t silent = 0;
        size_t toDrop = 0;
    };

    // Frames of `input` that fit; converts them into its ring.
    size_t push(int input, const uint8_t* data, size_t frames);
    // Mixes what both inputs hold, then what one holds once the other has stalled.
    void mix();
    // Mixes `frames` frames; an input listed as silent gives silence and keeps its sound.
    void mixFrames(size_t frames, bool silent0, bool silent1);
    void dropOne(Pending& p);
    void flush();
    void endOfMix();

    const AudioFormat m_format;
    const size_t m_channels;
    const size_t m_capacityFrames;
    const size_t m_stallFrames;
    const uint64_t m_windowFrames;
    const size_t m_jumpFrames;
    CaptureSink& m_out;
    std::array<Pending, 2> m_inputs;
    std::vector<uint8_t> m_outBuffer;
    size_t m_outBytes = 0;
    uint64_t m_mixed = 0;
    uint64_t m_windowStart = 0;
    // This window's extremes of (frames input 0 holds - frames input 1 holds) after a mix.
    int64_t m_lowestLead = INT64_MAX;
    int64_t m_highestLead = INT64_MIN;
    size_t m_sinceDrop = 0;
};

}  // namespace wsx::audio
