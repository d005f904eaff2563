// PulseAudioBackend against real servers. tests/support/pulse-env.sh provides the shared one:
// a null sink "testsink" (its monitor is the default source) with a 440 Hz tone playing into
// it. Cases that kill their server start a private one of their own. Without a server the
// cases that need one skip and say why.
#include "support/WaitFor.h"
#include "PulseTestAudio.h"
#include "PulseTestServer.h"
#include "audio/PulseAudioBackend.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <ostream>
#include <set>
#include <string>
#include <thread>

namespace wsx::audio {
// Names the parameter in test listings.
void PrintTo(const AudioFormat& f, std::ostream* os) {
    *os << f.sampleRate << " Hz " << f.channels << " ch " << f.bitsPerSample << " bit";
}
}  // namespace wsx::audio

namespace wsx::audio::test {
namespace {

using namespace std::chrono_literals;

std::string sharedServerProblem() {
    const char* enabled = std::getenv("WSX_TEST_PULSE");
    if (!enabled || !*enabled)
        return "WSX_TEST_PULSE is not set: run under tests/support/pulse-env.sh";
    const char* server = std::getenv("PULSE_SERVER");
    if (!server || !pulseSocketAnswers(server))
        return std::string("no PulseAudio server answers at ") +
               (server ? server : "(PULSE_SERVER unset)");
    return {};
}

double secondsSince(int64_t ns) { return double(steadyNowNs() - ns) / 1e9; }

class EnvOverride {
public:
    EnvOverride(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) m_old = old, m_had = true;
        ::setenv(name, value, 1);
    }
    ~EnvOverride() { m_had ? void(::setenv(m_name, m_old.c_str(), 1)) : void(::unsetenv(m_name)); }

private:
    const char* m_name;
    std::string m_old;
    bool m_had = false;
};

constexpr AudioFormat kCd16Mono{22050, 1, 16};
constexpr AudioFormat kPhone8Stereo{11025, 2, 8};

std::string formatName(const ::testing::TestParamInfo<AudioFormat>& info) {
    const AudioFormat& f = info.param;
    return std::to_string(f.sampleRate) + "Hz_" + std::to_string(f.channels) + "ch_" +
           std::to_string(f.bitsPerSample) + "bit";
}

// ---------------------------------------------------------------- the shared server

class PulseCapture : public ::testing::TestWithParam<AudioFormat> {
protected:
    void SetUp() override {
        if (const std::string why = sharedServerProblem(); !why.empty()) GTEST_SKIP() << why;
    }
};

TEST_P(PulseCapture, RecordsTheMonitorTonePromptlyAtTheRequestedRate) {
    const char* toneEnv = std::getenv("WSX_TEST_TONE_HZ");
    if (!toneEnv) GTEST_SKIP() << "no tone plays into the test sink (WSX_TEST_TONE_HZ unset)";
    const double toneHz = std::atof(toneEnv);
    const AudioFormat format = GetParam();
    PulseAudioBackend backend;
    PulseTestSink sink(4 * format.bytesPerSecond());

    OpenError error = OpenError::None;
    const int64_t openedAt = steadyNowNs();
    auto stream = backend.openCapture(format, sink, error);
    ASSERT_TRUE(stream) << "open error " << int(error);
    EXPECT_EQ(error, OpenError::None);
    std::this_thread::sleep_for(std::chrono::nanoseconds(openedAt + 2'000'000'000 - steadyNowNs()));
    EXPECT_FALSE(stream->failed());
    stream.reset();
    const uint64_t callsAtClose = sink.calls();

    // An idle monitor batches seconds unless the stream asks for short fragments.
    ASSERT_GT(sink.calls(), 0u);
    EXPECT_LT(double(sink.firstDataNs() - openedAt) / 1e9, 0.5) << "first data came late";
    EXPECT_NEAR(double(sink.offered()) / format.bytesPerSecond(), 2.0, 0.15);
    EXPECT_EQ(sink.size() % format.blockAlign(), 0u);

    const std::vector<uint8_t> pcm = sink.bytes();
    for (unsigned c = 0; c < format.channels; ++c) {
        std::vector<double> x = channelSamples(pcm, format, c);
        ASSERT_GT(x.size(), format.sampleRate);
        x.erase(x.begin(), x.end() - std::ptrdiff_t(format.sampleRate));  // the last second
        EXPECT_NEAR(dominantFrequency(x, format.sampleRate, 200, 800), toneHz, 5)
            << "channel " << c;
        EXPECT_NEAR(rms(x), 0.5 / std::sqrt(2.0), 0.05) << "channel " << c;
    }

    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(sink.calls(), callsAtClose) << "a callback ran after the stream was destroyed";
}

INSTANTIATE_TEST_SUITE_P(Formats, PulseCapture, ::testing::Values(kCd16Mono, kPhone8Stereo),
                         formatName);

class PulsePlayback : public ::testing::TestWithParam<AudioFormat> {
protected:
    void SetUp() override {
        if (const std::string why = sharedServerProblem(); !why.empty()) GTEST_SKIP() << why;
    }
};

TEST_P(PulsePlayback, PlaysTheWholeToneAndReportsWhatWasHeard) {
    const AudioFormat format = GetParam();
    PulseAudioBackend backend;
    OpenError error = OpenError::None;
    PulseTestSink monitor(8 * format.bytesPerSecond());
    auto listening = backend.openCapture(format, monitor, error);
    ASSERT_TRUE(listening) << "open error " << int(error);
    std::this_thread::sleep_for(200ms);

    PulseTestSource source(sinePcm(format, 1000, 0.3, 1.0), format.blockAlign());
    const int64_t openedAt = steadyNowNs();
    auto stream = backend.openPlayback(format, source, error);
    ASSERT_TRUE(stream) << "open error " << int(error);

    std::vector<uint64_t> positions;
    uint64_t positionWhenAllPulled = UINT64_MAX;
    while (!stream->drained() && secondsSince(openedAt) < 5) {
        const bool allPulled = source.finished();
        positions.push_back(stream->bytesPlayed());
        if (allPulled && positionWhenAllPulled == UINT64_MAX)
            positionWhenAllPulled = positions.back();
        std::this_thread::sleep_for(5ms);
    }
    const int64_t drainedAt = steadyNowNs();
    ASSERT_TRUE(stream->drained()) << "not drained 5 s after opening";
    EXPECT_FALSE(stream->failed());
    EXPECT_EQ(stream->bytesPlayed(), source.total());
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end())) << "position went backwards";
    EXPECT_LE(positions.back(), source.total());
    // The position follows the listener, not the pulls: the buffered tail is still unheard
    // when the last byte is pulled, and the position moves on in small steps.
    EXPECT_LT(positionWhenAllPulled, source.total());
    EXPECT_GE(std::set<uint64_t>(positions.begin(), positions.end()).size(), 20u);
    EXPECT_GE(double(drainedAt - openedAt) / 1e9, 0.95) << "drained faster than real time";
    EXPECT_LT(double(drainedAt - source.finishedNs()) / 1e9, 1.0) << "drain took too long";

    std::this_thread::sleep_for(300ms);
    listening.reset();
    // The monitor heard the tone once, whole, at the level written (over the 440 Hz tone).
    const size_t window = format.sampleRate / 50;
    for (unsigned c = 0; c < format.channels; ++c) {
        const std::vector<double> x = channelSamples(monitor.bytes(), format, c);
        size_t toneWindows = 0;
        double peak = 0;
        for (size_t at = 0; at + window <= x.size(); at += window) {
            const double a = toneAmplitude(x, at, window, 1000, format.sampleRate);
            peak = std::max(peak, a);
            toneWindows += a > 0.15;
        }
        EXPECT_NEAR(double(toneWindows * window) / format.sampleRate, 1.0, 0.08) << "channel " << c;
        EXPECT_NEAR(peak, 0.3, 0.05) << "channel " << c;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, PulsePlayback, ::testing::Values(kCd16Mono, kPhone8Stereo),
                         formatName);

class PulseStreams : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string why = sharedServerProblem(); !why.empty()) GTEST_SKIP() << why;
    }
};

