// Recording, playing, seeking, deleting and saving on the virtual clock, checked by
// position, by mode and by the samples that come out.
#include "engine/command/MciError.h"
#include "support/EngineFixture.h"
#include "support/WavReader.h"

#include <chrono>

#include <sys/stat.h>

using namespace wsx::mci;
using wsx::test::constantSignal;
using wsx::test::EngineTest;
using wsx::test::readWav;
using wsx::test::samples16;

namespace {

// Records `ms` milliseconds of the constant `value` at the current position.
void take(EngineTest* t, wsx::audio::VirtualAudioBackend& backend,
          const std::function<uint32_t(const std::string&)>& send, int16_t value, int ms,
          const std::string& how = "overwrite") {
    backend.setSignal(constantSignal(value));
    ASSERT_EQ(send("record A " + how), 0u);
    backend.advance(uint64_t(ms));
    ASSERT_EQ(send("pause A"), 0u);
    (void)t;
}

// Samples of channel 0 saved in `file`, one value per millisecond at 1000 Hz... callers use
// 8000 Hz mono so that one millisecond is eight samples.
std::vector<int16_t> savedSamples(const std::filesystem::path& file) {
    auto wav = readWav(file);
    EXPECT_TRUE(wav.has_value());
    return wav ? samples16(wav->data) : std::vector<int16_t>{};
}

// Run-length summary: (value, milliseconds) at 8000 Hz mono.
std::vector<std::pair<int16_t, int>> runs(const std::vector<int16_t>& s) {
    std::vector<std::pair<int16_t, int>> out;
    size_t i = 0;
    while (i < s.size()) {
        size_t j = i;
        while (j < s.size() && s[j] == s[i]) ++j;
        out.push_back({s[i], int((j - i) / 8)});
        i = j;
    }
    return out;
}

}  // namespace

class Transport : public EngineTest {
protected:
    void rec(int16_t value, int ms, const std::string& how = "overwrite") {
        take(
            this, backend, [this](const std::string& c) { return send(c); }, value, ms, how);
    }
    std::vector<std::pair<int16_t, int>> saved() {
        const auto file = tmp.path() / "out.wav";
        EXPECT_EQ(send("save A \"" + file.string() + "\""), 0u);
        return runs(savedSamples(file));
    }
};

TEST_F(Transport, PositionAndLengthFollowARecordingAndStayAfterPause) {
    openA();
    ASSERT_EQ(send("record A overwrite"), 0u);
    EXPECT_EQ(ask("status A mode"), "recording");
    backend.advance(1230);
    EXPECT_EQ(ask("status A position"), "1230");
    EXPECT_EQ(ask("status A length"), "1230");
    ASSERT_EQ(send("pause A"), 0u);
    EXPECT_EQ(ask("status A mode"), "paused");
    backend.advance(500);
    EXPECT_EQ(ask("status A position"), "1230");
    EXPECT_EQ(ask("status A length"), "1230");
    EXPECT_EQ(send("pause A"), 0u);  // already paused
    EXPECT_EQ(backend.openStreams(), 0);
}

TEST_F(Transport, OverwriteReplacesFromThePositionAndExtendsPastTheEnd) {
    openA(8000, 1);
    rec(100, 1000);
    ASSERT_EQ(send("seek A to 400"), 0u);
    rec(200, 300);
    EXPECT_EQ(ask("status A position"), "700");
    EXPECT_EQ(ask("status A length"), "1000");
    ASSERT_EQ(send("seek A to 900"), 0u);
    rec(300, 500);
    EXPECT_EQ(ask("status A length"), "1400");
    EXPECT_EQ(saved(), (std::vector<std::pair<int16_t, int>>{
                           {100, 400}, {200, 300}, {100, 200}, {300, 500}}));
}

