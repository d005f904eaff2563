// Takes damaged in every way a folder can be: each is looked at as start-up does
// (TakeStore::orphans) and opened as "open \"<take folder>\"" does, in a child process under
// a timeout, since the fault this guards against is a hang. Each must be offered, salvaged
// or reported, and never lose a file it was not asked to.
#include "engine/command/MciError.h"
#include "engine/take/TakeStore.h"
#include "support/EngineFixture.h"

#include <fcntl.h>
#include <fstream>
#include <functional>
#include <map>
#include <poll.h>
#include <random>
#include <signal.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace wsx::mci;
namespace fs = std::filesystem;

namespace {

// What start-up and "open" made of one take, as the child reports it.
struct Outcome {
    bool listed = false;    // among the orphans
    bool readable = false;  // offered (with editsLost: salvaged)
    bool editsLost = false;
    uint64_t lengthMs = 0;
    uint32_t openRc = 0;
    std::string openLength;  // "status T length" after a successful open
    bool operator==(const Outcome&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
    return out << "{listed " << o.listed << ", readable " << o.readable << ", editsLost "
               << o.editsLost << ", " << o.lengthMs << " ms, open " << o.openRc << " length '"
               << o.openLength << "'}";
}

Outcome look(const fs::path& state, const fs::path& take) {
    Outcome o;
    for (const TakeInfo& info : TakeStore(state).orphans()) {
        if (info.folder != take) continue;
        o.listed = true;
        o.readable = info.readable;
        o.editsLost = info.editsLost;
        o.lengthMs = info.lengthMs;
    }
    wsx::audio::VirtualAudioBackend backend;
    MciEngine engine(backend, EngineOptions{state / "other", 1u << 30});
    o.openRc = engine.mciSendString("open \"" + take.string() + "\" type waveaudio alias T", nullptr);
    if (o.openRc == 0) engine.mciSendString("status T length", &o.openLength);
    return o;
}

// Runs look() in a child that must answer within five seconds.
std::optional<Outcome> lookWithin(const fs::path& state, const fs::path& take) {
    int fds[2];
    if (::pipe(fds) != 0) return std::nullopt;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        const Outcome o = look(state, take);
        std::ostringstream text;
        text << o.listed << ' ' << o.readable << ' ' << o.editsLost << ' ' << o.lengthMs << ' '
             << o.openRc << " [" << o.openLength << "]";
        const std::string s = text.str();
        (void)!::write(fds[1], s.data(), s.size());
        ::_exit(0);
    }
    ::close(fds[1]);
    pollfd p{fds[0], POLLIN, 0};
    std::string reply;
    char buffer[256];
    while (::poll(&p, 1, 5000) == 1) {
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        reply.append(buffer, size_t(n));
    }
    ::close(fds[0]);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (reply.empty()) return std::nullopt;  // hung or crashed
    Outcome o;
    std::istringstream in(reply);
    in >> o.listed >> o.readable >> o.editsLost >> o.lengthMs >> o.openRc;
    std::string rest;
    std::getline(in >> std::ws, rest);
    o.openLength = rest.substr(1, rest.size() - 2);
    return o;
}

// Every file under `folder` with its kind and size, to see that nothing went unasked.
std::map<std::string, std::string> contentsOf(const fs::path& folder) {
    std::map<std::string, std::string> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        struct stat st {};
        ::lstat(e.path().c_str(), &st);
        out[e.path().filename().string()] =
            std::to_string(st.st_mode & S_IFMT) + "/" + std::to_string(st.st_size);
    }
    return out;
}

class DamagedTakes : public ::testing::Test {
protected:
    void SetUp() override {
        // One second of 8000 Hz mono 16-bit sound, left by an engine that was not closed.
        wsx::audio::VirtualAudioBackend backend;
        backend.setSignal(wsx::test::constantSignal(7));
        MciEngine engine(backend, EngineOptions{source(), 1u << 30});
        ASSERT_EQ(engine.mciSendString("open new type waveaudio alias A", nullptr), 0u);
        ASSERT_EQ(engine.mciSendString("set A time format ms samplespersec 8000 channels 1 "
                                       "bitspersample 16",
                                       nullptr),
                  0u);
        ASSERT_EQ(engine.mciSendString("record A", nullptr), 0u);
        backend.advance(1000);
        ASSERT_EQ(engine.mciSendString("stop A", nullptr), 0u);
        good = fs::directory_iterator(source())->path();
    }
    fs::path source() const { return tmp.path() / "source"; }
    fs::path state() const { return tmp.path() / "state"; }
    // A fresh state folder holding a copy of the good take, damaged by `damage`.
    fs::path takeDamagedBy(const std::function<void(const fs::path&)>& damage) {
        fs::remove_all(state());
        fs::create_directories(state());
        const fs::path take = state() / "take-damaged";
        fs::copy(good, take);
        damage(take);
        return take;
    }

