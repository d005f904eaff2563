// The inputs of a real server: listing them, noticing one come and go, and recording from a
// named source, the default sink's monitor, a missing source and both mixed. Runs under
// tests/support/pulse-env.sh (a 440 Hz tone plays into "testsink"); skips without it.
#include "PulseTestAudio.h"
#include "audio/PulseAudioBackend.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace wsx::audio::test {
namespace {

using namespace std::chrono_literals;
using Kind = CaptureSource::Kind;

bool lists(PulseAudioBackend& backend, const std::string& name) {
    const auto devices = backend.captureDevices();
    return std::any_of(devices.begin(), devices.end(),
                       [&](const CaptureDevice& d) { return d.name == name; });
}

// pactl's output (the module's number), or empty on failure.
std::string run(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buffer[128];
        while (std::fgets(buffer, sizeof buffer, p)) out += buffer;
        if (::pclose(p) != 0) out.clear();
    }
    while (!out.empty() && (out.back() == '\n')) out.pop_back();
    return out;
}

template <class Condition>
bool within(std::chrono::milliseconds timeout, Condition condition) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

class PulseSources : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("WSX_TEST_PULSE")) GTEST_SKIP() << "run under tests/support/pulse-env.sh";
        if (!std::getenv("WSX_TEST_TONE_HZ")) GTEST_SKIP() << "no tone plays into the test sink";
    }
    // Records one second from `source`; the sound's strongest frequency near 440 Hz and RMS.
    std::pair<double, double> recordSecond(const CaptureSource& source) {
        const AudioFormat format{22050, 1, 16};
        PulseTestSink sink(4 * format.bytesPerSecond());
        OpenError error = OpenError::None;
        auto stream = backend.openCaptureFrom(source, format, sink, error);
        EXPECT_TRUE(stream) << "open error " << int(error);
        if (!stream) return {0, 0};
        std::this_thread::sleep_for(1200ms);
        EXPECT_FALSE(stream->failed());
        stream.reset();
        const std::vector<double> x = channelSamples(sink.bytes(), format, 0);
        EXPECT_GT(x.size(), size_t(format.sampleRate) * 8 / 10) << "a second arrives";
        if (x.size() < 4096) return {0, 0};
        const std::vector<double> tail(x.end() - 4096, x.end());
        return {dominantFrequency(tail, format.sampleRate, 300, 600), rms(tail)};
    }
    PulseAudioBackend backend;
};

TEST_F(PulseSources, InputsAreListedAndTheirComingAndGoingIsNoticed) {
    EXPECT_TRUE(lists(backend, "testsink.monitor"));
    const uint64_t before = backend.captureDevicesGeneration();  // watching from now on
    const std::string module = run("pactl load-module module-null-sink sink_name=wsxextra");
    ASSERT_FALSE(module.empty()) << "pactl cannot load a null sink";
    EXPECT_TRUE(within(3000ms, [&] { return backend.captureDevicesGeneration() != before; }));
    EXPECT_TRUE(lists(backend, "wsxextra.monitor"));
    const uint64_t loaded = backend.captureDevicesGeneration();
    run("pactl unload-module " + module);
    EXPECT_TRUE(within(3000ms, [&] { return backend.captureDevicesGeneration() != loaded; }));
    EXPECT_FALSE(lists(backend, "wsxextra.monitor"));
}

TEST_F(PulseSources, EachSourceRecordsWhatItShouldAndAMissingOneIsNoDevice) {
    const double hz = std::atof(std::getenv("WSX_TEST_TONE_HZ"));
    for (const CaptureSource& source :
         {CaptureSource{Kind::Named, "testsink.monitor"}, CaptureSource{Kind::DefaultMonitor, {}},
          CaptureSource{Kind::Both, {}}}) {
        SCOPED_TRACE(int(source.kind));
        const auto [frequency, level] = recordSecond(source);
        EXPECT_NEAR(frequency, hz, 3);
        if (source.kind != Kind::Both) {
            EXPECT_NEAR(level, 0.354, 0.05);  // a sine at half of full scale
        } else {
            // The default source is the same monitor here: the tone comes twice, as loud as
            // two copies some milliseconds apart can be, and still at its pitch (a stream
            // sped up to catch up with the other, or a wrapped sum, would move it).
            EXPECT_GT(level, 0.2);
            EXPECT_LT(level, 0.71);
        }
    }
    PulseTestSink sink(1 << 16);
    OpenError error = OpenError::None;
    EXPECT_EQ(backend.openCaptureFrom({Kind::Named, "no.such.source"}, {22050, 1, 16}, sink, error),
              nullptr);
    EXPECT_EQ(error, OpenError::NoDevice);
}

}  // namespace
}  // namespace wsx::audio::test