TEST_F(PulseStreams, PositionLeavesOutTheSilenceWrittenWhileTheSourceLags) {
    const AudioFormat format = kCd16Mono;
    PulseAudioBackend backend;
    PulseTestSource source(sinePcm(format, 1000, 0.3, 0.6), format.blockAlign());
    const size_t head = format.bytesPerSecond() / 5;  // 200 ms, then the source stalls
    source.setAvailable(head);
    OpenError error = OpenError::None;
    auto stream = backend.openPlayback(format, source, error);
    ASSERT_TRUE(stream) << "open error " << int(error);

    std::this_thread::sleep_for(800ms);  // the head has been heard; silence keeps the stream going
    EXPECT_EQ(source.pulled(), head);
    EXPECT_EQ(stream->bytesPlayed(), head);
    EXPECT_FALSE(stream->drained());

    // After the stall the silence already queued plays before anything new: at least 50 ms
    // of it (the stream keeps ~100 ms buffered). So the position may not move for 50 ms,
    // then no faster than real time; counting the padding as played would make it jump.
    const int64_t releasedAt = steadyNowNs();
    source.setAvailable(SIZE_MAX);
    std::vector<uint64_t> positions;
    double worstLead = -1;  // seconds the position ran ahead of what could have been heard
    while (!stream->drained() && secondsSince(releasedAt) < 5) {
        positions.push_back(stream->bytesPlayed());
        const double possible =
            double(head) / format.bytesPerSecond() + std::max(0.0, secondsSince(releasedAt) - 0.05);
        worstLead =
            std::max(worstLead, double(positions.back()) / format.bytesPerSecond() - possible);
        std::this_thread::sleep_for(2ms);
    }
    ASSERT_TRUE(stream->drained());
    EXPECT_LE(worstLead, 0.0);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_EQ(stream->bytesPlayed(), source.total());
}

