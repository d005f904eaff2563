// "status NAME reason": why a record, play or save failed, or why a take stopped by itself,
// and what state each failure leaves the element in.
#include "engine/command/MciError.h"
#include "support/EngineFixture.h"

#include <csignal>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace wsx::mci;
using wsx::audio::OpenError;
using wsx::test::EngineTest;

namespace {

size_t entriesIn(const std::filesystem::path& folder) {
    return size_t(std::distance(std::filesystem::directory_iterator(folder), {}));
}

}  // namespace

class Reasons : public EngineTest {};

TEST_F(Reasons, AServerThatIsAwayOrGoneIsNamedAndTheTakeContinuesWhenItIsBack) {
    openA(8000, 1);
    EXPECT_EQ(ask("status A reason"), "none");
    backend.setCaptureError(OpenError::NoServer);
    EXPECT_EQ(send("record A"), MCIERR_WAVE_INPUTSUNSUITABLE);
    EXPECT_EQ(ask("status A reason"), "noserver");
    EXPECT_EQ(ask("status A mode"), "stopped");
    backend.setCaptureError(OpenError::NoDevice);
    EXPECT_EQ(send("record A"), MCIERR_WAVE_INPUTSUNSUITABLE);
    EXPECT_EQ(ask("status A reason"), "nodevice");

    backend.setCaptureError(OpenError::None);
    ASSERT_EQ(send("record A"), 0u);
    EXPECT_EQ(ask("status A reason"), "none");
    backend.advance(1000);
    backend.failStreams();  // the server dies mid-take
    backend.advance(100);
    EXPECT_EQ(ask("status A mode"), "paused");
    EXPECT_EQ(ask("status A reason"), "serverlost");
    EXPECT_EQ(ask("status A length"), "1000");

    // Still away: resume fails and the element stays paused, so a later resume works.
    backend.setCaptureError(OpenError::NoServer);
    EXPECT_EQ(send("resume A"), MCIERR_WAVE_INPUTSUNSUITABLE);
    EXPECT_EQ(ask("status A mode"), "paused");
    EXPECT_EQ(ask("status A reason"), "noserver");
    backend.setCaptureError(OpenError::None);
    ASSERT_EQ(send("resume A"), 0u);
    EXPECT_EQ(ask("status A mode"), "recording");
    backend.advance(500);
    ASSERT_EQ(send("stop A"), 0u);
    EXPECT_EQ(ask("status A length"), "1500");
    EXPECT_EQ(ask("status A reason"), "none");
    EXPECT_EQ(entriesIn(tmp.path() / "spool"), 1u) << "one take throughout";

    backend.setPlaybackError(OpenError::NoServer);
    EXPECT_EQ(send("play A from 0"), MCIERR_WAVE_OUTPUTSUNSUITABLE);
    EXPECT_EQ(ask("status A reason"), "noserver");
    backend.setPlaybackError(OpenError::None);
    ASSERT_EQ(send("play A from 0"), 0u);
    EXPECT_EQ(ask("status A reason"), "none");
    backend.failStreams();
    backend.advance(100);
    EXPECT_EQ(ask("status A mode"), "paused");
    EXPECT_EQ(ask("status A reason"), "serverlost");
}

TEST_F(Reasons, FailedSavesSayWhyAndAGoodSaveClearsIt) {
    openA(8000, 1);
    ASSERT_EQ(send("record A"), 0u);
    backend.advance(100);
    const auto save = [&](const std::filesystem::path& file) {
        return send("save A \"" + file.string() + "\"");
    };
    EXPECT_EQ(save(tmp.path() / "missing" / "a.wav"), MCIERR_FILE_NOT_SAVED);
    EXPECT_EQ(ask("status A reason"), "nofolder");
    EXPECT_EQ(save(tmp.path()), MCIERR_FILE_NOT_SAVED);
    EXPECT_EQ(ask("status A reason"), "notregular");
    EXPECT_EQ(save(tmp.path() / std::string(256, 'n')), MCIERR_FILE_NOT_SAVED);
    EXPECT_EQ(ask("status A reason"), "nametoolong");
    if (::geteuid() != 0) {
        std::filesystem::create_directory(tmp.path() / "ro");
        std::filesystem::permissions(tmp.path() / "ro", std::filesystem::perms::owner_read |
                                                            std::filesystem::perms::owner_exec);
        EXPECT_EQ(save(tmp.path() / "ro" / "a.wav"), MCIERR_FILE_NOT_SAVED);
        EXPECT_EQ(ask("status A reason"), "permission");
    }
    EXPECT_EQ(save(tmp.path() / std::string(255, 'n')), 0u);
    EXPECT_EQ(ask("status A reason"), "none");
}

