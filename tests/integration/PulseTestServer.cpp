#include "PulseTestServer.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace wsx::audio::test {

bool pulseSocketAnswers(const std::string& address) {
    const std::string prefix = "unix:";
    if (address.compare(0, prefix.size(), prefix) != 0) return false;
    const std::string path = address.substr(prefix.size());
    sockaddr_un sa{};
    if (path.size() >= sizeof sa.sun_path) return false;
    sa.sun_family = AF_UNIX;
    std::memcpy(sa.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
    ::close(fd);
    return ok;
}

PulseTestServer::PulseTestServer(bool withSink) : m_withSink(withSink) {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/wsx-pulse-test.XXXXXX";
    if (::mkdtemp(pattern.data())) m_dir = pattern;
}

PulseTestServer::~PulseTestServer() {
    kill();
    if (!m_dir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
}

bool PulseTestServer::start(std::string& why) {
    if (m_dir.empty()) {
        why = "cannot create a temporary folder";
        return false;
    }
    if (m_pid > 0) return true;
    const std::string ready = m_dir + "/ready";
    std::error_code ignored;
    std::filesystem::remove(ready, ignored);

    // tests/support/sound-server.sh runs PulseAudio, or PipeWire where that is the desktop's
    // server, with its files in m_dir. Its own process group: kill() and freeze() reach every
    // process of the server.
    std::vector<std::string> args = {"bash", WSX_SOUND_SERVER_SCRIPT, m_dir};
    if (m_withSink) args.insert(args.end(), {"--sink", "losssink"});
    else args.emplace_back("--no-sink");
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, (m_dir + "/start.log").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    const int rc = posix_spawnp(&m_pid, "bash", &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        m_pid = -1;
        why = std::string("cannot run bash: ") + std::strerror(rc);
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        if (std::filesystem::exists(ready) && pulseSocketAnswers(address())) return true;
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            why = "the sound server exited at start; see " + m_dir + "/start.log and server.log";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    why = "the sound server did not come up within 20 s";
    kill();
    return false;
}

void PulseTestServer::freeze(bool frozen) {
    if (m_pid > 0) ::kill(-m_pid, frozen ? SIGSTOP : SIGCONT);
}

void PulseTestServer::kill() {
    if (m_pid <= 0) return;
    ::kill(-m_pid, SIGKILL);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
}

}  // namespace wsx::audio::test
