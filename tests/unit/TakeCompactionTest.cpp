// Compacting a take: the sound stays sample for sample while the sound file shrinks to
// what the pieces use, edits during a copy cancel it, the take goes on after a switch, and
// whatever a compaction cut short at any step leaves recovers to the take as it was.
#include "engine/command/MciError.h"
#include "engine/take/Take.h"
#include "engine/take/TakeStore.h"
#include "support/EngineFixture.h"
#include "support/WavReader.h"

#include <chrono>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <thread>

using namespace wsx::mci;
namespace fs = std::filesystem;

namespace {

constexpr uint64_t kBytesPerMs = 16;  // 8000 Hz mono, 16 bits

// Every frame carries its own number across all captures, so any misplaced, lost or
// doubled stretch of sound shows.
wsx::audio::VirtualAudioBackend::Signal countingSignal() {
    auto next = std::make_shared<uint16_t>(1);
    return [next](int16_t* out, uint64_t, size_t frames, const wsx::audio::AudioFormat& f) {
        for (size_t i = 0; i < frames * f.channels; ++i) out[i] = int16_t((*next)++ & 0x7FFF);
    };
}

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> out;
    for (const auto& e : fs::directory_iterator(folder)) out.insert(e.path().filename().string());
    return out;
}

class Compaction : public ::testing::Test {
protected:
    fs::path takeFolder() const { return tmp.path() / "state"; }
    // An engine that compacts when more than half of the sound file and more than
    // `minBytes` is garbage, with `pause` between chunks of the copy.
    MciEngine& start(uint64_t minBytes, std::chrono::milliseconds pause = {}) {
        engine.reset();
        EngineOptions options{takeFolder(), kMaxWavDataBytes};
        options.compactMinBytes = minBytes;
        options.compactPause = pause;
        engine.emplace(backend, options);
        backend.setSignal(countingSignal());
        return *engine;
    }
    uint32_t send(const std::string& c) { return engine->mciSendString(c, nullptr); }
    void must(const std::string& c) { ASSERT_EQ(send(c), 0u) << c; }
    void openA() {
        must("open new type waveaudio alias A");
        must("set A time format ms samplespersec 8000 channels 1 bitspersample 16");
    }
    void rec(const std::string& how, int ms) {
        must("record A " + how);
        backend.advance(uint64_t(ms));
        must("stop A");
    }
    std::vector<uint8_t> saved(const std::string& dev, const std::string& name) {
        const fs::path file = tmp.path() / name;
        EXPECT_EQ(send("save " + dev + " \"" + file.string() + "\""), 0u);
        const auto wav = wsx::test::readWav(file);
        EXPECT_TRUE(wav.has_value());
        return wav ? wav->data : std::vector<uint8_t>{};
    }
    fs::path onlyTake() const {
        std::vector<fs::path> all;
        for (const auto& e : fs::directory_iterator(takeFolder())) all.push_back(e.path());
        EXPECT_EQ(all.size(), 1u);
        return all.empty() ? fs::path() : all[0];
    }
    // Polls the element (as the window's timer does) until the take is at `generation`
    // with no other generation's files beside it.
    bool settlesAt(const fs::path& take, uint64_t generation) {
        const std::set<std::string> settled = {"format", "current",
                                               "sound." + std::to_string(generation),
                                               "journal." + std::to_string(generation)};
        for (int i = 0; i < 500; ++i) {
            (void)send("status A mode");
            if (Take::readGeneration(take) == generation && namesIn(take) == settled) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    wsx::test::TempDir tmp;
    wsx::audio::VirtualAudioBackend backend;
    std::optional<MciEngine> engine;
};

}  // namespace

TEST_F(Compaction, KeepsTheSoundSampleForSampleShrinksTheFileAndTheTakeGoesOn) {
    start(8000, std::chrono::milliseconds(20));
    openA();
    rec("overwrite", 2000);
    rec("from 500 overwrite", 400);  // 6400 bytes recorded over: under the 8000
    must("delete A from 1800 to 1900");
    const fs::path take = onlyTake();
    for (int i = 0; i < 20; ++i) (void)send("status A mode");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    (void)send("status A mode");
    EXPECT_EQ(namesIn(take), (std::set<std::string>{"format", "sound", "journal"}))
        << "too little garbage to compact";

    // Half of the sound file is garbage now: a copy starts, paced so the next edits land
    // inside it and cancel it; the compaction that follows starts from the edited take.
    must("delete A from 100 to 1300");
    rec("from 200 insert", 300);
    must("delete A from 0 to 50");
    const std::vector<uint8_t> before = saved("A", "before.wav");
    const uint64_t soundBefore = fs::file_size(take / "sound");
    ASSERT_TRUE(settlesAt(take, 1));
    EXPECT_EQ(fs::file_size(take / "sound.1"), before.size());
    EXPECT_LT(fs::file_size(take / "sound.1") * 2, soundBefore);
    EXPECT_EQ(saved("A", "after.wav"), before);
    EXPECT_TRUE(TakeStore::inspect(take).savedUnchanged) << "the save is carried over";

    // The take goes on in the new generation, compacts again, and reopens exactly.
    rec("from 100 insert", 500);
    rec("from 0 overwrite", 200);
    must("delete A from 300 to 1200");  // a copy starts
    must("play A from 0 to 100");
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    (void)send("status A mode");
    EXPECT_EQ(Take::readGeneration(take), 1u) << "no switch while playing";
    backend.advance(200);
    EXPECT_EQ(backend.takePlayed().size(), 100 * kBytesPerMs);
    ASSERT_TRUE(settlesAt(take, 2));
    rec("from 50 insert", 100);
    const std::vector<uint8_t> last = saved("A", "last.wav");
    must("delete A from 0 to 10");
    must("seek A to 500");
    const std::string lengthMs = std::to_string(last.size() / kBytesPerMs - 10);
    engine.reset();  // ends without close, as on a signal: the take stays
    const TakeInfo info = TakeStore::inspect(take);
    EXPECT_TRUE(info.readable && info.intact && !info.savedUnchanged);
    EXPECT_EQ(std::to_string(info.lengthMs), lengthMs);
    start(1u << 30);
    must("open \"" + take.string() + "\" type waveaudio alias R");
    const std::vector<uint8_t> reopened = saved("R", "reopened.wav");
    EXPECT_EQ(reopened, std::vector<uint8_t>(last.begin() + 10 * kBytesPerMs, last.end()));
    must("close R");
    EXPECT_FALSE(fs::exists(take)) << "every generation's files go with the take";
}

TEST_F(Compaction, WhatACompactionCutShortAtAnyStepLeavesRecoversToTheTakeAsItWas) {
    // A take with most of its sound deleted, left by a program that ended before compacting.
    start(1u << 30);
    openA();
    rec("overwrite", 3000);
    rec("from 1000 insert", 1000);
    must("delete A from 500 to 3500");
    must("seek A to 100");
    rec("overwrite", 100);
    const std::vector<uint8_t> full = saved("A", "full.wav");
    must("delete A from 0 to 10");  // unsaved again: the take stays
    const std::vector<uint8_t> reference(full.begin() + 10 * kBytesPerMs, full.end());
    engine.reset();
    const fs::path pre = onlyTake();
    const fs::path snapshot = tmp.path() / "pre";
    fs::copy(pre, snapshot);

    // The same take compacted to its end.
    start(1);
    must("open \"" + pre.string() + "\" type waveaudio alias A");
    ASSERT_TRUE(settlesAt(pre, 1));
    engine.reset();
    const fs::path post = tmp.path() / "post";
    fs::copy(pre, post);
    fs::remove_all(pre);

    // Every state a kill can leave, step by step: the new sound file part written, the new
    // journal torn, the pointer written but not renamed, then switched with the old
    // generation not (or not wholly) removed.
    const std::string half = "half a record";
    struct Case {
        std::string name;
        fs::path from;
        std::function<void(const fs::path&)> damage;
        uint64_t generation;
    };
    const auto sound1 = post / "sound.1";
    const std::vector<Case> cases = {
        {"take-copying", snapshot,
         [&](const fs::path& t) {
             fs::copy(sound1, t / "sound.1");
             fs::resize_file(t / "sound.1", fs::file_size(sound1) / 3);
         },
         0},
        {"take-journalling", snapshot,
         [&](const fs::path& t) {
             fs::copy(sound1, t / "sound.1");
             std::ofstream(t / "journal.1") << half;
         },
         0},
        {"take-switching", snapshot,
         [&](const fs::path& t) {
             fs::copy(sound1, t / "sound.1");
             fs::copy(post / "journal.1", t / "journal.1");
             std::ofstream(t / ".wsx-a1b2c3") << "1\n";
         },
         0},
        {"take-switched", post,
         [&](const fs::path& t) {
             fs::copy(snapshot / "sound", t / "sound");
             fs::copy(snapshot / "journal", t / "journal");
         },
         1},
        {"take-removing", post,
         [&](const fs::path& t) { fs::copy(snapshot / "journal", t / "journal"); }, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path t = takeFolder() / c.name;
        fs::copy(c.from, t);
        c.damage(t);
        const TakeInfo info = TakeStore::inspect(t);
        EXPECT_TRUE(info.readable && info.intact);
        EXPECT_EQ(info.lengthBytes, reference.size());
        start(1u << 30);
        must("open \"" + t.string() + "\" type waveaudio alias R");
        EXPECT_EQ(saved("R", c.name + ".wav"), reference);
        const std::string g = c.generation ? "." + std::to_string(c.generation) : "";
        std::set<std::string> left = {"format", "sound" + g, "journal" + g};
        if (c.generation) left.insert("current");
        EXPECT_EQ(namesIn(t), left) << "leftovers removed once the take is opened";
        must("close R");
        EXPECT_FALSE(fs::exists(t));
    }

    // A pointer that cannot be read: said, never guessed; the take can still be removed.
    const fs::path bad = takeFolder() / "take-badpointer";
    fs::copy(post, bad);
    fs::copy(snapshot / "sound", bad / "sound");
    std::ofstream(bad / "current", std::ios::trunc) << "one\n";
    EXPECT_FALSE(TakeStore::inspect(bad).readable);
    start(1u << 30);
    EXPECT_EQ(send("open \"" + bad.string() + "\" type waveaudio alias B"), MCIERR_INVALID_FILE);
    engine.reset();
    EXPECT_TRUE(TakeStore::remove(bad));
    EXPECT_FALSE(fs::exists(bad));
}
