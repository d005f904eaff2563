// New recording and Save As.
#include "frmMain.h"
#include "ui_frmMain.h"

namespace wsx {

using platform::MsgBoxButtons;
using platform::MsgBoxIcon;
using platform::MsgBoxResult;
using platform::SaveDialogResult;

void frmMain::mnuSaveAs_Click() {
    MciResult = m_record.MciPause(kDevice);
    TimerMci.stop();
    dlgMciSave.DialogTitle = QStringLiteral("另存为");
    dlgMciSave.Filter = QStringLiteral("Wave文件(*.wav)|*.wav");
    const SaveDialogResult shown = dlgMciSave.ShowSave(this);
    if (shown == SaveDialogResult::Chosen) {
        MciResult = m_record.MciSave(kDevice, dlgMciSave.FileName.toStdString());
        const bool saved = MciResult == 0;
        if (!saved) {
            // Nothing was written: say so, keep the recording unsaved, and empty the chosen
            // name so that the close check and New do not take the recording for saved.
            m_services.dialogs.MsgBox(
                this,
                QStringLiteral("无法保存文件“%1”：%2。")
                    .arg(dlgMciSave.FileName, causeText(m_record.MciStatusReason(kDevice))),
                MsgBoxButtons::Ok, MsgBoxIcon::Critical, kAppTitle);
            dlgMciSave.FileName.clear();
        }
        if (IsPlaying) {
            retryOnce(&ModuleRecord::MciPlay);
            TimerMci.start();
        }
        if (saved) IsChanged = false;
    } else if (shown == SaveDialogResult::Cancelled) {
        if (IsPlaying) retryOnce(&ModuleRecord::MciPlay);
        if (IsRecording) retryOnce(&ModuleRecord::MciRecordOverwrite);
        TimerMci.start();
        dlgMciSave.FileName.clear();
    } else {
        m_services.dialogs.MsgBox(this, dlgMciSave.Error, MsgBoxButtons::Ok, MsgBoxIcon::None,
                                  kAppTitle);
    }
}

void frmMain::mnuNew_Click() {
    if (IsChanged) {
        const MsgBoxResult answer = m_services.dialogs.MsgBox(
            this, QStringLiteral("文件声音已经更改，是否保存所做的修改？"),
            MsgBoxButtons::YesNoCancel, MsgBoxIcon::Question, kAppTitle);
        if (answer == MsgBoxResult::Yes) {
            mnuSaveAs_Click();
            if (dlgMciSave.FileName.isEmpty()) return;
        } else if (answer == MsgBoxResult::Cancel) {
            return;
        }
    }
    ui->opt22050->setChecked(true);
    ui->optDouble->setChecked(true);
    MciResult = m_record.MciClose(kDevice);
    m_record.MciOpenNew();
    MciResult = 0;
    ui->Slider->setValue(0);
    ui->Slider->setMaximum(1);
    ui->lblLen->setText(QStringLiteral("文件长度：00:00"));
    ui->lblPos->setText(QStringLiteral("当前位置：00:00"));
    // The tray shows the resting icon before it says it is waiting.
    showFrame(QStringLiteral("default"));
    applyState(WindowState::Empty);
    ui->cmdRecord->setFocus();
    IsChanged = false;
}

}  // namespace wsx
