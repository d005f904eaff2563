// Hours of tray animation compressed into a minute: the recorder window with the real tray
// icon (XEmbed, under trayer) runs its animation ticks back to back, and the resident
// memory is printed at checkpoints; it must stay flat.
//   animation_bench [TICKS]     (default 216000: three hours of 50 ms frames)
// Needs an X display with a tray host (bench/run.sh provides one).
#include "audio/VirtualAudioBackend.h"
#include "engine/interpreter/MciEngine.h"
#include "forms/AppSetup.h"
#include "forms/frmMain.h"
#include "platform/dialogs/QtDialogs.h"
#include "platform/hotkeys/X11HotKeys.h"
#include "platform/registry/Registry.h"
#include "platform/shell/QtNotifyIcon.h"
#include "platform/shell/QtShell.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdio>
#include <fstream>
#include <string>

namespace {
double rssMB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
    return -1;
}
}  // namespace

int main(int argc, char** argv) {
    const long ticks = argc > 1 ? std::atol(argv[1]) : 216000;
    QApplication app(argc, argv);
    wsx::setUpApplication(app);
    QTemporaryDir home;
    wsx::audio::VirtualAudioBackend backend;
    wsx::mci::MciEngine engine(backend,
                               wsx::mci::EngineOptions{home.filePath("spool").toStdString()});
    wsx::platform::QtDialogs dialogs;
    wsx::platform::QtNotifyIcon tray;
    wsx::platform::X11HotKeys hotKeys;
    wsx::registry::Registry registry(wsx::registry::RegistryEnvironment{
        home.filePath("autostart").toStdString(), std::string()});
    wsx::platform::QtShell shell;
    wsx::RecorderServices services{engine,
                                   dialogs,
                                   tray,
                                   hotKeys,
                                   registry,
                                   shell,
                                   QDir(home.path()).filePath("wanshengxia").toStdString(),
                                   home.filePath("spool").toStdString(),
                                   nullptr,
                                   {}};
    wsx::frmMain window(services);
    window.Form_Load();
    window.show();
    app.processEvents();
    std::printf("%10s %10s\n", "ticks", "RSS MB");
    for (long i = 0; i <= ticks; ++i) {
        // The three animations in turn, as a session of recording, playing and stopping does.
        if (i % 3 == 0) window.TimerRecord_Timer();
        else if (i % 3 == 1) window.TimerPlay_Timer();
        else window.TimerStop_Timer();
        app.processEvents();
        if (i % (ticks / 10) == 0) std::printf("%10ld %10.1f\n", i, rssMB());
    }
    int16_t cancel = 0;
    window.Form_Unload(cancel);
    return 0;
}