TEST_F(PulseStreams, NothingRunsAfterDestructionAndStreamsOutliveTheirBackend) {
    const AudioFormat format = kCd16Mono;
    auto backend = std::make_unique<PulseAudioBackend>();
    PulseTestSink sink(4 * format.bytesPerSecond());
    PulseTestSource endless(sinePcm(format, 1000, 0.3, 0.5), format.blockAlign(), true);
    OpenError error = OpenError::None;
    auto capture = backend->openCapture(format, sink, error);
    ASSERT_TRUE(capture) << "open error " << int(error);
    auto playback = backend->openPlayback(format, endless, error);
    ASSERT_TRUE(playback) << "open error " << int(error);
    ASSERT_TRUE(
        wsx::test::waitFor([&] { return sink.calls() > 0 && playback->bytesPlayed() > 0; }, 3s));

    playback.reset();
    const uint64_t pulls = endless.pullCalls();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(endless.pullCalls(), pulls) << "pull() ran after the stream was destroyed";

    backend.reset();  // its connection goes; the capture stream notices
    EXPECT_TRUE(wsx::test::waitFor([&] { return capture->failed(); }, 2s));
    const uint64_t calls = sink.calls();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(sink.calls(), calls);
    const int64_t closing = steadyNowNs();
    capture.reset();
    EXPECT_LT(secondsSince(closing), 0.5);
}

// ---------------------------------------------------------------- no server, bad formats

TEST(PulseOpen, FailsQuicklyWithNoServer) {
    EnvOverride env("PULSE_SERVER", "unix:/nonexistent/wsx-no-server/native");
    PulseAudioBackend backend;
    PulseTestSink sink(1024);
    PulseTestSource source(sinePcm(kCd16Mono, 1000, 0.3, 0.1), kCd16Mono.blockAlign());
    for (int attempt = 0; attempt < 2; ++attempt) {  // a second open retries, as cleanly
        OpenError error = OpenError::None;
        int64_t started = steadyNowNs();
        EXPECT_EQ(backend.openCapture(kCd16Mono, sink, error), nullptr);
        EXPECT_EQ(error, OpenError::NoServer);
        EXPECT_LT(secondsSince(started), 2.0);
        error = OpenError::None;
        started = steadyNowNs();
        EXPECT_EQ(backend.openPlayback(kCd16Mono, source, error), nullptr);
        EXPECT_EQ(error, OpenError::NoServer);
        EXPECT_LT(secondsSince(started), 2.0);
    }
    EXPECT_EQ(sink.calls(), 0u);
    EXPECT_EQ(source.pullCalls(), 0u);
}