TEST_F(Transport, InsertPushesTheRestBack) {
    openA(8000, 1);
    rec(100, 1000);
    ASSERT_EQ(send("seek A to 250"), 0u);
    rec(200, 100, "insert");
    EXPECT_EQ(ask("status A length"), "1100");
    EXPECT_EQ(ask("status A position"), "350");
    rec(300, 50, "");  // insert is the default
    EXPECT_EQ(saved(), (std::vector<std::pair<int16_t, int>>{
                           {100, 250}, {200, 100}, {300, 50}, {100, 750}}));
}

TEST_F(Transport, PlayRunsToTheEndWherePositionEqualsLengthAndModeStops) {
    openA(8000, 1);
    rec(100, 1000);
    EXPECT_EQ(send("play A"), 0u);  // at the end already: an empty range
    EXPECT_EQ(ask("status A mode"), "stopped");
    ASSERT_EQ(send("play A from 0"), 0u);
    EXPECT_EQ(ask("status A mode"), "playing");
    backend.advance(990);
    EXPECT_EQ(ask("status A position"), "990");
    backend.advance(20);
    EXPECT_EQ(ask("status A position"), ask("status A length"));
    EXPECT_EQ(ask("status A mode"), "stopped");
    const auto played = samples16(backend.takePlayed());
    EXPECT_EQ(played.size(), 8000u);
    EXPECT_TRUE(std::all_of(played.begin(), played.end(), [](int16_t s) { return s == 100; }));
    EXPECT_EQ(send("pause A"), MCIERR_NONAPPLICABLE_FUNCTION);
}

TEST_F(Transport, PauseKeepsThePlayPositionAndPlayResumesFromIt) {
    openA(8000, 1);
    rec(100, 500);
    rec(200, 500);
    ASSERT_EQ(send("play A from 0"), 0u);
    backend.advance(300);
    ASSERT_EQ(send("pause A"), 0u);
    EXPECT_EQ(ask("status A position"), "300");
    backend.takePlayed();
    ASSERT_EQ(send("play A"), 0u);
    backend.advance(2000);
    EXPECT_EQ(runs(samples16(backend.takePlayed())),
              (std::vector<std::pair<int16_t, int>>{{100, 200}, {200, 500}}));
    EXPECT_EQ(ask("status A position"), "1000");
}

// Ten seconds at 48000 Hz stereo is ten times the playback ring: the feeder must refill it
// again and again, woken by the audio thread as it drains, across piece boundaries. What
// comes out is byte for byte what is saved, and it comes out in far less than the time a
// feeder that only woke on its safety timeout would need.
TEST_F(Transport, ARangeLongerThanThePlaybackRingPlaysEveryByteInOrder) {
    openA(48000, 2, 16);
    backend.setSignal(wsx::audio::sineSignal(440.0, 12000));
    ASSERT_EQ(send("record A overwrite"), 0u);
    backend.advance(9000);
    ASSERT_EQ(send("seek A to 3000"), 0u);
    backend.setSignal(wsx::audio::sineSignal(1000.0, 8000));
    ASSERT_EQ(send("record A insert"), 0u);
    backend.advance(1000);
    const auto file = tmp.path() / "long.wav";
    ASSERT_EQ(send("save A \"" + file.string() + "\""), 0u);
    const auto wav = readWav(file);
    ASSERT_TRUE(wav.has_value());
    ASSERT_EQ(wav->data.size(), 10u * 48000 * 4);

    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(send("play A from 0"), 0u);
    backend.advance(10100);
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(ask("status A mode"), "stopped");
    EXPECT_TRUE(backend.takePlayed() == wav->data);
    EXPECT_LT(took, std::chrono::seconds(1));
}

