// Start-up and shutdown of the recorder window.
#include "Paths.h"
#include "frmMain.h"
#include "ui_frmMain.h"

namespace wsx {

using platform::MsgBoxButtons;
using platform::MsgBoxIcon;
using platform::MsgBoxResult;

void frmMain::Form_Load() {
    ui->opt22050->setChecked(true);
    ui->optDouble->setChecked(true);
    applyState(WindowState::Empty);
    ui->mnuShowRec->setEnabled(false);

    MciResult = m_record.MciClose(kDevice);
    m_record.MciOpenNew();
    MciResult = m_record.MciSetTimeFormat(kDevice, 2);

    m_tray.TrayAddIcon("等待录音");
    m_inTray = true;
    LoadHotKeys();
    m_tray.RegisterHotKeys();
    // Platform messages reach WindowProc through the window's own handling; what it does
    // not take goes on to the handler that was in place before.
    OldWndProc = &frmMain::DefaultWindowProc;

    ExePath = ExePathFor(m_services.programFile);
    RunKeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    RunValueName = "record";
    const auto HKLM = registry::HKEY_LOCAL_MACHINE;
    if (m_reg.RegQueryValueInfo(HKLM, RunKeyPath, RunValueName).ValueType == -1)
        m_reg.RegSetString(HKLM, RunKeyPath, RunValueName, ExePath);
    // Ticking the box runs chkStart_Click, which writes the current ExePath again.
    ui->chkStart->setChecked(!m_reg.RegGetString(HKLM, RunKeyPath, RunValueName).empty());
}

void frmMain::Form_QueryUnload(int16_t& Cancel, int16_t /*UnloadMode*/) {
    Cancel = 1;
    if (!IsChanged) {
        Cancel = 0;
        return;
    }
    MciResult = m_record.MciPause(kDevice);
    const MsgBoxResult answer =
        m_services.dialogs.MsgBox(nullptr, QStringLiteral("文件声音已经更改，是否保存所做的修改？"),
                                  MsgBoxButtons::YesNoCancel, MsgBoxIcon::Question, kAppTitle);
    if (answer == MsgBoxResult::Yes) {
        mnuSaveAs_Click();
        if (!dlgMciSave.FileName.isEmpty()) Cancel = 0;
    } else if (answer == MsgBoxResult::Cancel) {
        if (IsPlaying) retryOnce(&ModuleRecord::MciPlay);
        if (IsRecording) retryOnce(&ModuleRecord::MciRecordOverwrite);
        TimerMci.start();
    } else {
        Cancel = 0;
    }
}

void frmMain::Form_Resize() {
    if (windowState() & Qt::WindowMinimized) {
        ui->mnuShowRec->setEnabled(true);
        // Hidden, the window is reached only through its tray icon. A desktop without a
        // notification area would leave no way back to it (nor to an unsaved recording), so
        // there it stays minimised in the task bar instead.
        if (m_services.tray.trayAvailable()) hide();
    } else if (!(windowState() & Qt::WindowMaximized)) {
        ui->mnuShowRec->setEnabled(false);
    }
}

void frmMain::Form_Unload(int16_t& /*Cancel*/) {
    if (m_unloaded) return;
    m_unloaded = true;
    // Closing discards the take; unsaved sound of a program ending by a signal stays in it.
    if (!m_keepTake) MciResult = m_record.MciClose(kDevice);
    m_tray.TrayRemoveIcon();
    m_inTray = false;
    m_tray.UnregisterHotKeys();
    OldWndProc = nullptr;
    for (QTimer* t : {&TimerMci, &TimerPlay, &TimerRecord, &TimerStop}) t->stop();
}

void frmMain::mnuExit_Click() { close(); }

void frmMain::mnuExitRec_Click() { mnuExit_Click(); }

}  // namespace wsx
