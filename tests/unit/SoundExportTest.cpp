// Saving as FLAC, Opus and MP3: which type a name asks for, what the encoded files hold
// when decoded again, and that a cancelled or failed save leaves nothing behind.
#include "engine/files/SoundExport.h"
#include "engine/take/TakeStore.h"
#include "support/EngineFixture.h"

#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <thread>
#include <tuple>

using namespace wsx;
using mci::SoundFileType;
using wsx::test::EngineTest;
namespace fs = std::filesystem;

namespace {

struct Decoded {
    int rate = 0;
    int channels = 0;
    std::vector<short> samples;  // interleaved
};

Decoded decode(const fs::path& file) {
    SF_INFO info{};
    SNDFILE* f = sf_open(file.c_str(), SFM_READ, &info);
    if (!f) return {};
    Decoded d{info.samplerate, info.channels,
              std::vector<short>(size_t(info.frames * info.channels))};
    d.samples.resize(size_t(sf_readf_short(f, d.samples.data(), info.frames) * info.channels));
    sf_close(f);
    return d;
}

// Rising zero crossings of the first channel per second, from the middle half (codecs add
// a little delay and ramp at both ends).
double frequency(const Decoded& d) {
    const size_t frames = d.samples.size() / size_t(d.channels);
    int crossings = 0;
    for (size_t i = frames / 4 + 1; i < frames * 3 / 4; ++i)
        if (d.samples[(i - 1) * d.channels] < 0 && d.samples[i * d.channels] >= 0) ++crossings;
    return crossings * double(d.rate) / double(frames / 2);
}

std::vector<fs::path> filesIn(const fs::path& folder) {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename());
    return out;
}