TEST_F(Transport, PlayFromToStopsAtTheGivenEndAndChecksTheRange) {
    openA(8000, 1);
    rec(100, 1000);
    EXPECT_EQ(send("play A from 1001"), MCIERR_OUTOFRANGE);
    EXPECT_EQ(send("play A from 0 to 1001"), MCIERR_OUTOFRANGE);
    EXPECT_EQ(send("play A from 600 to 500"), MCIERR_OUTOFRANGE);
    EXPECT_EQ(send("play A from 500 to 500"), 0u);
    EXPECT_EQ(ask("status A mode"), "stopped");
    ASSERT_EQ(send("play A from 200 to 450"), 0u);
    backend.advance(1000);
    EXPECT_EQ(ask("status A position"), "450");
    EXPECT_EQ(samples16(backend.takePlayed()).size(), 250u * 8);
}

TEST_F(Transport, SeekStopsPlaybackAndChecksTheTarget) {
    openA(8000, 1);
    rec(100, 1000);
    ASSERT_EQ(send("play A from 0"), 0u);
    backend.advance(100);
    ASSERT_EQ(send("seek A to 700"), 0u);
    EXPECT_EQ(ask("status A mode"), "stopped");
    EXPECT_EQ(ask("status A position"), "700");
    EXPECT_EQ(send("pause A"), MCIERR_NONAPPLICABLE_FUNCTION);
    EXPECT_EQ(send("seek A to 1001"), MCIERR_OUTOFRANGE);
    ASSERT_EQ(send("seek A to end"), 0u);
    EXPECT_EQ(ask("status A position"), "1000");
    ASSERT_EQ(send("seek A to start"), 0u);
    EXPECT_EQ(ask("status A position"), "0");
}

TEST_F(Transport, DeleteCutsTheRangeAndLeavesThePositionAtItsStart) {
    openA(8000, 1);
    rec(100, 300);
    rec(200, 300);
    rec(300, 400);
    EXPECT_EQ(send("delete A from 500 to 400"), MCIERR_OUTOFRANGE);
    EXPECT_EQ(send("delete A from 0 to 1001"), MCIERR_OUTOFRANGE);
    EXPECT_EQ(send("delete A from 400 to 400"), 0u);
    EXPECT_EQ(ask("status A length"), "1000");
    ASSERT_EQ(send("delete A from 0 to 200"), 0u);  // what the window's "delete before" sends
    EXPECT_EQ(ask("status A position"), "0");
    EXPECT_EQ(ask("status A length"), "800");
    ASSERT_EQ(send("seek A to 500"), 0u);
    ASSERT_EQ(send("delete A from 500"), 0u);  // "delete after": to the end
    EXPECT_EQ(ask("status A position"), "500");
    EXPECT_EQ(ask("status A length"), "500");
    EXPECT_EQ(saved(), (std::vector<std::pair<int16_t, int>>{{100, 100}, {200, 300}, {300, 100}}));
    ASSERT_EQ(send("delete A from 0"), 0u);
    EXPECT_EQ(ask("status A length"), "0");
}

// Positions reported in milliseconds map back to the exact end even where rounding makes
// the millisecond value stand for a frame or two more or less.
TEST_F(Transport, ReportedLengthAlwaysMapsBackToTheEnd) {
    openA(22050, 2);
    ASSERT_EQ(send("record A"), 0u);
    backend.advance(7);  // 154 frames: 6.98 ms
    ASSERT_EQ(send("pause A"), 0u);
    const std::string length = ask("status A length");
    EXPECT_EQ(ask("status A position"), length);
    EXPECT_EQ(send("delete A from " + length), 0u);
    EXPECT_EQ(ask("status A length"), length);
    EXPECT_EQ(send("seek A to " + length), 0u);
    EXPECT_EQ(send("play A from " + length), 0u);
}

