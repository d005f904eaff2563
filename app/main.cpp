// 万声匣: creates the recorder window with the real services and runs the event loop.
#include "app/SessionCommands.h"
#include "audio/PulseAudioBackend.h"
#include "engine/interpreter/MciEngine.h"
#include "engine/take/TakeStore.h"
#include "forms/AppSetup.h"
#include "forms/Version.h"
#include "forms/frmMain.h"
#include "platform/power/SleepGuard.h"
#include "platform/dialogs/QtDialogs.h"
#include "platform/hotkeys/DesktopHotKeys.h"
#include "platform/log/Log.h"
#include "platform/registry/Registry.h"
#include "platform/shell/QtNotifyIcon.h"
#include "platform/shell/QtShell.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <memory>
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

// SIGTERM, SIGINT and SIGHUP end the program through the event loop rather than at once, so
// the window unloads and the sound device leaves its take complete. The handler only writes
// a byte to a socket; the event loop reads it.
int g_signalPipe[2] = {-1, -1};

void onTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[0], &byte, 1);
}

// Qt writes the X window title (WM_NAME) in the character set of the locale; in the C
// locale (a session or service without LANG) the Chinese title comes out garbled and window
// tools cannot find the window. QApplication sets the locale from the environment, so the
// environment is what gets a UTF-8 character set; the language and formats stay.
void useUtf8Characters() {
    std::setlocale(LC_ALL, "");
    if (std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0) return;
    ::setenv(std::getenv("LC_ALL") ? "LC_ALL" : "LC_CTYPE", "C.UTF-8", 1);
    std::setlocale(LC_ALL, "");
}

// With the X server's shared-memory images Qt waits for a round trip to the server before
// each paint, until the server has read the last image. The recorder paints small things
// often (the tray icon 20 times a second, the level meter): sending those few pixels over
// the connection costs less. A choice already in the environment stands. Qt reads it when it
// connects to the display; true when it was set here, to be taken out of the environment
// again after that, so that the programs the recorder opens (a help viewer, a browser) paint
// as they would anyway.
bool paintWithoutSharedImages() {
    if (std::getenv("QT_XCB_NO_MITSHM")) return false;
    ::setenv("QT_XCB_NO_MITSHM", "1", 1);
    return true;
}

// Calls `end` from the event loop when SIGTERM, SIGINT or SIGHUP arrives.
template <class End>
void onTerminationSignals(QApplication& app, End end) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, end);
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

// The sound device lives in static storage, not on main's stack: when the display goes away
// Qt ends the program with exit(), which destroys static objects but unwinds no stack. The
// engine's destructor then ends a take under way, keeps it when it holds unsaved sound and
// removes it otherwise, exactly as on a normal exit.
struct SoundDevice {
    wsx::audio::PulseAudioBackend backend{WSX_PRODUCT_NAME};
    wsx::mci::MciEngine engine{backend};
};
std::unique_ptr<SoundDevice> g_sound;

// A later start that the running recorder did not answer: it hangs. Started from the
// desktop's menu nobody reads standard error, so a box says it too, and what to do.
void tellRunningDidNotAnswer() {
    wsx::platform::QtDialogs dialogs;
    dialogs.MsgBox(
        nullptr,
        QStringLiteral("正在运行的万声匣没有回答。\n\n"
                       "它可能正忙，也可能卡住了。请稍等片刻再试一次；仍然没有回答时，请结束它"
                       "（在系统监视器里强制结束，或在终端里运行 pkill -KILL -x wanshengxia），"
                       "然后重新启动万声匣。没有保存的录音留在磁盘上，下次启动时会问是否找回。"),
        wsx::platform::MsgBoxButtons::Ok, wsx::platform::MsgBoxIcon::Critical,
        QStringLiteral(WSX_PRODUCT_NAME));
}

}  // namespace

int main(int argc, char** argv) {
    wsx::log::setSink(&logToQt);
    // WSX_DEBUG=1 turns the debug lines on; QT_LOGGING_RULES, read later, still has the last word.
    if (wsx::log::debugRequested())
        QLoggingCategory::setFilterRules("wsx.*.debug=true\nwsx.debug=true");
    const wsx::platform::CommandLine command = wsx::platform::parseCommandLine(argc, argv);
    if (const auto status = wsx::platform::answerWithoutWindow(command, WSX_VERSION_TEXT))
        return *status;
    useUtf8Characters();
    const bool sharedImagesTurnedOff = paintWithoutSharedImages();
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if ((!platform || !*platform) && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
        std::fprintf(
            stderr, WSX_PRODUCT_NAME
            ": 找不到图形显示（DISPLAY 和 WAYLAND_DISPLAY 都未设置），无法打开窗口。\n"
            "wanshengxia: no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY is set).\n");
        return 1;
    }
    QApplication app(argc, argv);
    if (sharedImagesTurnedOff) ::unsetenv("QT_XCB_NO_MITSHM");
    wsx::setUpApplication(app);
    wsx::platform::SingleInstance instance;
    if (const auto status = instance.handOverOrClaim(command.verb)) {
        if (instance.runningDidNotAnswer()) tellRunningDidNotAnswer();
        return *status;
    }

    g_sound = std::make_unique<SoundDevice>();
    wsx::platform::QtDialogs dialogs;
    wsx::platform::QtNotifyIcon tray;
    const auto hotKeys = wsx::platform::makeDesktopHotKeys(QStringLiteral("wanshengxia"));
    wsx::registry::Registry registry(wsx::registry::RegistryEnvironment::fromProcess());
    wsx::platform::QtShell shell;
    wsx::RecorderServices services{g_sound->engine,
                                   dialogs,
                                   tray,
                                   *hotKeys,
                                   registry,
                                   shell,
                                   QCoreApplication::applicationFilePath().toStdString(),
                                   wsx::mci::TakeStore::defaultFolder(),
                                   &g_sound->backend,
                                   wsx::RecorderSettings::defaultFile()};
    wsx::platform::SleepGuard sleepGuard;
    services.sleep = &sleepGuard;

    wsx::frmMain window(services);
    QObject::connect(&window, &wsx::frmMain::unloaded, &app, &QCoreApplication::quit);
    // A log-out, a terminal closed, a service stopped: end now, without the close question.
    onTerminationSignals(app, [&window] { window.EndSession(); });
    window.Form_Load();
    if (const QScreen* screen = window.screen())
        window.move(screen->availableGeometry().center() - window.rect().center());
    window.show();
    instance.serve(wsx::sessionCommandsFor(window), command.verb);
    QTimer::singleShot(0, &window, &wsx::frmMain::RecoverLeftTake);
    return app.exec();  // the window goes first, then (static) the sound device
}
