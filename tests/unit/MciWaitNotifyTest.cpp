// The "wait" and "notify" flags, and what the device says about itself (capability, info,
// sysinfo, cue), on the virtual clock: each command's code, reply and the notifications
// it brings, in the order an application would see them.
#include "engine/command/MciError.h"
#include "support/EngineFixture.h"
#include "support/WavReader.h"

using namespace wsx::mci;
using wsx::test::EngineTest;

namespace {

// A command and what it must bring. Pseudo-commands act on the backend instead:
// "@advance MS" moves the clock, "@fail" breaks the open streams, "@devices" gives the
// server one input and two outputs. "{dir}" stands for the test's folder.
struct Step {
    std::string command;
    uint32_t code = 0;
    std::string reply;
    std::string notices;  // "ALIAS kind", joined with ';'
};

// The WAV size limit scaled down to five seconds at 8000 Hz mono 16-bit.
class WaitNotify : public EngineTest {
protected:
    WaitNotify() : EngineTest(8000 * 2 * 5) {
        engine.setNotifySink([this](const std::string& alias, Notification n) {
            m_notices += (m_notices.empty() ? "" : ";") + alias + ' ' + notificationWord(n);
        });
    }

    static std::string expand(std::string text, const std::string& dir) {
        for (size_t at; (at = text.find("{dir}")) != std::string::npos;) text.replace(at, 5, dir);
        return text;
    }

    void run(std::initializer_list<Step> steps) {
        const std::string dir = tmp.path().string();
        for (const Step& s : steps) {
            std::string reply = "stale";
            uint32_t code = 0;
            if (s.command.starts_with("@advance ")) {
                backend.advance(std::stoull(s.command.substr(9)));
                reply.clear();
            } else if (s.command == "@fail") {
                backend.failStreams();
                reply.clear();
            } else if (s.command == "@devices") {
                backend.setCaptureDevices({{"mic", "Microphone"},
                                           {"out1.monitor", "Monitor of Speakers"},
                                           {"out2.monitor", "Monitor of HDMI"}});
                reply.clear();
            } else {
                code = engine.mciSendString(expand(s.command, dir), &reply);
            }
            EXPECT_EQ(code, s.code) << s.command;
            EXPECT_EQ(reply, expand(s.reply, dir)) << s.command;
            EXPECT_EQ(m_notices, s.notices) << s.command;
            m_notices.clear();
        }
    }

    std::string m_notices;
};

}  // namespace

