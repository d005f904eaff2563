// 万声匣: creates the recorder window with the real services and runs the event loop.
#include "audio/PulseAudioBackend.h"
#include "engine/MciEngine.h"
#include "forms/AppSetup.h"
#include "forms/Version.h"
#include "forms/frmMain.h"
#include "platform/dialogs/QtDialogs.h"
#include "platform/hotkeys/X11HotKeys.h"
#include "platform/log/Log.h"
#include "platform/registry/Registry.h"
#include "platform/shell/QtNotifyIcon.h"
#include "platform/shell/QtShell.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QScreen>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// What the sound layers log goes to Qt's categories, so QT_LOGGING_RULES picks what shows
// (e.g. "wsx.audio.debug=true"). Warnings show by default, debug lines when asked for.
Q_LOGGING_CATEGORY(lcAudio, "wsx.audio", QtWarningMsg)
Q_LOGGING_CATEGORY(lcEngine, "wsx.engine", QtWarningMsg)
Q_LOGGING_CATEGORY(lcOther, "wsx", QtWarningMsg)

void logToQt(wsx::log::Level level, const char* category, const std::string& message) {
    const auto lc = std::strcmp(category, wsx::log::kAudio) == 0    ? &lcAudio
                    : std::strcmp(category, wsx::log::kEngine) == 0 ? &lcEngine
                                                                    : &lcOther;
    const QString text = QString::fromStdString(message);
    if (level == wsx::log::Level::Debug) qCDebug(lc).noquote() << text;
    else qCWarning(lc).noquote() << text;
}

// SIGTERM, SIGINT and SIGHUP end the event loop instead of the process, so the window
// unloads as on exit and the sound device removes its spool file. The handler only writes
// a byte to a socket; the event loop reads it.
int g_signalPipe[2] = {-1, -1};

void onTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[0], &byte, 1);
}

void quitOnTerminationSignals(QApplication& app) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    wsx::log::setSink(&logToQt);
    // WSX_DEBUG=1 turns the debug lines on; QT_LOGGING_RULES, read later, still has the last word.
    if (wsx::log::debugRequested())
        QLoggingCategory::setFilterRules("wsx.*.debug=true\nwsx.debug=true");
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if ((!platform || !*platform) && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
        std::fprintf(
            stderr, WSX_PRODUCT_NAME
            ": 找不到图形显示（DISPLAY 和 WAYLAND_DISPLAY 都未设置），无法打开窗口。\n"
            "wanshengxia: no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY is set).\n");
        return 1;
    }
    QApplication app(argc, argv);
    wsx::setUpApplication(app);
    quitOnTerminationSignals(app);

    wsx::audio::PulseAudioBackend backend(WSX_PRODUCT_NAME);
    wsx::mci::MciEngine engine(backend);
    wsx::platform::QtDialogs dialogs;
    wsx::platform::QtNotifyIcon tray;
    wsx::platform::X11HotKeys hotKeys;
    wsx::registry::Registry registry(wsx::registry::RegistryEnvironment::fromProcess());
    wsx::platform::QtShell shell;
    wsx::RecorderServices services{engine,
                                   dialogs,
                                   tray,
                                   hotKeys,
                                   registry,
                                   shell,
                                   QCoreApplication::applicationFilePath().toStdString(),
                                   &backend,
                                   wsx::RecorderSettings::defaultFile()};

    wsx::frmMain window(services);
    QObject::connect(&window, &wsx::frmMain::unloaded, &app, &QCoreApplication::quit);
    window.Form_Load();
    if (const QScreen* screen = window.screen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    window.show();
    return app.exec();
}
