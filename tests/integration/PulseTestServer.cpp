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
    std::filesystem::create_directories(m_dir + "/runtime");
    std::filesystem::create_directories(m_dir + "/home");
    std::error_code ignored;
    std::filesystem::remove(m_dir + "/native", ignored);  // left by a killed predecessor

    // The sink first: once the socket answers, the server is complete.
    std::vector<std::string> args = {"pulseaudio",
                                     "--daemonize=no",
                                     "--use-pid-file=no",
                                     "--exit-idle-time=-1",
                                     "--realtime=no",
                                     "--high-priority=no",
                                     "-n"};
    if (m_withSink)
        args.insert(args.end(), {"-L", "module-null-sink sink_name=losssink rate=48000"});
    args.insert(args.end(),
                {"-L", "module-native-protocol-unix auth-anonymous=1 socket=" + m_dir + "/native",
                 "--log-target=file:" + m_dir + "/pulse.log"});
    // The server's files stay in the folder; everything else is inherited.
    std::vector<std::string> env = {"HOME=" + m_dir + "/home",
                                    "XDG_CONFIG_HOME=" + m_dir + "/home",
                                    "XDG_RUNTIME_DIR=" + m_dir + "/runtime",
                                    "PULSE_RUNTIME_PATH=" + m_dir + "/runtime/pulse",
                                    "PULSE_STATE_PATH=" + m_dir + "/home",
                                    "DBUS_SESSION_BUS_ADDRESS=disabled:"};
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        bool overridden = false;
        for (const std::string& mine : env)
            overridden |= mine.compare(0, name.size() + 1, name + "=") == 0;
        if (!overridden) env.push_back(entry);
    }
    std::vector<char*> argv, envp;
    for (std::string& a : args) argv.push_back(a.data());
    for (std::string& e : env) envp.push_back(e.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int rc = posix_spawnp(&m_pid, "pulseaudio", &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        m_pid = -1;
        why = std::string("cannot run pulseaudio: ") + std::strerror(rc);
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        if (pulseSocketAnswers(address())) return true;
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            why = "pulseaudio exited at start; see " + m_dir + "/pulse.log";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    why = "pulseaudio did not answer within 5 s";
    kill();
    return false;
}

void PulseTestServer::freeze(bool frozen) {
    if (m_pid > 0) ::kill(m_pid, frozen ? SIGSTOP : SIGCONT);
}

void PulseTestServer::kill() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGKILL);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
}

}  // namespace wsx::audio::test