// Every command turns a time into bytes the same way: milliseconds to the nearest frame,
// bytes down to their frame, samples exactly. Rates whose frames do not fall on whole
// milliseconds, and frames wider than a byte, are where two roundings would part.
TEST_F(Transport, EveryCommandPutsTheSameTimeOnTheSameFrame) {
    struct Row {
        int rate, channels, bits;
        const char* timeFormat;
        uint32_t value;
        uint64_t frame;  // the frame every command must land on
    };
    const Row rows[] = {
        {11025, 1, 8, "ms", 1, 11},          {11025, 1, 8, "ms", 20, 221},
        {11025, 2, 16, "ms", 12, 132},       {11025, 2, 16, "ms", 20, 221},
        {11025, 2, 16, "ms", 999, 11014},    {22050, 1, 16, "ms", 12, 265},
        {22050, 2, 16, "ms", 1, 22},         {22050, 2, 16, "ms", 12, 265},
        {22050, 2, 16, "ms", 999, 22028},    {22050, 2, 16, "bytes", 1059, 264},
        {22050, 2, 16, "samples", 265, 265},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.rate) + " Hz " + std::to_string(r.channels) + " ch " +
                     std::to_string(r.bits) + " bit, " + r.timeFormat + " " +
                     std::to_string(r.value));
        openA(r.rate, r.channels, r.bits);
        rec(100, 1200);
        const std::string at = std::to_string(r.value);
        const uint64_t expected = r.frame * uint64_t(r.channels * r.bits / 8);
        const auto inBytes = [&](const std::string& item) {
            EXPECT_EQ(send("set A time format bytes"), 0u);
            const auto bytes = uint64_t(number("status A " + item));
            EXPECT_EQ(send(std::string("set A time format ") + r.timeFormat), 0u);
            return bytes;
        };
        ASSERT_EQ(send(std::string("set A time format ") + r.timeFormat), 0u);

        ASSERT_EQ(send("seek A to " + at), 0u);
        EXPECT_EQ(inBytes("position"), expected) << "seek to";
        ASSERT_EQ(send("record A overwrite from 0 to " + at), 0u);
        backend.advance(1100);
        EXPECT_EQ(ask("status A mode"), "stopped");
        EXPECT_EQ(inBytes("position"), expected) << "record to";
        ASSERT_EQ(send("play A from 0 to " + at), 0u);
        backend.advance(1100);
        EXPECT_EQ(ask("status A mode"), "stopped");
        EXPECT_EQ(inBytes("position"), expected) << "play to";
        ASSERT_EQ(send("delete A from " + at), 0u);
        EXPECT_EQ(inBytes("length"), expected) << "delete from";
        ASSERT_EQ(send("close A"), 0u);
    }
    // A stop point equal to the reported length is the exact end, like any other position.
    openA(22050, 2, 16);
    rec(100, 10);  // 220 frames = 9.98 ms, reported as 10, which on its own is frame 221
    ASSERT_EQ(send("record A overwrite from 0 to " + ask("status A length")), 0u);
    backend.advance(20);
    ASSERT_EQ(send("set A time format bytes"), 0u);
    EXPECT_EQ(ask("status A position"), "880");
    EXPECT_EQ(ask("status A length"), "880");
}

TEST_F(Transport, RecordOrPlayWhileTheOtherRunsStopsItFirst) {
    openA(8000, 1);
    rec(100, 500);
    ASSERT_EQ(send("play A from 0"), 0u);
    backend.advance(200);
    backend.setSignal(constantSignal(200));
    ASSERT_EQ(send("record A overwrite"), 0u);  // at 200 ms, where playing got to
    backend.advance(100);
    ASSERT_EQ(send("play A from 0"), 0u);  // ends the take
    EXPECT_EQ(ask("status A length"), "500");
    backend.advance(1000);
    EXPECT_EQ(ask("status A mode"), "stopped");
    EXPECT_EQ(backend.openStreams(), 0);
    EXPECT_EQ(saved(), (std::vector<std::pair<int16_t, int>>{{100, 200}, {200, 100}, {100, 200}}));
}

