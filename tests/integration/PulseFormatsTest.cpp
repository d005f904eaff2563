// The element's PCM formats against a real sound server of their own (no test tone but
// ours): recordings of a known tone from the sink's monitor in several formats, saved and
// read back; and WAV files opened and played into the sink, heard on its monitor sample for
// sample where the server passes them unchanged (the sink's own rate and format), by
// frequency and length where it converts them.
#include "PulseTestAudio.h"
#include "PulseTestServer.h"
#include "audio/PulseAudioBackend.h"
#include "engine/files/WavFile.h"
#include "engine/interpreter/MciEngine.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"
#include "support/WavReader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <numbers>
#include <thread>

using namespace std::chrono_literals;
using namespace wsx::audio;
using namespace wsx::audio::test;

namespace {

constexpr AudioFormat kSinkFormat{48000, 2, 16};  // the null sink's own

std::string formatName(const AudioFormat& f) {
    return std::to_string(f.sampleRate) + " Hz " + std::to_string(f.bitsPerSample) + "-bit " +
           std::to_string(f.channels) + " ch";
}

// A private server, a backend on it and an engine on the backend.
class PulseFormats : public ::testing::Test {
protected:
    void SetUp() override {
        const char* enabled = std::getenv("WSX_TEST_PULSE");
        if (!enabled || !*enabled) GTEST_SKIP() << "run under tests/support/pulse-env.sh";
        std::string why;
        if (!server.start(why)) GTEST_SKIP() << why;
        backend.emplace("万声匣", server.address());
        engine.emplace(*backend, wsx::mci::EngineOptions{tmp.path() / "takes"});
    }
    uint32_t send(const std::string& c) { return engine->mciSendString(c, nullptr); }
    std::string ask(const std::string& c) {
        std::string reply;
        EXPECT_EQ(engine->mciSendString(c, &reply), 0u) << c;
        return reply;
    }
    std::string quoted(const std::filesystem::path& p) { return "\"" + p.string() + "\""; }

    PulseTestServer server;
    wsx::test::TempDir tmp;
    std::optional<PulseAudioBackend> backend;
    std::optional<wsx::mci::MciEngine> engine;
};

// `seconds` at the sink's format that never repeats: a sweep from 300 to 700 Hz on the left,
// a fading 1100 Hz on the right, so a frame sequence has one place in it and a swap shows.
std::vector<uint8_t> sweep(double seconds) {
    std::vector<uint8_t> pcm;
    const size_t frames = size_t(seconds * kSinkFormat.sampleRate);
    for (size_t i = 0; i < frames; ++i) {
        const double t = double(i) / kSinkFormat.sampleRate;
        const double left = 0.4 * std::cos(2 * std::numbers::pi * (300 + 400 * t) * t);
        const double right = 0.25 * (1 - t / seconds) * std::cos(2 * std::numbers::pi * 1100 * t);
        for (const double v : {left, right}) {
            const auto s = uint16_t(int16_t(std::lround(32767 * v)));
            pcm.push_back(uint8_t(s & 0xff));
            pcm.push_back(uint8_t(s >> 8));
        }
    }
    return pcm;
}

void writeWav(const std::filesystem::path& file, const AudioFormat& f,
              const std::vector<uint8_t>& pcm) {
    const std::vector<uint8_t> header = wsx::mci::wavHeader(f, uint32_t(pcm.size()));
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(header.data()), std::streamsize(header.size()));
    out.write(reinterpret_cast<const char*>(pcm.data()), std::streamsize(pcm.size()));
}

}  // namespace

TEST(PulseFormatsShared, RecordingsOfTheToneInEachFormatSaveWhatWasHeard) {
    // The shared test server plays a tone into its sink at half scale throughout (a player
    // of its own keeps it steady); the element records the sink's monitor, the server's
    // default source.
    const char* toneEnv = std::getenv("WSX_TEST_TONE_HZ");
    if (!std::getenv("WSX_TEST_PULSE") || !toneEnv)
        GTEST_SKIP() << "run under tests/support/pulse-env.sh (with its tone)";
    const double toneHz = std::atof(toneEnv);
    wsx::test::TempDir tmp;
    PulseAudioBackend backend;
    wsx::mci::MciEngine engine(backend, wsx::mci::EngineOptions{tmp.path() / "takes"});
    auto send = [&](const std::string& c) { return engine.mciSendString(c, nullptr); };
    auto ask = [&](const std::string& c) {
        std::string reply;
        EXPECT_EQ(engine.mciSendString(c, &reply), 0u) << c;
        return reply;
    };

    const AudioFormat formats[] = {{8000, 1, 8},  {48000, 2, 16}, {44100, 1, 16},
                                   {22050, 2, 8}, {11025, 1, 16}, {16000, 2, 16}};
    for (const AudioFormat& f : formats) {
        const std::string name = formatName(f);
        ASSERT_EQ(send("open new type waveaudio alias A"), 0u);
        ASSERT_EQ(
            send("set A time format ms samplespersec " + std::to_string(f.sampleRate) +
                 " channels " + std::to_string(f.channels) + " bitspersample " +
                 std::to_string(f.bitsPerSample) + " alignment " + std::to_string(f.blockAlign()) +
                 " bytespersec " + std::to_string(f.bytesPerSecond()) + " format tag pcm"),
            0u)
            << name;
        ASSERT_EQ(send("record A to 1500"), 0u) << name;
        ASSERT_TRUE(wsx::test::waitFor([&] { return ask("status A mode") != "recording"; }, 8s))
            << name;
        EXPECT_EQ(ask("status A length"), "1500") << name;
        const auto file = tmp.path() / "take.wav";
        ASSERT_EQ(send("save A \"" + file.string() + "\""), 0u) << name;
        ASSERT_EQ(send("close A"), 0u);

        const auto wav = wsx::test::readWav(file);
        ASSERT_TRUE(wav.has_value()) << name;
        EXPECT_EQ(wav->formatTag, 1) << name;
        EXPECT_EQ(wav->format, f) << name;
        const double frames = double(wav->data.size()) / f.blockAlign();
        EXPECT_NEAR(frames / f.sampleRate, 1.5, 1.0 / f.sampleRate) << name;
        for (unsigned c = 0; c < f.channels; ++c) {
            const std::vector<double> x = channelSamples(wav->data, f, c);
            EXPECT_NEAR(dominantFrequency(x, f.sampleRate, toneHz / 2, toneHz * 2), toneHz, 1)
                << name << " ch " << c;
            // At the level played, and steady: every tenth of a second of it but at most one
            // (the test's player may stumble once on a loaded machine; the element may not).
            EXPECT_NEAR(toneAmplitude(x, 0, x.size(), toneHz, f.sampleRate), 0.5, 0.05)
                << name << " ch " << c;
            const size_t window = f.sampleRate / 10;
            int unsteady = 0;
            for (size_t at = 0; at + window <= x.size(); at += window)
                unsteady +=
                    std::abs(toneAmplitude(x, at, window, toneHz, f.sampleRate) - 0.5) > 0.03;
            EXPECT_LE(unsteady, 1) << name << " ch " << c;
        }
    }
}

