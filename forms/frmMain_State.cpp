// The window state: one row per state says what every command, option, timer and the tray
// tip show, and applyState puts a row on the window. The handlers decide which state
// follows; the row decides what that looks like.
#include "frmMain.h"
#include "ui_frmMain.h"

namespace wsx {

namespace {

// Every field left out of a row is off.
struct StateRow {
    // Record, Stop and Play: each button and its tray menu item are one action.
    bool record = false, stop = false, play = false;
    bool saveAs = false;
    bool deleteAround = false;  // both Edit items: delete before and after the position
    bool slider = false;
    bool formatOptions = false;  // open until the first recording into the device fixes it
    bool inputMenu = false;      // 录音来源: what the next recording takes
    bool positionTimer = false;
    bool levelMeter = false;  // sound is moving: the meter shows how loud
    bool recordAnimation = false, playAnimation = false, stopAnimation = false;
    bool isRecording = false, isPlaying = false;
    const char* tip = "";  // the tray tip; "" leaves the tip the tray shows
};

StateRow rowFor(WindowState state) {
    switch (state) {
    case WindowState::Empty:
        return {.record = true, .formatOptions = true, .inputMenu = true, .tip = "等待录音..."};
    case WindowState::Recording:
        return {.stop = true,
                .positionTimer = true,
                .levelMeter = true,
                .recordAnimation = true,
                .isRecording = true,
                .tip = "正在录音..."};
    case WindowState::Stopped:
        return {.record = true,
                .play = true,
                .saveAs = true,
                .deleteAround = true,
                .slider = true,
                .inputMenu = true,
                .stopAnimation = true,
                .tip = "已经停止..."};
    case WindowState::Playing:
        return {.stop = true,
                .saveAs = true,
                .slider = true,
                .inputMenu = true,
                .positionTimer = true,
                .levelMeter = true,
                .playAnimation = true,
                .isPlaying = true,
                .tip = "正在播放..."};
    case WindowState::EmptiedByCut:
        // Reached from Stopped only: the stop animation and its tip go on.
        return {.record = true, .saveAs = true, .inputMenu = true, .stopAnimation = true};
    }
    return {};
}

// Starts a timer that is not running (a running one keeps its phase) or stops it.
void runWhile(QTimer& timer, bool run) {
    if (!run) timer.stop();
    else if (!timer.isActive()) timer.start();
}

}  // namespace

void frmMain::applyState(WindowState state) {
    const StateRow row = rowFor(state);
    IsRecording = row.isRecording;
    IsPlaying = row.isPlaying;
    const std::pair<QAction*, bool> items[] = {{ui->mnuRecord, row.record},
                                               {ui->mnuStop, row.stop},
                                               {ui->mnuPlay, row.play},
                                               {ui->mnuSaveAs, row.saveAs},
                                               {ui->mnuDelFore, row.deleteAround},
                                               {ui->mnuDelBack, row.deleteAround},
                                               {ui->mnuInput->menuAction(), row.inputMenu}};
    const std::pair<QWidget*, bool> controls[] = {{ui->Slider, row.slider},
                                                  {ui->opt11025, row.formatOptions},
                                                  {ui->opt22050, row.formatOptions},
                                                  {ui->optSingle, row.formatOptions},
                                                  {ui->optDouble, row.formatOptions}};
    // Everything that goes grey does so before anything lights up: a focused button that
    // goes grey hands the focus on to a control that was enabled already.
    for (const bool enable : {false, true}) {
        for (const auto& [item, on] : items)
            if (on == enable) item->setEnabled(on);
        for (const auto& [control, on] : controls)
            if (on == enable) control->setEnabled(on);
    }
    runWhile(TimerMci, row.positionTimer);
    if (m_services.sleep)
        m_services.sleep->setNeeded(platform::SleepGuard::Reason::Recording, row.isRecording);
    showLevelMeter(row.levelMeter);
    runWhile(TimerRecord, row.recordAnimation);
    runWhile(TimerPlay, row.playAnimation);
    runWhile(TimerStop, row.stopAnimation);
    // Before start-up adds the tray icon there is no tip to change.
    if (m_inTray) m_tray.TraySetTip(row.tip);
}

}  // namespace wsx