TEST_F(Reasons, ATakeFolderThatCannotBeMadeIsNamed) {
    std::ofstream(tmp.path() / "file") << "x";
    MciEngine blocked(backend, EngineOptions{tmp.path() / "file" / "takes", 1u << 30});
    ASSERT_EQ(blocked.mciSendString("open new type waveaudio alias A", nullptr), 0u);
    EXPECT_EQ(blocked.mciSendString("record A", nullptr), MCIERR_HARDWARE);
    std::string reply;
    ASSERT_EQ(blocked.mciSendString("status A reason", &reply), 0u);
    EXPECT_EQ(reply, "folder");
    ASSERT_EQ(blocked.mciSendString("status A mode", &reply), 0u);
    EXPECT_EQ(reply, "stopped");
}

// The WAV size limit, scaled down to one second at 8000 Hz mono 16-bit.
class LimitReason : public EngineTest {
protected:
    LimitReason() : EngineTest(8000 * 2) {}
};

TEST_F(LimitReason, TheSizeLimitIsNamedButAStopPointReachedIsNot) {
    openA(8000, 1);
    ASSERT_EQ(send("record A to 300"), 0u);
    backend.advance(500);
    EXPECT_EQ(ask("status A mode"), "stopped");
    EXPECT_EQ(ask("status A reason"), "none");
    ASSERT_EQ(send("record A"), 0u);
    backend.advance(1500);
    EXPECT_EQ(ask("status A mode"), "paused");
    EXPECT_EQ(ask("status A length"), "1000");
    EXPECT_EQ(ask("status A reason"), "sizelimit");
}

// A full disk, as the file size limit of a child process: the take stops paused with all
// that fit, and a save that cannot fit says so too.
TEST_F(Reasons, AFullDiskStopsTheTakeWithWhatFitAndIsNamed) {
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{48 * 1024, 48 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string lines;
        openA(8000, 1);
        send("record A");
        // The writer thread meets the full disk in real time, however fast the clock runs:
        // give it up to 5 s to get there.
        for (int i = 0; i < 1000 && ask("status A mode") == "recording"; ++i) {
            if (i < 100) backend.advance(100);
            ::usleep(5000);
        }
        lines += ask("status A mode") + " " + ask("status A reason") + " " +
                 ask("status A length") + "\n";
        lines += std::to_string(send("save A \"" + (tmp.path() / "a.wav").string() + "\"")) + " " +
                 ask("status A reason") + "\n";
        (void)::write(out[1], lines.data(), lines.size());
        ::_exit(0);
    }
    ::close(out[1]);
    std::string got;
    char buf[256];
    for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;) got.append(buf, size_t(n));
    ::close(out[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    std::istringstream lines(got);
    std::string mode, reason, saveReason;
    long lengthMs = -1;
    uint32_t saveResult = 0;
    lines >> mode >> reason >> lengthMs >> saveResult >> saveReason;
    EXPECT_EQ(mode, "paused") << got;
    EXPECT_EQ(reason, "diskfull") << got;
    // 48 KiB is 3.07 s; the writer appends in pieces of up to 64 KiB, so at least one
    // wake-up's worth (the ring's half, one second) fits before the limit.
    EXPECT_GE(lengthMs, 1000) << got;
    EXPECT_LE(lengthMs, 3072) << got;
    EXPECT_EQ(saveResult, MCIERR_FILE_NOT_SAVED) << got;
    EXPECT_EQ(saveReason, "diskfull") << got;
}