TEST_F(PulseFormats, OpenedFilesPlayIntoTheSinkAsTheyAre) {
    OpenError error = OpenError::None;
    PulseTestSink monitor(10 * kSinkFormat.bytesPerSecond());
    auto listening = backend->openCapture(kSinkFormat, monitor, error);
    ASSERT_TRUE(listening) << "open error " << int(error);
    std::this_thread::sleep_for(300ms);

    // At the sink's own format: sample for sample.
    const std::vector<uint8_t> exact = sweep(0.5);
    const auto exactFile = tmp.path() / "exact.wav";
    writeWav(exactFile, kSinkFormat, exact);
    // Converted by the server: 8-bit mono at 22050 Hz.
    const AudioFormat small{22050, 1, 8};
    const auto smallFile = tmp.path() / "small.wav";
    writeWav(smallFile, small, sinePcm(small, 700, 0.4, 0.5));

    for (const auto& file : {exactFile, smallFile}) {
        ASSERT_EQ(send("open " + quoted(file) + " alias P"), 0u);
        EXPECT_EQ(ask("status P length"), "500");
        ASSERT_EQ(send("play P"), 0u);
        ASSERT_TRUE(wsx::test::waitFor([&] { return ask("status P mode") == "stopped"; }, 5s));
        EXPECT_EQ(ask("status P position"), "500");
        ASSERT_EQ(send("close P"), 0u);
        std::this_thread::sleep_for(400ms);  // silence between the two
    }
    listening.reset();

    // The monitor may miss the first milliseconds of a stream (the server had already handed
    // it what it rendered before the stream came); from where it starts hearing the file it
    // must hear every sample of it unchanged, to the end.
    const std::vector<uint8_t> heard = monitor.bytes();
    const size_t frame = kSinkFormat.blockAlign();
    size_t onset = 0;
    while (onset + frame <= heard.size() &&
           !(heard[onset] | heard[onset + 1] | heard[onset + 2] | heard[onset + 3]))
        onset += frame;
    const size_t probe = 16 * frame;
    ASSERT_LE(onset + probe, heard.size()) << "the monitor heard nothing";
    size_t from = 0;  // where in the file the monitor starts hearing it
    while (from + probe <= exact.size() &&
           !std::equal(heard.begin() + std::ptrdiff_t(onset),
                       heard.begin() + std::ptrdiff_t(onset + probe),
                       exact.begin() + std::ptrdiff_t(from)))
        from += frame;
    ASSERT_LT(from + probe, exact.size()) << "what the monitor heard is not in the file";
    EXPECT_LE(from / frame, kSinkFormat.sampleRate / 20) << "more than 50 ms of the start lost";
    const size_t tail = exact.size() - from;
    ASSERT_LE(onset + tail, heard.size());
    EXPECT_TRUE(std::equal(exact.begin() + std::ptrdiff_t(from), exact.end(),
                           heard.begin() + std::ptrdiff_t(onset)))
        << "the sink's own format is passed sample for sample";

    // After it: the converted file, mono on both channels, 700 Hz for half a second.
    const std::vector<uint8_t> rest(heard.begin() + std::ptrdiff_t(onset + tail), heard.end());
    const size_t window = kSinkFormat.sampleRate / 50;
    for (unsigned c = 0; c < 2; ++c) {
        const std::vector<double> x = channelSamples(rest, kSinkFormat, c);
        size_t toneWindows = 0;
        for (size_t at = 0; at + window <= x.size(); at += window)
            toneWindows += toneAmplitude(x, at, window, 700, kSinkFormat.sampleRate) > 0.2;
        EXPECT_NEAR(double(toneWindows * window) / kSinkFormat.sampleRate, 0.5, 0.06)
            << "channel " << c;
        EXPECT_EQ(dominantFrequency(x, kSinkFormat.sampleRate, 400, 1400), 700) << "channel " << c;
    }
}
