#pragma once
// A small reference of the waveaudio transport, for the model check: what each command
// answers and what the element then holds, in frames, with the sound as a plain vector of
// sample values. Written from the commands' contract, not from the engine's code: no piece
// table, no sessions; time moves only through advance().
#include "engine/command/MciError.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace wsx::test {

// One command of a script. Positions are in samples (the time format the check uses);
// `wait` is how long the clock runs after the command, in milliseconds.
struct TransportStep {
    enum class Verb { Record, Play, Pause, Resume, Stop, Seek, Delete, Save } verb = Verb::Stop;
    std::optional<uint32_t> from, to;  // Seek: `to` (none: "start" or "end" by `toEnd`)
    bool overwrite = false, insert = false, toEnd = false;
    uint32_t wait = 0;
    std::string command(const std::string& alias) const;
};

class TransportModel {
public:
    enum class Mode { Stopped, Playing, Recording, Paused };
    TransportModel(uint64_t limitFrames, uint32_t framesPerMs)
        : m_limit(limitFrames), m_framesPerMs(framesPerMs) {}

    // The sample a capture stretch delivers: which stretch it is and how far into it.
    static uint16_t sample(uint32_t stretch, uint64_t frame) {
        return uint16_t((stretch & 31u) << 11 | (frame & 2047u));
    }
    uint32_t stretches() const { return m_stretch; }

    uint32_t apply(const TransportStep& s);
    void advance(uint32_t ms);

    Mode mode() const { return m_mode; }
    uint64_t position() const;
    uint64_t length() const;
    const std::vector<uint16_t>& sound() const { return m_sound; }

private:
    void halt(Mode then);
    uint32_t range(const TransportStep& s, uint64_t& from, uint64_t& to) const;
    uint32_t startRecording(uint64_t from, uint64_t budget, bool insert, bool toGiven);
    void startPlaying(uint64_t from, uint64_t to);

    const uint64_t m_limit;
    const uint32_t m_framesPerMs;
    Mode m_mode = Mode::Stopped, m_pausedFrom = Mode::Stopped;
    uint64_t m_position = 0;
    std::vector<uint16_t> m_sound;
    uint32_t m_stretch = 0;  // capture stretches started so far
    uint64_t m_recStart = 0, m_budget = 0, m_captured = 0, m_lengthBefore = 0;
    bool m_insert = true;
    bool m_toGiven = false;  // the recording runs to a "to" point, not to the limit
    uint64_t m_playFrom = 0, m_playTo = 0, m_played = 0;
};

}  // namespace wsx::test
