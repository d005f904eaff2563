// Takes through the MCI engine on the virtual clock: what is left on disk when an element
// goes with or without close, reopening a left take, damaged takes, and the failure reasons.
#include "engine/command/MciError.h"
#include "engine/take/TakeStore.h"
#include "modules/ModuleRecord.h"
#include "support/EngineFixture.h"
#include "support/WavReader.h"

#include <csignal>
#include <fstream>
#include <optional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace wsx::mci;
namespace fs = std::filesystem;
using wsx::test::constantSignal;
using Runs = std::vector<std::pair<int16_t, int>>;

namespace {

// (value, milliseconds) of a mono 8000 Hz file.
Runs runsOf(const fs::path& file) {
    const auto wav = wsx::test::readWav(file);
    EXPECT_TRUE(wav.has_value()) << file;
    const auto s = wav ? wsx::test::samples16(wav->data) : std::vector<int16_t>{};
    Runs out;
    for (size_t i = 0; i < s.size();) {
        size_t j = i;
        while (j < s.size() && s[j] == s[i]) ++j;
        out.push_back({s[i], int((j - i) / 8)});
        i = j;
    }
    return out;
}

std::vector<fs::path> takesIn(const fs::path& folder) {
    std::vector<fs::path> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) out.push_back(e.path());
    return out;
}

// An engine of its own, so a test can end it without "close", as a signal would.
class Takes : public ::testing::Test {
protected:
    fs::path takeFolder() const { return tmp.path() / "state"; }
    MciEngine& start() {
        engine.emplace(backend, EngineOptions{takeFolder(), 0xFFFFFFFFull - 37});
        return *engine;
    }
    uint32_t send(const std::string& c) { return engine->mciSendString(c, nullptr); }
    std::string ask(const std::string& c) {
        std::string reply;
        EXPECT_EQ(engine->mciSendString(c, &reply), 0u) << c;
        return reply;
    }
    void rec(const std::string& dev, int16_t value, int ms, const std::string& how) {
        backend.setSignal(constantSignal(value));
        ASSERT_EQ(send("record " + dev + " " + how), 0u);
        backend.advance(uint64_t(ms));
        ASSERT_EQ(send("stop " + dev), 0u);
    }
    void open(const std::string& dev) {
        ASSERT_EQ(send("open new type waveaudio alias " + dev), 0u);
        ASSERT_EQ(
            send("set " + dev + " time format ms samplespersec 8000 channels 1 bitspersample 16"),
            0u);
    }
    Runs saved(const std::string& dev, const std::string& name) {
        const fs::path file = tmp.path() / name;
        EXPECT_EQ(send("save " + dev + " \"" + file.string() + "\""), 0u);
        return runsOf(file);
    }

    wsx::test::TempDir tmp;
    wsx::audio::VirtualAudioBackend backend;
    std::optional<MciEngine> engine;
};

}  // namespace

TEST_F(Takes, OnlyUnsavedSoundOutlivesAnElementThatWasNotClosed) {
    start();
    open("closed");
    rec("closed", 1, 100, "");
    ASSERT_EQ(send("close closed"), 0u);  // discarded on purpose
    open("saved");
    rec("saved", 2, 100, "");
    saved("saved", "saved.wav");
    open("emptied");
    rec("emptied", 3, 100, "");
    ASSERT_EQ(send("delete emptied from 0"), 0u);
    open("neverrecorded");
    open("unsaved");
    rec("unsaved", 4, 100, "");
    saved("unsaved", "unsaved.wav");
    rec("unsaved", 5, 100, "");                   // changed after the save
    EXPECT_EQ(takesIn(takeFolder()).size(), 3u);  // one for each element that recorded
    engine.reset();                               // the program ends without closing, as on SIGTERM
    ASSERT_EQ(takesIn(takeFolder()).size(), 1u);
    const auto left = TakeStore(takeFolder()).orphans();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].lengthMs, 200u);

    start();
    open("all1");
    rec("all1", 6, 100, "");
    ASSERT_EQ(send("close all"), 0u);
    EXPECT_EQ(takesIn(takeFolder()).size(), 1u);
}