TEST_F(WaitNotify, FlagsAndNotificationsFollowTheDevice) {
    openA(8000, 1);
    run({
        // Flags anywhere, any case, once each; an error sends nothing.
        {"record A to 2000 wait", 0, "", ""},
        {"status A length wait", 0, "2000", ""},
        {"status A position wait WAIT", MCIERR_DUPLICATE_FLAGS, "", ""},
        {"status A position notify Notify", MCIERR_DUPLICATE_FLAGS, "", ""},
        {"Seek A to 250 wait Notify", 0, "", "A successful"},
        {"seek A wait", MCIERR_MISSING_PARAMETER, "", ""},
        {"stop A Wait", 0, "", ""},
        {"play A from 250 to 0 notify", MCIERR_OUTOFRANGE, "", ""},
        {"play A from 0 to 0 notify", 0, "", "A successful"},
        {"status A mode", 0, "stopped", ""},
        // A play tells when it reaches its end; pause keeps that pending, resume is short.
        {"play A from 0 notify", 0, "", ""},
        {"@advance 500", 0, "", ""},
        {"pause A", 0, "", ""},
        {"@advance 3000", 0, "", ""},
        {"status A mode", 0, "paused", ""},
        {"resume A wait", 0, "", ""},
        {"status A mode", 0, "playing", ""},
        {"@advance 1600", 0, "", ""},
        {"status A position", 0, "2000", "A successful"},
        // Superseded by any command with notify; aborted by those that end the play.
        {"play A from 0 notify", 0, "", ""},
        {"status A mode notify", 0, "playing", "A superseded;A successful"},
        {"@advance 2500", 0, "", ""},
        {"status A mode", 0, "stopped", ""},
        {"play A from 0 notify", 0, "", ""},
        {"stop A", 0, "", "A aborted"},
        {"play A from 0 notify", 0, "", ""},
        {"seek A to 100", 0, "", "A aborted"},
        {"play A from 0 notify", 0, "", ""},
        {"play A from 0 to 1000 wait", 0, "", "A aborted"},
        {"status A position", 0, "1000", ""},
        {"play A from 0 to 500 notify", 0, "", ""},
        {"play A from 0 to 500 wait notify", 0, "", "A superseded;A successful"},
        {"status A mode", 0, "stopped", ""},
        // A record reaching its stop point succeeds; one the server or the size limit ends
        // fails, and a wait for it returns then.
        {"record A overwrite from 0 to 500 notify", 0, "", ""},
        {"@advance 1000", 0, "", ""},
        {"status A mode", 0, "stopped", "A successful"},
        {"record A overwrite from 0 to 1500 notify", 0, "", ""},
        {"@fail", 0, "", ""},
        {"@advance 100", 0, "", ""},
        {"status A reason", 0, "serverlost", "A failure"},
        {"record A from 2000 wait notify", 0, "", "A failure"},
        {"status A length", 0, "5000", ""},
        {"status A reason", 0, "sizelimit", ""},
        // cue readies a stopped element, which reads paused until its next transport.
        {"cue A output", MCIERR_NONAPPLICABLE_FUNCTION, "", ""},
        {"stop A", 0, "", ""},
        {"cue A output notify", 0, "", "A successful"},
        {"status A mode", 0, "paused", ""},
        {"pause A", MCIERR_NONAPPLICABLE_FUNCTION, "", ""},
        {"cue A", MCIERR_NONAPPLICABLE_FUNCTION, "", ""},
        {"cue A input output", MCIERR_FLAGS_NOT_COMPATIBLE, "", ""},
        {"cue A sideways", MCIERR_UNRECOGNIZED_KEYWORD, "", ""},
        {"play A from 0 to 100 wait", 0, "", ""},
        {"status A mode", 0, "stopped", ""},
        {"cue A input", 0, "", ""},
        {"seek A to 0", 0, "", ""},
        {"status A mode", 0, "stopped", ""},
    });
}

TEST_F(WaitNotify, TheDeviceDescribesItself) {
    openA(8000, 1);
    run({
        {"@devices", 0, "", ""},
        {"capability A can   save", 0, "true", ""},
        {"capability A can record", 0, "true", ""},
        {"capability A has video", 0, "false", ""},
        {"capability A device type", 0, "waveaudio", ""},
        {"capability waveaudio device type notify", 0, "waveaudio", "waveaudio successful"},
        {"capability A uses files", 0, "true", ""},
        {"capability A compound device", 0, "true", ""},
        {"capability A can eject", 0, "false", ""},
        {"capability waveaudio inputs", 0, "1", ""},
        {"capability A outputs", 0, "2", ""},
        {"capability A can play can record", MCIERR_FLAGS_NOT_COMPATIBLE, "", ""},
        {"capability A colour", MCIERR_BAD_CONSTANT, "", ""},
        {"capability A", MCIERR_MISSING_PARAMETER, "", ""},
        // The file: none until a save names it; a failed save keeps the name it had.
        {"info A file", MCIERR_NONAPPLICABLE_FUNCTION, "", ""},
        {"info A colour", MCIERR_UNRECOGNIZED_KEYWORD, "", ""},
        {"record A to 300 wait", 0, "", ""},
        {"save A \"{dir}/x.flac\" wait notify", 0, "", "A successful"},
        {"status A saving", 0, "false", ""},
        {"info A file", 0, "{dir}/x.flac", ""},
        {"save A \"{dir}/none/x.flac\" wait", MCIERR_FILE_NOT_SAVED, "", ""},
        {"status A reason", 0, "nofolder", ""},
        {"info A file", 0, "{dir}/x.flac", ""},
        // One device installed; its open elements in the order they were opened.
        {"sysinfo all quantity", 0, "1", ""},
        {"sysinfo waveaudio quantity open", 0, "1", ""},
        {"sysinfo all name 1 open", 0, "A", ""},
        {"sysinfo waveaudio name 1", 0, "waveaudio", ""},
        {"sysinfo waveaudio name 2 open", MCIERR_OUTOFRANGE, "", ""},
        {"sysinfo digitalvideo quantity", 0, "0", ""},
        {"sysinfo avivideo quantity", MCIERR_DEVICE_TYPE_REQUIRED, "", ""},
        {"sysinfo A quantity", MCIERR_DEVICE_TYPE_REQUIRED, "", ""},
        {"sysinfo all installname", MCIERR_CANNOT_USE_ALL, "", ""},
        {"sysinfo nodev installname", MCIERR_INVALID_DEVICE_NAME, "", ""},
        {"sysinfo waveaudio installname", 0, "waveaudio", ""},
        {"sysinfo all", MCIERR_MISSING_PARAMETER, "", ""},
        {"sysinfo all name x", MCIERR_BAD_INTEGER, "", ""},
        {"sysinfo all quantity notify", 0, "1", "all successful"},
        {"open new type waveaudio alias B notify", 0, "2", "B successful"},
        {"play A from 0 notify", 0, "", ""},
        {"close A wait", 0, "", "A aborted"},
        {"open new type waveaudio alias A", 0, "1", ""},  // the lowest id free
        {"sysinfo waveaudio quantity open", 0, "2", ""},
        {"sysinfo all name 1 open", 0, "B", ""},
        {"sysinfo all name 2 open", 0, "A", ""},
        {"close all notify", 0, "", "A successful;B successful"},
        {"sysinfo waveaudio quantity open", 0, "0", ""},
        {"sysinfo waveaudio name 1 open", MCIERR_OUTOFRANGE, "", ""},
        {"cue A output", MCIERR_UNRECOGNIZED_COMMAND, "", ""},
        {"cue all", MCIERR_UNRECOGNIZED_COMMAND, "", ""},
    });
}

