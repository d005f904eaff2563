// The atomic file writer: what it keeps of the file it replaces, what it refuses to
// replace, which names it can write, and how it names its failures.
#include "platform/files/AtomicFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace wsx::files;
using wsx::test::TempDir;

namespace {

WriteResult writeText(const std::filesystem::path& target, const std::string& text,
                      mode_t mode = 0640) {
    return writeAtomically(target, mode,
                           [&](int fd) { return writeAll(fd, text.data(), text.size()); });
}

std::string contents(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

mode_t modeOf(const std::filesystem::path& file) {
    struct stat st {};
    return ::lstat(file.c_str(), &st) == 0 ? st.st_mode : 0;
}

// Only the target itself is in the folder: no temporary file left behind.
size_t entries(const std::filesystem::path& folder) {
    return size_t(std::distance(std::filesystem::directory_iterator(folder), {}));
}

}  // namespace

TEST(AtomicFile, NewFilesGetTheModeAskedAndReplacedFilesKeepTheirs) {
    TempDir tmp;
    const auto fresh = tmp.path() / "fresh";
    ASSERT_TRUE(writeText(fresh, "one", 0640));
    EXPECT_EQ(modeOf(fresh) & 07777, 0640u);
    EXPECT_EQ(contents(fresh), "one");

    for (mode_t kept : {mode_t(0600), mode_t(0444)}) {
        const auto file = tmp.path() / ("kept" + std::to_string(kept));
        ASSERT_TRUE(writeText(file, "old", 0644));
        ASSERT_EQ(::chmod(file.c_str(), kept), 0);
        ASSERT_TRUE(writeText(file, "new contents", 0644)) << kept;
        EXPECT_EQ(modeOf(file) & 07777, kept);
        EXPECT_EQ(contents(file), "new contents");
    }
    EXPECT_EQ(entries(tmp.path()), 3u);
}

TEST(AtomicFile, RefusesWhatIsNotARegularFileAndLeavesItAlone) {
    TempDir tmp;
    const auto fifo = tmp.path() / "fifo";
    const auto folder = tmp.path() / "folder";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    for (const auto& target : {fifo, folder}) {
        const WriteResult r = writeText(target, "x");
        EXPECT_EQ(r.error, WriteError::NotRegular) << target;
    }
    EXPECT_TRUE(S_ISFIFO(modeOf(fifo)));
    EXPECT_TRUE(S_ISDIR(modeOf(folder)));
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    EXPECT_EQ(entries(tmp.path()), 2u);
}

TEST(AtomicFile, NamesUpToTheLimitSaveAndFailuresSayWhy) {
    TempDir tmp;
    const std::string longest(255, 'a');
    ASSERT_TRUE(writeText(tmp.path() / longest, "fits"));
    EXPECT_EQ(contents(tmp.path() / longest), "fits");

    const WriteResult tooLong = writeText(tmp.path() / (longest + "b"), "x");
    EXPECT_EQ(tooLong.error, WriteError::NameTooLong);
    EXPECT_EQ(tooLong.errnoValue, ENAMETOOLONG);

    EXPECT_EQ(writeText(tmp.path() / "missing" / "f", "x").error, WriteError::NoFolder);
    EXPECT_EQ(writeText(tmp.path() / longest / "f", "x").error, WriteError::NoFolder);

    // A failing writer leaves neither the target nor a temporary file.
    const WriteResult io = writeAtomically(tmp.path() / "io", 0600, [](int) { return EIO; });
    EXPECT_EQ(io.error, WriteError::Other);
    EXPECT_EQ(io.errnoValue, EIO);
    EXPECT_EQ(entries(tmp.path()), 1u);

    if (::geteuid() != 0) {
        const auto locked = tmp.path() / "locked";
        ASSERT_TRUE(std::filesystem::create_directory(locked));
        ::chmod(locked.c_str(), 0500);
        EXPECT_EQ(writeText(locked / "f", "x").error, WriteError::Permission);
        ::chmod(locked.c_str(), 0700);
    }
}

// A full disk, as the file size limit of a child process: the file it replaces stays whole.
TEST(AtomicFile, AFullDiskIsReportedAndTheOldFileStays) {
    TempDir tmp;
    const auto file = tmp.path() / "take.wav";
    ASSERT_TRUE(writeText(file, "the old take"));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const WriteResult r = writeText(file, std::string(10000, 'x'));
        ::_exit(r.error == WriteError::DiskFull && r.errnoValue == EFBIG ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(contents(file), "the old take");
    EXPECT_EQ(entries(tmp.path()), 1u);
}

TEST(AtomicFile, ALinkStaysALinkAndTheFileItPointsToIsReplacedInItsOwnFolder) {
    TempDir tmp;
    const auto home = tmp.path() / "home";
    const auto real = tmp.path() / "real";
    std::filesystem::create_directories(home);
    std::filesystem::create_directories(real / "sub");
    ASSERT_TRUE(writeText(real / "sub" / "take.wav", "old", 0600));
    // A relative link, through a second link, as dotfile managers make them.
    std::filesystem::create_symlink("../real/sub/take.wav", home / "middle");
    std::filesystem::create_symlink("middle", home / "take.wav");
    ASSERT_TRUE(writeText(home / "take.wav", "new"));
    EXPECT_TRUE(std::filesystem::is_symlink(home / "take.wav"));
    EXPECT_TRUE(std::filesystem::is_symlink(home / "middle"));
    EXPECT_EQ(contents(real / "sub" / "take.wav"), "new");
    EXPECT_EQ(modeOf(real / "sub" / "take.wav") & 07777, 0600u);
    EXPECT_EQ(entries(home), 2u);
    EXPECT_EQ(entries(real / "sub"), 1u);

    // A link to a file not there yet makes it; a circle of links is refused.
    std::filesystem::create_symlink(real / "fresh.wav", home / "dangling");
    ASSERT_TRUE(writeText(home / "dangling", "made"));
    EXPECT_EQ(contents(real / "fresh.wav"), "made");
    std::filesystem::create_symlink("circle", home / "circle");
    EXPECT_EQ(writeText(home / "circle", "x").errnoValue, ELOOP);
    EXPECT_TRUE(std::filesystem::is_symlink(home / "circle"));
}