TEST(PulseOpen, RejectsFormatsBeforeLookingForAServer) {
    PulseAudioBackend backend("万声匣", "unix:/nonexistent/wsx-no-server/native");
    PulseTestSink sink(1024);
    PulseTestSource source({}, 1);
    for (const AudioFormat& format :
         {AudioFormat{22050, 1, 24}, AudioFormat{22050, 0, 16}, AudioFormat{0, 1, 16},
          AudioFormat{22050, 300, 8}, AudioFormat{4'000'000, 1, 16}}) {
        OpenError error = OpenError::None;
        EXPECT_EQ(backend.openCapture(format, sink, error), nullptr);
        EXPECT_EQ(error, OpenError::BadFormat) << formatName({format, 0});
        error = OpenError::None;
        EXPECT_EQ(backend.openPlayback(format, source, error), nullptr);
        EXPECT_EQ(error, OpenError::BadFormat) << formatName({format, 0});
    }
}

// ---------------------------------------------------------------- private servers

class PulseOwnServer : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string why = sharedServerProblem(); !why.empty()) GTEST_SKIP() << why;
    }
};

TEST_F(PulseOwnServer, ServerDeathFailsStreamsAndARestartedServerIsUsedAgain) {
    PulseTestServer server;
    std::string why;
    if (!server.start(why)) GTEST_SKIP() << why;
    const AudioFormat format = kCd16Mono;
    PulseAudioBackend backend("万声匣", server.address());
    PulseTestSink sink(4 * format.bytesPerSecond());
    PulseTestSource endless(sinePcm(format, 1000, 0.3, 0.5), format.blockAlign(), true);
    OpenError error = OpenError::None;
    auto capture = backend.openCapture(format, sink, error);
    ASSERT_TRUE(capture) << "open error " << int(error);
    auto playback = backend.openPlayback(format, endless, error);
    ASSERT_TRUE(playback) << "open error " << int(error);
    // A fresh, idle null sink has rendered up to 2 s ahead: streams start only after that.
    ASSERT_TRUE(
        wsx::test::waitFor([&] { return sink.calls() > 0 && playback->bytesPlayed() > 0; }, 5s));
    EXPECT_FALSE(capture->failed());
    EXPECT_FALSE(playback->failed());

    server.kill();
    EXPECT_TRUE(wsx::test::waitFor([&] { return capture->failed() && playback->failed(); }, 2s));
    const uint64_t captured = sink.offered();
    const uint64_t pulls = endless.pullCalls();
    const uint64_t position = playback->bytesPlayed();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(sink.offered(), captured) << "a failed stream delivered data";
    EXPECT_EQ(endless.pullCalls(), pulls) << "a failed stream pulled data";
    EXPECT_EQ(playback->bytesPlayed(), position);
    EXPECT_FALSE(playback->drained());
    const int64_t closing = steadyNowNs();
    capture.reset();
    playback.reset();
    EXPECT_LT(secondsSince(closing), 0.5);

    PulseTestSink later(4 * format.bytesPerSecond());
    int64_t started = steadyNowNs();
    EXPECT_EQ(backend.openCapture(format, later, error), nullptr);
    EXPECT_EQ(error, OpenError::NoServer);
    EXPECT_LT(secondsSince(started), 2.0);

    ASSERT_TRUE(server.start(why)) << why;
    auto again = backend.openCapture(format, later, error);
    ASSERT_TRUE(again) << "open error " << int(error) << " after the server came back";
    EXPECT_TRUE(wsx::test::waitFor([&] { return later.calls() > 0; }, 5s));
    EXPECT_FALSE(again->failed());
}

