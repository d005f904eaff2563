// The application object for the desktop tests, and their hold on the display.
//
// The tests run on the real X display in DISPLAY (tests/support/x-env.sh starts a private
// one). Without a reachable display the application runs offscreen and the cases that need
// X skip. The cases press global keys and click on the screen, so only one test process
// uses a display at a time: each takes an exclusive lock named after the display first.

#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>
#include <QDir>

#include <xcb/xcb.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <memory>

namespace {

bool displayReachable() {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) return false;
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool ok = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    return ok;
}

class DisplayLock {
public:
    explicit DisplayLock(const QByteArray& display) {
        QByteArray name = display;
        name.replace('/', '_');
        const QByteArray path =
            QDir::tempPath().toLocal8Bit() + "/wsx-desktop-tests-" + name + ".lock";
        m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd >= 0) ::flock(m_fd, LOCK_EX);  // released by the kernel if the process dies
    }
    ~DisplayLock() {
        if (m_fd >= 0) ::close(m_fd);
    }
    DisplayLock(const DisplayLock&) = delete;
    DisplayLock& operator=(const DisplayLock&) = delete;

private:
    int m_fd = -1;
};

class DesktopEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        // The tests' own choice wins over a QT_QPA_PLATFORM given to every test.
        if (displayReachable()) {
            m_lock = std::make_unique<DisplayLock>(qgetenv("DISPLAY"));
            qputenv("QT_QPA_PLATFORM", "xcb");
        } else {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        m_app = std::make_unique<QApplication>(m_argc, m_argv);
        QApplication::setQuitOnLastWindowClosed(false);
    }

    void TearDown() override {
        m_app.reset();
        m_lock.reset();
    }

private:
    int m_argc = 1;
    char m_name[18] = "wsx_desktop_tests";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<DisplayLock> m_lock;
    std::unique_ptr<QApplication> m_app;
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new DesktopEnvironment);

}  // namespace