    wsx::test::TempDir tmp;
    fs::path good;
};

void garbage(const fs::path& file, size_t bytes) {
    std::mt19937 random(24);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    for (size_t i = 0; i < bytes; ++i) out.put(char(random()));
}

}  // namespace

TEST_F(DamagedTakes, AreOfferedSalvagedOrReportedNeverHangAndLoseNothingUnasked) {
    const size_t recordBytes = encodeJournalRecord({}).size();
    const Outcome whole{true, true, false, 1000, 0, "1000"};
    const Outcome salvaged{true, true, true, 1000, 0, "1000"};
    const Outcome reported{true, false, false, 0, MCIERR_INVALID_FILE, ""};
    auto replace = [](const char* name, const std::function<void(const fs::path&)>& make) {
        return [=](const fs::path& take) {
            fs::remove(take / name);
            make(take / name);
        };
    };
    auto fifo = [](const fs::path& f) { ASSERT_EQ(::mkfifo(f.c_str(), 0600), 0); };
    auto folder = [](const fs::path& f) { fs::create_directory(f); };
    auto linkTo = [this](const char* name) {
        return [=, this](const fs::path& f) { fs::create_symlink(good / name, f); };
    };
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> damage;
        Outcome expected;
    };
    const std::vector<Case> cases = {
        {"intact", [](const fs::path&) {}, whole},
        {"garbage journal", [](const fs::path& t) { garbage(t / "journal", 5000); }, salvaged},
        {"journal cut inside its last record",
         [&](const fs::path& t) { fs::resize_file(t / "journal", recordBytes + 5); },
         salvaged},
        {"no journal", [](const fs::path& t) { fs::remove(t / "journal"); }, salvaged},
        {"current names a generation that is not there",
         [](const fs::path& t) { std::ofstream(t / "current") << "3\n"; }, reported},
        {"current names a generation of links to another's files",
         [](const fs::path& t) {
             std::ofstream(t / "current") << "1\n";
             fs::create_symlink(t / "sound", t / "sound.1");
             fs::create_symlink(t / "journal", t / "journal.1");
         },
         reported},
        {"no sound", [](const fs::path& t) { fs::remove(t / "sound"); }, reported},
        {"FIFO journal", replace("journal", fifo), reported},
        {"FIFO sound", replace("sound", fifo), reported},
        {"FIFO format", replace("format", fifo), reported},
        {"FIFO current", [&](const fs::path& t) { fifo(t / "current"); }, reported},
        {"folder journal", replace("journal", folder), reported},
        {"folder sound", replace("sound", folder), reported},
        {"link journal", replace("journal", linkTo("journal")), reported},
        {"link sound", replace("sound", linkTo("sound")), reported},
        {"link format", replace("format", linkTo("format")), reported},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path take = takeDamagedBy(c.damage);
        const auto before = contentsOf(take);
        const std::optional<Outcome> got = lookWithin(state(), take);
        ASSERT_TRUE(got) << "hung or crashed";
        EXPECT_EQ(*got, c.expected);
        if (got->openRc != 0) {
            EXPECT_EQ(contentsOf(take), before) << "a refused take changed";
        }
    }
}

TEST_F(DamagedTakes, DevicesAndLinkedTakeFoldersAreNeitherOpenedNorFollowed) {
    // A device node: only root may make one.
    const fs::path device = takeDamagedBy([](const fs::path& t) {
        fs::remove(t / "journal");
        (void)::mknod((t / "journal").c_str(), S_IFCHR | 0600, makedev(1, 3));
    });
    struct stat st {};
    if (::lstat((device / "journal").c_str(), &st) == 0 && S_ISCHR(st.st_mode)) {
        const std::optional<Outcome> got = lookWithin(state(), device);
        ASSERT_TRUE(got);
        EXPECT_FALSE(got->readable);
        EXPECT_EQ(got->openRc, MCIERR_INVALID_FILE);
    }

    // A take folder that is a link to a good take: not listed, not opened, the take intact.
    fs::remove_all(state());
    fs::create_directories(state());
    fs::create_directory_symlink(good, state() / "take-link");
    const auto before = contentsOf(good);
    const std::optional<Outcome> got = lookWithin(state(), state() / "take-link");
    ASSERT_TRUE(got);
    EXPECT_FALSE(got->listed);
    EXPECT_EQ(got->openRc, MCIERR_INVALID_FILE);
    EXPECT_EQ(contentsOf(good), before);
    EXPECT_TRUE(fs::is_symlink(state() / "take-link"));
}
