#pragma once

// A second private sound server for tests that kill their server (PulseAudio, or PipeWire
// where that is the desktop's server; tests/support/sound-server.sh): a null sink, a socket
// in its own temporary folder. Killed as a process group; its folder is removed on
// destruction.

#include <string>
#include <sys/types.h>

namespace wsx::audio::test {

class PulseTestServer {
public:
    // Without a sink the server has no default sink or source at all.
    explicit PulseTestServer(bool withSink = true);
    ~PulseTestServer();
    PulseTestServer(const PulseTestServer&) = delete;
    PulseTestServer& operator=(const PulseTestServer&) = delete;

    // Starts the server (again, after kill()) and waits up to 20 s until it is complete.
    // On failure `why` says what went wrong.
    bool start(std::string& why);
    // SIGKILL, as a crash: no goodbye to the clients.
    void kill();
    // SIGSTOP / SIGCONT: a server that accepts connections but answers nothing.
    void freeze(bool frozen);
    // For PulseAudioBackend's `server` argument.
    std::string address() const { return "unix:" + m_dir + "/native"; }

private:
    std::string m_dir;
    bool m_withSink;
    pid_t m_pid = -1;
};

// True when a server accepts connections on `address` ("unix:/path"); bounded by the
// kernel's connect on a local socket.
bool pulseSocketAnswers(const std::string& address);

}  // namespace wsx::audio::test
