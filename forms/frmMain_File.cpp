// New recording and Save As.
#include "engine/command/MciError.h"
#include "engine/files/SoundExport.h"
#include "frmMain.h"
#include "ui_frmMain.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProgressDialog>
#include <QTimer>

#include <algorithm>
#include <iterator>

namespace wsx {

namespace {

// The dialog's filters in order, WAV first (the default), and the type each one saves.
const QString kSaveFilter = QStringLiteral(
    "Wave文件(*.wav)|*.wav|FLAC文件(*.flac)|*.flac|Opus文件(*.opus)|*.opus|MP3文件(*.mp3)|*.mp3");
constexpr mci::SoundFileType kFilterTypes[] = {mci::SoundFileType::Wav, mci::SoundFileType::Flac,
                                               mci::SoundFileType::Opus, mci::SoundFileType::Mp3};
constexpr int kShowProgressAfterMs = 1000;
constexpr int kPollMs = 50;

}  // namespace

bool frmMain::waitForBackgroundSave(const QString& fileName) {
    const auto saving = [this] { return m_record.MciGetSaving(kDevice) == "true"; };
    const auto percent = [this] {
        return QString::fromStdString(m_record.MciGetSaveProgress(kDevice)).toInt();
    };
    // Most saves end within the first second; the window takes no clicks meanwhile.
    QElapsedTimer clock;
    clock.start();
    QEventLoop firstSecond;
    QTimer poll;
    poll.setInterval(kPollMs);
    QObject::connect(&poll, &QTimer::timeout, &firstSecond, [&] {
        if (!saving() || clock.elapsed() >= kShowProgressAfterMs) firstSecond.quit();
    });
    poll.start();
    firstSecond.exec(QEventLoop::ExcludeUserInputEvents);
    poll.stop();
    if (!saving()) return true;

    QProgressDialog progress(QStringLiteral("正在保存“%1”…").arg(QFileInfo(fileName).fileName()),
                             QStringLiteral("取消"), 0, 100, this);
    progress.setWindowTitle(kAppTitle);
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setMinimumDuration(0);
    progress.setValue(percent());
    bool cancelled = false;
    QEventLoop untilDone;
    QObject::connect(&poll, &QTimer::timeout, &untilDone, [&] {
        if (!saving()) return untilDone.quit();
        progress.setValue(percent());
    });
    QObject::connect(&progress, &QProgressDialog::canceled, &untilDone, [&] {
        m_record.MciStop(kDevice);  // returns once the encoder stopped and its file is gone
        cancelled = true;
        untilDone.quit();
    });
    poll.start();
    progress.show();
    untilDone.exec();
    return !cancelled;
}

using platform::MsgBoxButtons;
using platform::MsgBoxIcon;
using platform::MsgBoxResult;
using platform::SaveDialogResult;

void frmMain::mnuSaveAs_Click() {
    MciResult = m_record.MciPause(kDevice);
    TimerMci.stop();
    dlgMciSave.DialogTitle = QStringLiteral("另存为");
    dlgMciSave.Filter = kSaveFilter;
    const SaveDialogResult shown = dlgMciSave.ShowSave(this);
    if (shown == SaveDialogResult::Chosen) {
        // The typed extension chooses the format; a bare name gets the selected filter's.
        const int filter = std::clamp(dlgMciSave.FilterIndex, 1, int(std::size(kFilterTypes)));
        const mci::SaveTarget target =
            mci::chooseSaveTarget(dlgMciSave.FileName.toStdString(), kFilterTypes[filter - 1]);
        dlgMciSave.FileName = QString::fromStdString(target.fileName);
        MciResult = m_record.MciSave(kDevice, target.fileName);
        bool cancelled = false;
        if (MciResult == 0 && target.type != mci::SoundFileType::Wav) {
            cancelled = !waitForBackgroundSave(dlgMciSave.FileName);
            if (!cancelled && m_record.MciStatusReason(kDevice) != "none")
                MciResult = mci::MCIERR_FILE_NOT_SAVED;
        }
        const bool saved = MciResult == 0 && !cancelled;
        if (cancelled) {
            dlgMciSave.FileName.clear();  // like a cancelled dialog: the recording stays unsaved
        } else if (!saved) {
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
    showPosition("0", "0", 1);
    // The tray shows the resting icon before it says it is waiting.
    showFrame(QStringLiteral("default"));
    applyState(WindowState::Empty);
    ui->cmdRecord->setFocus();
    IsChanged = false;
}

}  // namespace wsx
