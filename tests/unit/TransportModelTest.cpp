// The model check: random command scripts run against the engine on the virtual clock and
// against TransportModel, comparing every answer (result code, position, length, mode after
// each command and after each wait) and, at each save, the saved sound sample for sample.
// A script that disagrees is shrunk to the fewest commands that still disagree and printed,
// so the failure reads as a short MCI script. WSX_MODEL_SCRIPTS sets how many scripts run
// (a long run); the seeds are fixed, so a failure repeats.
#include "TransportModel.h"
#include "audio/VirtualAudioBackend.h"
#include "engine/interpreter/MciEngine.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

namespace wsx::test {
namespace {

using Verb = TransportStep::Verb;
using Script = std::vector<TransportStep>;

// 8000 Hz, 16-bit mono: 8 frames a millisecond, whole frames at every clock step; a small
// size limit so that scripts run into it.
constexpr uint32_t kFramesPerMs = 8;
constexpr uint64_t kLimitFrames = 1200;

std::string modeWord(TransportModel::Mode m) {
    static constexpr const char* kWords[] = {"stopped", "playing", "recording", "paused"};
    return kWords[int(m)];
}

std::vector<uint16_t> savedSound(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<uint16_t> out;
    for (size_t i = 44; i + 1 < bytes.size(); i += 2)
        out.push_back(uint16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8));
    return out;
}

// Runs the script on a fresh engine and model; the first disagreement, or empty.
std::string disagreement(const Script& script) {
    TempDir tmp;
    TransportModel model(kLimitFrames, kFramesPerMs);
    audio::VirtualAudioBackend backend;
    backend.setSignal(
        [&model](int16_t* out, uint64_t first, size_t frames, const audio::AudioFormat&) {
            for (size_t i = 0; i < frames; ++i)
                out[i] = int16_t(TransportModel::sample(model.stretches(), first + i));
        });
    mci::MciEngine engine(backend, mci::EngineOptions{tmp.path() / "takes", kLimitFrames * 2});
    for (const char* setup :
         {"open new type waveaudio alias A",
          "set A time format samples bitspersample 16 samplespersec 8000 channels 1"})
        if (engine.mciSendString(setup, nullptr) != 0) return std::string("cannot ") + setup;
    const auto compare = [&](const std::string& when) -> std::string {
        std::string position, length, mode;
        engine.mciSendString("status A position", &position);
        engine.mciSendString("status A length", &length);
        engine.mciSendString("status A mode", &mode);
        const std::string want = std::to_string(model.position()) + " " +
                                 std::to_string(model.length()) + " " + modeWord(model.mode());
        const std::string got = position + " " + length + " " + mode;
        return got == want ? std::string()
                           : when + ": position length mode " + got + ", model " + want;
    };
    for (const TransportStep& step : script) {
        const std::string command = step.command("A");
        const std::string engineCommand =
            step.verb == Verb::Save ? "save A \"" + (tmp.path() / "out.wav").string() + "\""
                                    : command;
        const uint32_t rc = engine.mciSendString(engineCommand, nullptr);
        const uint32_t want = model.apply(step);
        if (rc != want)
            return command + ": answered " + std::to_string(rc) + ", model " + std::to_string(want);
        if (auto d = compare(command); !d.empty()) return d;
        if (step.verb == Verb::Save && rc == 0 &&
            savedSound(tmp.path() / "out.wav") != model.sound())
            return command + ": the saved sound is not the model's";
        backend.advance(step.wait);
        model.advance(step.wait);
        if (auto d = compare("after " + std::to_string(step.wait) + " ms"); !d.empty()) return d;
    }
    return {};
}

Script randomScript(std::mt19937& rng, size_t steps) {
    auto pick = [&](uint32_t n) { return uint32_t(rng() % n); };
    // Positions near the interesting ones: 0, small, around the usual lengths, past them.
    auto position = [&] { return pick(4) == 0 ? 0u : pick(kLimitFrames * 3 / 2); };
    Script s;
    for (size_t i = 0; i < steps; ++i) {
        TransportStep t;
        t.verb = Verb(pick(8));
        const bool ranged =
            t.verb == Verb::Record || t.verb == Verb::Play || t.verb == Verb::Delete;
        if (ranged && pick(2)) t.from = position();
        if (ranged && pick(2)) t.to = position();
        if (t.verb == Verb::Record) {
            const uint32_t how = pick(8);
            t.overwrite = how < 3 || how == 7;
            t.insert = how >= 5;  // both at once now and then: refused
        }
        if (t.verb == Verb::Seek) {
            const uint32_t where = pick(3);
            if (where == 0) t.to = position();
            t.toEnd = where == 1;
        }
        t.wait = pick(3) == 0 ? 0 : pick(60);
        s.push_back(t);
    }
    // A final save compares the whole sound.
    TransportStep save;
    save.verb = Verb::Save;
    s.push_back(save);
    return s;
}

// Drops commands one at a time while the script still disagrees, until none can go.
Script shrink(Script script) {
    for (bool smaller = true; smaller;) {
        smaller = false;
        for (size_t i = 0; i < script.size(); ++i) {
            Script shorter = script;
            shorter.erase(shorter.begin() + std::ptrdiff_t(i));
            if (!disagreement(shorter).empty()) {
                script = std::move(shorter);
                smaller = true;
                --i;
            }
        }
    }
    return script;
}

TEST(TransportModelCheck, EveryAnswerAndTheSavedSoundMatchTheReferenceModel) {
    const char* env = std::getenv("WSX_MODEL_SCRIPTS");
    const int scripts = env ? std::atoi(env) : 150;
    for (int seed = 1; seed <= scripts; ++seed) {
        std::mt19937 rng{uint32_t(seed)};
        const Script script = randomScript(rng, 30);
        if (disagreement(script).empty()) continue;
        const Script small = shrink(script);
        std::string text;
        for (const TransportStep& s : small)
            text += "  " + s.command("A") + "   (then " + std::to_string(s.wait) + " ms)\n";
        FAIL() << "seed " << seed << ": " << disagreement(small) << "\nshortest script:\n" << text;
    }
}

}  // namespace
}  // namespace wsx::test