TEST_F(Transport, AServerThatDiesEndsTheTakeButKeepsWhatWasRecorded) {
    openA(8000, 1);
    backend.setSignal(constantSignal(100));
    ASSERT_EQ(send("record A overwrite"), 0u);
    backend.advance(400);
    backend.failStreams();
    backend.advance(400);
    EXPECT_EQ(ask("status A mode"), "paused");
    EXPECT_EQ(ask("status A length"), "400");
    EXPECT_EQ(send("pause A"), 0u);
    EXPECT_EQ(saved().size(), 1u);
}

TEST_F(Transport, SaveWritesOnlyCompleteFilesUnderTheChosenName) {
    openA(8000, 1);
    rec(100, 250);
    // Blanks, quotes and Chinese in the name.
    const auto fancy = tmp.path() / "我的 \"录音\" 1.wav";
    std::string quoted;
    for (char c : fancy.string()) quoted += (c == '"') ? std::string("\"\"") : std::string(1, c);
    ASSERT_EQ(send("save A \"" + quoted + "\""), 0u);
    ASSERT_TRUE(readWav(fancy).has_value());
    EXPECT_EQ(readWav(fancy)->data.size(), 250u * 16);
    // An existing file is replaced whole.
    rec(200, 250);
    ASSERT_EQ(send("save A \"" + quoted + "\""), 0u);
    EXPECT_EQ(readWav(fancy)->data.size(), 500u * 16);
    // A folder that does not exist, or that may not be written: 286, nothing left behind.
    EXPECT_EQ(send("save A \"" + (tmp.path() / "missing" / "x.wav").string() + "\""),
              MCIERR_FILE_NOT_SAVED);
    const auto locked = tmp.path() / "locked";
    std::filesystem::create_directory(locked);
    ::chmod(locked.c_str(), 0500);
    if (::geteuid() != 0) {  // root writes anywhere
        EXPECT_EQ(send("save A \"" + (locked / "x.wav").string() + "\""), MCIERR_FILE_NOT_SAVED);
        EXPECT_TRUE(std::filesystem::is_empty(locked));
    }
    EXPECT_EQ(send("save A \"" + tmp.path().string() + "/\""), MCIERR_FILE_NOT_SAVED);
}

TEST_F(Transport, SaveWhileRecordingEndsTheTakeFirst) {
    openA(8000, 1);
    backend.setSignal(constantSignal(100));
    ASSERT_EQ(send("record A"), 0u);
    backend.advance(300);
    EXPECT_EQ(saved(), (std::vector<std::pair<int16_t, int>>{{100, 300}}));
    EXPECT_EQ(ask("status A mode"), "stopped");
}

TEST_F(Transport, TheSpoolIsPrivateAndGoesWithTheElement) {
    openA(8000, 1);
    rec(100, 100);
    const auto folder = tmp.path() / "spool";
    ASSERT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
    // The sound file lives in the element's own take folder.
    const auto take = std::filesystem::directory_iterator(folder)->path();
    const auto spool = take / "sound";
    struct stat st {};
    ASSERT_EQ(::stat(spool.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(take.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(send("close A"), 0u);
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

// The WAV size limit, scaled down: a take stops where the file would overflow.
class SizeLimit : public EngineTest {
protected:
    SizeLimit() : EngineTest(8000 * 2) {}  // one second at 8000 Hz mono 16-bit
};

TEST_F(SizeLimit, ATakeThatWouldPassTheWavLimitIsCutThereAndRefusedAfter) {
    openA(8000, 1);
    ASSERT_EQ(send("record A"), 0u);
    backend.advance(1500);
    EXPECT_EQ(ask("status A mode"), "paused");
    EXPECT_EQ(ask("status A length"), "1000");
    EXPECT_EQ(send("record A"), MCIERR_OUTOFRANGE);
    ASSERT_EQ(send("seek A to 400"), 0u);
    EXPECT_EQ(send("record A overwrite"), 0u);  // overwriting does not grow the file
    backend.advance(1000);
    EXPECT_EQ(ask("status A length"), "1000");
}