TEST_F(PulseOwnServer, PositionWaitsForASinkThatStartsLate) {
    // A fresh null sink has rendered up to 2 s of silence ahead, so a new stream is heard
    // only that much later. The position must wait for it: at no moment may it claim more
    // of the tone than has reached the sink's monitor.
    PulseTestServer server;
    std::string why;
    if (!server.start(why)) GTEST_SKIP() << why;
    const AudioFormat format = kCd16Mono;
    PulseAudioBackend backend("万声匣", server.address());
    PulseTestSink monitor(8 * format.bytesPerSecond());
    OpenError error = OpenError::None;
    auto listening = backend.openCapture(format, monitor, error);
    ASSERT_TRUE(listening) << "open error " << int(error);
    PulseTestSource source(sinePcm(format, 1000, 0.3, 1.0), format.blockAlign());
    auto stream = backend.openPlayback(format, source, error);
    ASSERT_TRUE(stream) << "open error " << int(error);

    struct Sample {
        uint64_t position;
        size_t monitored;
    };
    std::vector<Sample> samples;
    const int64_t openedAt = steadyNowNs();
    while (!stream->drained() && secondsSince(openedAt) < 6) {
        const uint64_t position = stream->bytesPlayed();  // before the monitor: no false lead
        samples.push_back({position, monitor.size()});
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_TRUE(stream->drained());
    listening.reset();

    const std::vector<double> x = channelSamples(monitor.bytes(), format, 0);
    const size_t window = format.sampleRate / 100;
    size_t onset = x.size();
    for (size_t at = 0; at + window <= x.size() && onset == x.size(); at += window)
        if (toneAmplitude(x, at, window, 1000, format.sampleRate) > 0.15) onset = at;
    ASSERT_LT(onset, x.size()) << "the monitor never heard the tone";
    double worstLead = -1;  // seconds of tone claimed before the monitor had them
    for (const Sample& s : samples) {
        const double monitored = double(s.monitored / format.blockAlign()) - double(onset);
        const double claimed = double(s.position / format.blockAlign());
        worstLead = std::max(worstLead, (claimed - std::max(monitored, 0.0)) / format.sampleRate);
    }
    EXPECT_LT(worstLead, 0.08);
    EXPECT_EQ(stream->bytesPlayed(), source.total());
}

TEST_F(PulseOwnServer, AFrozenServerTimesOutInsteadOfHanging) {
    PulseTestServer server;
    std::string why;
    if (!server.start(why)) GTEST_SKIP() << why;
    const AudioFormat format = kCd16Mono;
    PulseAudioBackend connected("万声匣", server.address());
    PulseTestSink sink(4 * format.bytesPerSecond());
    PulseTestSource source(sinePcm(format, 1000, 0.3, 0.5), format.blockAlign());
    OpenError error = OpenError::None;
    auto capture = connected.openCapture(format, sink, error);
    ASSERT_TRUE(capture) << "open error " << int(error);

    server.freeze(true);
    int64_t started = steadyNowNs();
    capture.reset();
    EXPECT_LT(secondsSince(started), 0.5);
    // A connected backend waits for its new stream, a new backend for the connection; both
    // give up after about 3 s.
    started = steadyNowNs();
    EXPECT_EQ(connected.openPlayback(format, source, error), nullptr);
    EXPECT_EQ(error, OpenError::NoServer);
    EXPECT_NEAR(secondsSince(started), 3.0, 0.75);
    PulseAudioBackend fresh("万声匣", server.address());
    started = steadyNowNs();
    EXPECT_EQ(fresh.openCapture(format, sink, error), nullptr);
    EXPECT_EQ(error, OpenError::NoServer);
    EXPECT_NEAR(secondsSince(started), 3.0, 0.75);

    // The thawed server now creates the stream given up on; it is closed without a trace.
    server.freeze(false);
    auto again = connected.openCapture(format, sink, error);
    ASSERT_TRUE(again) << "open error " << int(error);
    EXPECT_FALSE(again->failed());
    EXPECT_EQ(source.pullCalls(), 0u);
}

TEST_F(PulseOwnServer, NoDeviceWhenTheServerHasNoSinkOrSource) {
    PulseTestServer server(false);
    std::string why;
    if (!server.start(why)) GTEST_SKIP() << why;
    PulseAudioBackend backend("万声匣", server.address());
    PulseTestSink sink(1024);
    PulseTestSource source(sinePcm(kCd16Mono, 1000, 0.3, 0.1), kCd16Mono.blockAlign());
    OpenError error = OpenError::None;
    const int64_t started = steadyNowNs();
    EXPECT_EQ(backend.openCapture(kCd16Mono, sink, error), nullptr);
    EXPECT_EQ(error, OpenError::NoDevice);
    error = OpenError::None;
    EXPECT_EQ(backend.openPlayback(kCd16Mono, source, error), nullptr);
    EXPECT_EQ(error, OpenError::NoDevice);
    EXPECT_LT(secondsSince(started), 3.0);
}

}  // namespace
}  // namespace wsx::audio::test