class Export : public EngineTest {
protected:
    // Records `ms` of a 440 Hz tone into A and returns the folder saves go to.
    fs::path recordTone(int rate, int channels, int bits, uint64_t ms) {
        openA(rate, channels, bits);
        backend.setSignal(audio::sineSignal(440, 12000));
        EXPECT_EQ(send("record A overwrite"), 0u);
        backend.advance(ms);
        EXPECT_EQ(send("pause A"), 0u);
        const fs::path out = tmp.path() / "out";
        fs::create_directory(out);
        return out;
    }
    // Polls until the save in the background ends; false when it never does.
    bool waitForSave() {
        for (int i = 0; i < 6000; ++i) {
            if (ask("status A saving") == "false") return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    bool takeSaved() {
        for (const auto& e : fs::directory_iterator(takeFolder()))
            return mci::TakeStore::inspect(e.path()).savedUnchanged;
        return false;
    }
};

}  // namespace

TEST(SoundFileType, TypedExtensionWinsAndABareNameTakesTheFilters) {
    struct Case {
        std::string typed;
        SoundFileType selected;
        std::string name;
        SoundFileType type;
    };
    const Case cases[] = {
        {"/m/take", SoundFileType::Wav, "/m/take.wav", SoundFileType::Wav},
        {"/m/take", SoundFileType::Opus, "/m/take.opus", SoundFileType::Opus},
        {"/m/take.FLAC", SoundFileType::Wav, "/m/take.FLAC", SoundFileType::Flac},
        {"/m/take.Mp3", SoundFileType::Flac, "/m/take.Mp3", SoundFileType::Mp3},
        {"/m/take.wav", SoundFileType::Mp3, "/m/take.wav", SoundFileType::Wav},
        {"/m/take.opus", SoundFileType::Opus, "/m/take.opus", SoundFileType::Opus},
        // A dot in a folder name is no extension; another extension keeps the name.
        {"/m/v1.2/take", SoundFileType::Mp3, "/m/v1.2/take.mp3", SoundFileType::Mp3},
        {"/m/take.2024", SoundFileType::Flac, "/m/take.2024", SoundFileType::Flac},
        {"/m/talk.flac.bak", SoundFileType::Wav, "/m/talk.flac.bak", SoundFileType::Wav},
        {"/m/folder/", SoundFileType::Opus, "/m/folder/", SoundFileType::Opus},  // fails as is
    };
    for (const Case& c : cases) {
        const mci::SaveTarget t = mci::chooseSaveTarget(c.typed, c.selected);
        EXPECT_EQ(t.fileName, c.name) << c.typed;
        EXPECT_EQ(t.type, c.type) << c.typed;
    }
    EXPECT_EQ(mci::typeFromExtension("a.OPUS"), SoundFileType::Opus);
    EXPECT_EQ(mci::typeFromExtension("a"), std::nullopt);
    // Coded rates: the take's own where the codec has it, else the next one up, at most 48000.
    const std::tuple<SoundFileType, uint32_t, uint32_t> rates[] = {
        {SoundFileType::Opus, 11025, 12000}, {SoundFileType::Opus, 22050, 24000},
        {SoundFileType::Opus, 44100, 48000}, {SoundFileType::Opus, 8000, 8000},
        {SoundFileType::Mp3, 11025, 11025},  {SoundFileType::Mp3, 22050, 22050},
        {SoundFileType::Mp3, 37767, 44100},  {SoundFileType::Mp3, 96000, 48000},
        {SoundFileType::Flac, 37767, 37767}, {SoundFileType::Wav, 37767, 37767}};
    for (const auto& [type, rate, coded] : rates)
        EXPECT_EQ(mci::codedRateFor(type, rate), coded) << int(type) << " at " << rate;
}

struct RoundTrip {
    const char* extension;
    int rate, channels, bits;
};

class ExportRoundTrip : public Export, public ::testing::WithParamInterface<RoundTrip> {};

// Each format at the take formats the window offers, decoded back: the tone's pitch, the
// take's length and channels; FLAC sample for sample; the take counts as saved.
TEST_P(ExportRoundTrip, DecodesToTheRecordedToneAndLength) {
    const RoundTrip p = GetParam();
    const fs::path out = recordTone(p.rate, p.channels, p.bits, 3000);
    const fs::path file = out / (std::string("take") + p.extension);
    ASSERT_EQ(send("save A \"" + file.string() + "\""), 0u);
    ASSERT_TRUE(waitForSave());
    EXPECT_EQ(ask("status A reason"), "none");
    EXPECT_EQ(ask("status A progress"), "100");
    EXPECT_EQ(filesIn(out), std::vector<fs::path>{file.filename()}) << "no temporary left";
    EXPECT_TRUE(takeSaved());

    const Decoded d = decode(file);
    ASSERT_GT(d.rate, 0) << "libsndfile cannot read " << file;
    EXPECT_EQ(d.channels, p.channels);
    const SoundFileType type = *mci::typeFromExtension(file.string());
    EXPECT_EQ(uint32_t(d.rate), mci::codedRateFor(type, uint32_t(p.rate)));
    const double seconds = double(d.samples.size() / size_t(d.channels)) / d.rate;
    EXPECT_NEAR(seconds, 3.0, 0.06);
    EXPECT_NEAR(frequency(d), 440.0, 4.0);
    if (type == SoundFileType::Flac) {
        const fs::path wav = out / "take.wav";
        ASSERT_EQ(send("save A \"" + wav.string() + "\""), 0u);
        EXPECT_EQ(d.samples, decode(wav).samples);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ExportRoundTrip,
    ::testing::Values(RoundTrip{".flac", 22050, 2, 16}, RoundTrip{".flac", 11025, 1, 8},
                      RoundTrip{".opus", 11025, 1, 16}, RoundTrip{".opus", 22050, 2, 16},
                      RoundTrip{".mp3", 11025, 1, 16}, RoundTrip{".mp3", 22050, 2, 16},
                      RoundTrip{".MP3", 11025, 2, 8},
                      // A rate MPEG lacks: resampled, not refused (libsndfile would leave
                      // LAME's encoder state behind).
                      RoundTrip{".mp3", 37767, 2, 16}));

// Stopping a save under way, a save into a folder that is not there, and a save that
// sound recorded meanwhile overtakes: none leaves a file or marks the take saved.
TEST_F(Export, CancelledFailedOrOvertakenSavesLeaveTheTakeUnsaved) {
    const fs::path out = recordTone(22050, 2, 16, 5 * 60 * 1000);  // seconds to encode
    ASSERT_EQ(send("save A \"" + (out / "long.opus").string() + "\""), 0u);
    EXPECT_EQ(ask("status A saving"), "true");
    EXPECT_EQ(send("save A \"" + (out / "again.wav").string() + "\""), 302u) << "one at a time";
    EXPECT_EQ(send("stop A"), 0u);
    EXPECT_EQ(ask("status A saving"), "false");
    EXPECT_EQ(ask("status A reason"), "none");
    EXPECT_TRUE(filesIn(out).empty());
    EXPECT_FALSE(takeSaved());

    ASSERT_EQ(send("save A \"" + (tmp.path() / "gone" / "x.flac").string() + "\""), 0u);
    ASSERT_TRUE(waitForSave());
    EXPECT_EQ(ask("status A reason"), "nofolder");
    EXPECT_FALSE(takeSaved());
    EXPECT_FALSE(fs::exists(tmp.path() / "gone"));

    ASSERT_EQ(send("delete A from 60000"), 0u);  // one minute left
    ASSERT_EQ(send("save A \"" + (out / "short.mp3").string() + "\""), 0u);
    ASSERT_EQ(send("record A"), 0u);  // the save goes on while the take grows
    backend.advance(500);
    ASSERT_EQ(send("pause A"), 0u);
    ASSERT_TRUE(waitForSave());
    EXPECT_EQ(ask("status A reason"), "none");
    EXPECT_FALSE(takeSaved()) << "the file lacks what was recorded meanwhile";
    EXPECT_NEAR(double(decode(out / "short.mp3").samples.size()) / 2 / 22050, 60.0, 0.1);
}
