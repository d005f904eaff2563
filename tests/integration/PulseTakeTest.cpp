// A take through a sound server that dies mid-take and comes back: the element stops by
// itself saying "serverlost" with what it captured, a resume while the server is away
// fails and leaves it paused, and once the server is back the same take goes on.
#include "PulseTestServer.h"
#include "audio/PulseAudioBackend.h"
#include "engine/interpreter/MciEngine.h"
#include "support/TempDir.h"
#include "support/WaitFor.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

using namespace std::chrono_literals;
using wsx::audio::test::PulseTestServer;

namespace {}  // namespace

TEST(PulseTake, ATakeCutByADeadServerIsKeptAndContinuesWhenTheServerIsBack) {
    const char* enabled = std::getenv("WSX_TEST_PULSE");
    if (!enabled || !*enabled) GTEST_SKIP() << "run under tests/support/pulse-env.sh";
    PulseTestServer server;
    std::string why;
    if (!server.start(why)) GTEST_SKIP() << why;
    wsx::test::TempDir tmp;
    wsx::audio::PulseAudioBackend backend("万声匣", server.address());
    wsx::mci::MciEngine engine(backend, wsx::mci::EngineOptions{tmp.path() / "takes"});
    auto ask = [&](const std::string& command) {
        std::string reply;
        EXPECT_EQ(engine.mciSendString(command, &reply), 0u) << command;
        return reply;
    };
    auto number = [&](const std::string& command) { return std::stol("0" + ask(command)); };
    ASSERT_EQ(engine.mciSendString("open new type waveaudio alias A", nullptr), 0u);
    ASSERT_EQ(engine.mciSendString("set A time format ms bitspersample 16 channels 1", nullptr),
              0u);
    ASSERT_EQ(engine.mciSendString("record A", nullptr), 0u);
    ASSERT_TRUE(wsx::test::waitFor([&] { return number("status A length") >= 500; }, 8s));

    server.kill();
    ASSERT_TRUE(wsx::test::waitFor([&] { return ask("status A mode") == "paused"; }, 3s));
    EXPECT_EQ(ask("status A reason"), "serverlost");
    const long kept = number("status A length");
    EXPECT_GE(kept, 500);

    EXPECT_NE(engine.mciSendString("resume A", nullptr), 0u);
    EXPECT_EQ(ask("status A mode"), "paused");
    EXPECT_EQ(ask("status A reason"), "noserver");
    EXPECT_EQ(number("status A length"), kept);

    ASSERT_TRUE(server.start(why)) << why;
    ASSERT_EQ(engine.mciSendString("resume A", nullptr), 0u);
    EXPECT_EQ(ask("status A mode"), "recording");
    EXPECT_EQ(ask("status A reason"), "none");
    ASSERT_TRUE(wsx::test::waitFor([&] { return number("status A length") >= kept + 300; }, 8s));
    ASSERT_EQ(engine.mciSendString("stop A", nullptr), 0u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.path() / "takes"), {}), 1)
        << "one take throughout";
}