TEST_F(Takes, ALeftTakeReopensExactlyAndIsOnlyEverHeldByOneElement) {
    start();
    open("A");
    rec("A", 100, 1000, "overwrite");
    ASSERT_EQ(send("seek A to 400"), 0u);
    rec("A", 200, 300, "insert");
    ASSERT_EQ(send("seek A to 900"), 0u);
    rec("A", 300, 600, "overwrite");
    ASSERT_EQ(send("delete A from 100 to 250"), 0u);
    const Runs before = saved("A", "before.wav");
    // Still recording when the program ends: what was captured is kept.
    backend.setSignal(constantSignal(400));
    ASSERT_EQ(send("seek A to 50"), 0u);
    ASSERT_EQ(send("record A insert"), 0u);
    backend.advance(250);
    const auto folders = takesIn(takeFolder());
    ASSERT_EQ(folders.size(), 1u);
    const fs::path take = folders[0];
    EXPECT_TRUE(TakeStore(takeFolder()).orphans().empty()) << "held by a running element";
    EXPECT_FALSE(TakeStore::remove(take));
    {
        wsx::audio::VirtualAudioBackend other;
        MciEngine second(other, EngineOptions{takeFolder(), 1u << 30});
        EXPECT_EQ(
            second.mciSendString("open \"" + take.string() + "\" type waveaudio alias B", nullptr),
            MCIERR_DEVICE_LOCKED);
    }
    engine.reset();

    const auto orphans = TakeStore(takeFolder()).orphans();
    ASSERT_EQ(orphans.size(), 1u);
    const TakeInfo& info = orphans[0];
    EXPECT_EQ(info.folder, take);
    EXPECT_TRUE(info.readable && info.intact && !info.empty && !info.savedUnchanged);
    EXPECT_EQ(info.lengthMs, 1600u);
    EXPECT_EQ(info.format.format.sampleRate, 8000u);
    EXPECT_EQ(info.format.format.channels, 1u);
    EXPECT_EQ(info.format.format.bitsPerSample, 16u);
    EXPECT_LE(std::abs(info.format.createdUnixSeconds - int64_t(std::time(nullptr))), 60);

    start();
    wsx::ModuleRecord record(*engine);
    ASSERT_EQ(record.MciOpenTake(take.string()), 0);
    ASSERT_EQ(send("set RecordDev time format ms"), 0u);
    EXPECT_EQ(ask("status RecordDev mode"), "stopped");
    EXPECT_EQ(ask("status RecordDev position"), "0");
    EXPECT_EQ(ask("status RecordDev length"), "1600");
    EXPECT_EQ(ask("status RecordDev samplespersec"), "8000");
    EXPECT_EQ(send("set RecordDev channels 2"), MCIERR_NONAPPLICABLE_FUNCTION);
    Runs expected = before;
    expected.insert(expected.begin() + 1, {400, 250});
    expected[0].second = 50;
    expected.insert(expected.begin() + 2, {100, 0});
    expected[2].second = before[0].second - 50;
    EXPECT_EQ(saved("RecordDev", "recovered.wav"), expected);

    ASSERT_EQ(send("play RecordDev from 0 to 100"), 0u);
    backend.advance(200);
    EXPECT_EQ(wsx::test::samples16(backend.takePlayed()).size(), 800u);
    ASSERT_EQ(send("delete RecordDev from 0 to 300"), 0u);
    ASSERT_EQ(send("seek RecordDev to end"), 0u);
    rec("RecordDev", 500, 100, "");
    EXPECT_EQ(ask("status RecordDev length"), "1400");
    EXPECT_EQ(takesIn(takeFolder()).size(), 1u) << "the same take goes on";
    ASSERT_EQ(record.MciClose("RecordDev"), 0);
    EXPECT_TRUE(takesIn(takeFolder()).empty());
}

TEST_F(Takes, DamagedTakesOfferWhatIsIntactOrFailClearly) {
    start();
    open("A");
    rec("A", 7, 1000, "");
    engine.reset();
    const fs::path good = takesIn(takeFolder()).at(0);
    auto copyAs = [&](const std::string& name) {
        const fs::path to = takeFolder() / name;
        fs::copy(good, to);
        return to;
    };
    const fs::path torn = copyAs("take-torn");
    std::ofstream(torn / "journal", std::ios::app) << "half a record";
    const fs::path cut = copyAs("take-cut");
    fs::resize_file(cut / "sound", 8001);
    const fs::path badFormat = copyAs("take-badformat");
    std::ofstream(badFormat / "format", std::ios::trunc) << "\x01garbage";
    const fs::path foreign = takeFolder() / "take-foreign";
    fs::create_directory(foreign);
    std::ofstream(foreign / "notes.txt") << "someone else's";
    const fs::path misnamed = tmp.path() / "not-a-take";
    fs::copy(good, misnamed);

    const auto orphans = TakeStore(takeFolder()).orphans();
    ASSERT_EQ(orphans.size(), 4u);  // not the foreign folder
    EXPECT_FALSE(orphans.back().readable);
    EXPECT_EQ(orphans.back().folder, badFormat);
    auto infoOf = [&](const fs::path& f) { return TakeStore::inspect(f); };
    EXPECT_TRUE(infoOf(good).intact);
    EXPECT_FALSE(infoOf(torn).intact);
    EXPECT_EQ(infoOf(torn).lengthMs, 1000u);
    EXPECT_FALSE(infoOf(cut).intact);
    EXPECT_EQ(infoOf(cut).lengthMs, 500u);

    start();
    auto openTake = [&](const fs::path& f, const std::string& alias) {
        return send("open \"" + f.string() + "\" type waveaudio alias " + alias);
    };
    ASSERT_EQ(openTake(torn, "T"), 0u);
    EXPECT_EQ(ask("status T length"), "1000");
    rec("T", 8, 100, "");  // new records follow the intact ones
    EXPECT_EQ(fs::file_size(torn / "journal") % encodeJournalRecord({}).size(), 0u);
    ASSERT_EQ(openTake(cut, "C"), 0u);
    EXPECT_EQ(ask("status C length"), "500");
    EXPECT_EQ(openTake(badFormat, "F"), MCIERR_INVALID_FILE);
    EXPECT_EQ(openTake(foreign, "X"), MCIERR_FILE_NOT_FOUND);
    EXPECT_EQ(openTake(misnamed, "M"), MCIERR_FILE_NOT_FOUND);
    EXPECT_EQ(openTake(tmp.path() / "nowhere", "N"), MCIERR_FILE_NOT_FOUND);  // taken for a file
    engine.reset();
    EXPECT_EQ(infoOf(torn).lengthMs, 1100u);

    EXPECT_TRUE(TakeStore::remove(badFormat));
    EXPECT_FALSE(TakeStore::remove(foreign));
    EXPECT_FALSE(TakeStore::remove(misnamed));
    EXPECT_TRUE(fs::exists(foreign / "notes.txt"));
    EXPECT_TRUE(fs::exists(misnamed / "sound"));
    EXPECT_FALSE(fs::exists(badFormat));
}