// A wait ends exactly where the play or record does, in every time format.
TEST_F(EngineTest, WaitReturnsExactlyAtTheEnd) {
    openA(22050, 2, 16);
    ASSERT_EQ(send("record A to 2000 wait"), 0u);
    EXPECT_EQ(ask("status A mode"), "stopped");
    EXPECT_EQ(ask("status A position"), "2000");
    ASSERT_EQ(send("set A time format bytes"), 0u);
    EXPECT_EQ(ask("status A position"), std::to_string(2 * 22050 * 4));
    ASSERT_EQ(send("set A time format samples"), 0u);
    EXPECT_EQ(ask("status A length"), "44100");
    ASSERT_EQ(send("play A from 0 wait"), 0u);
    EXPECT_EQ(ask("status A mode"), "stopped");
    EXPECT_EQ(ask("status A position"), "44100");
    ASSERT_EQ(send("set A time format ms"), 0u);
    ASSERT_EQ(send("play A from 500 to 1500 wait"), 0u);
    EXPECT_EQ(ask("status A position"), "1500");
    // All that was played reached the output, and the take saved holds the two seconds.
    const auto file = tmp.path() / "two.wav";
    ASSERT_EQ(send("save A \"" + file.string() + "\" wait"), 0u);
    const auto wav = wsx::test::readWav(file);
    ASSERT_TRUE(wav.has_value());
    EXPECT_EQ(wav->data.size(), size_t(2 * 22050 * 4));
}

// An idle hook that gives up stops the element where it got to, as "stop" does, and the
// command still succeeds: what was recorded stays.
TEST_F(EngineTest, AWaitGivenUpStopsWhereItGotTo) {
    int looks = 0;
    EngineOptions options{tmp.path() / "own", kMaxWavDataBytes};
    options.idle = [&](std::chrono::milliseconds step) {
        backend.advance(uint64_t(step.count()));
        return ++looks < 50;
    };
    MciEngine own(backend, options);
    std::string notices;
    own.setNotifySink([&](const std::string& alias, Notification n) {
        notices += alias + ' ' + notificationWord(n) + ';';
    });
    const auto ask = [&](const std::string& command) {
        std::string reply;
        EXPECT_EQ(own.mciSendString(command, &reply), 0u) << command;
        return reply;
    };
    ask("open new type waveaudio alias A");
    ask("set A bitspersample 16 samplespersec 8000 channels 1");
    ask("record A wait notify");
    EXPECT_EQ(notices, "A aborted;");
    EXPECT_EQ(ask("status A mode"), "stopped");
    EXPECT_EQ(ask("status A length"), "500");
    looks = 20;
    ask("play A from 0 wait");
    EXPECT_EQ(ask("status A mode"), "stopped");
    EXPECT_EQ(ask("status A position"), "300");
}
