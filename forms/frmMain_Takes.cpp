// Takes an earlier run left behind, and ending without a question. The sound device keeps
// every take on disk while it is recorded (see engine/take/TakeStore.h): a killed or
// crashed program loses at most the last moments of it.
#include "engine/take/TakeStore.h"
#include "frmMain.h"
#include "ui_frmMain.h"

#include <QDateTime>

#include <algorithm>

namespace wsx {

using platform::MsgBoxButtons;
using platform::MsgBoxIcon;
using platform::MsgBoxResult;

void frmMain::putAwayForSleep() {
    if (IsRecording) {
        cmdStop_Click();  // the pause writes out, flushes and journals what was captured
        m_pausedForSleepAt =
            QString::fromStdString(ModuleRecord::FormatTime(m_record.MciGetPosition(kDevice)));
    }
    m_services.sleep->readyForSleep();
}

void frmMain::tellWokeUp() {
    if (m_pausedForSleepAt.isEmpty()) return;
    const QString at = std::exchange(m_pausedForSleepAt, QString());
    tellUser(QStringLiteral("电脑睡眠前，录音在 %1 处暂停了，已经录下的都保留着。").arg(at),
             MsgBoxIcon::Information);
}

void frmMain::RecoverLeftTake() {
    // Only into an untouched window: a hot key may have started a recording already.
    if (m_services.takeFolder.empty() || IsChanged || IsRecording || IsPlaying) return;
    const std::vector<mci::TakeInfo> left = mci::TakeStore(m_services.takeFolder).orphans();
    const mci::TakeInfo* offer = nullptr;
    for (const mci::TakeInfo& take : left) {
        // Only what is known to hold nothing unsaved goes unasked: no sound at all, or a
        // save as the last edit of a journal read to its end.
        if (take.readable && (take.empty || (take.savedUnchanged && !take.editsLost)))
            mci::TakeStore::remove(take.folder);
        else if (!offer) offer = &take;
    }
    if (!offer) return;
    const QString folder = QString::fromStdString(offer->folder.string());
    if (!offer->readable) {
        m_services.dialogs.MsgBox(
            this,
            QStringLiteral("上次中断的录音无法读取，不能恢复。它仍保存在“%1”中。").arg(folder),
            MsgBoxButtons::Ok, MsgBoxIcon::Critical, kAppTitle);
        return;
    }
    const QString length =
        QString::fromStdString(ModuleRecord::FormatTime(std::to_string(offer->lengthMs)));
    const QString started = QDateTime::fromSecsSinceEpoch(offer->format.createdUnixSeconds)
                                .toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    const QString lost = offer->editsLost
                             ? QStringLiteral("最后的几步编辑无法读取，只能恢复读得出的部分。")
                             : QString();
    const MsgBoxResult answer = m_services.dialogs.MsgBox(
        this,
        QStringLiteral("上次的录音没有保存就中断了（长度 %1，开始于 %2）。%3是否恢复这段录音？")
            .arg(length, started, lost),
        MsgBoxButtons::YesNoCancel, MsgBoxIcon::Question, kAppTitle);
    if (answer == MsgBoxResult::No) {
        if (m_services.dialogs.MsgBox(this, QStringLiteral("确实放弃这段录音吗？放弃后无法找回。"),
                                      MsgBoxButtons::YesNoNoDefault, MsgBoxIcon::Question,
                                      kAppTitle) == MsgBoxResult::Yes)
            mci::TakeStore::remove(offer->folder);
        return;
    }
    if (answer != MsgBoxResult::Yes || IsChanged || IsRecording || IsPlaying) return;

    MciResult = m_record.MciClose(kDevice);
    MciResult = m_record.MciOpenTake(offer->folder.string());
    if (MciResult != 0) {
        const int32_t failed = MciResult;
        m_record.MciOpenNew();
        MciResult = m_record.MciSetTimeFormat(kDevice, 2);
        m_services.dialogs.MsgBox(this,
                                  QStringLiteral("无法恢复这段录音（错误 %1）。它仍保存在“%2”中。")
                                      .arg(failed)
                                      .arg(folder),
                                  MsgBoxButtons::Ok, MsgBoxIcon::Critical, kAppTitle);
        return;
    }
    MciResult = m_record.MciSetTimeFormat(kDevice, 2);
    // The options show the take's format; they stay closed, as after any recording.
    ui->opt11025->setChecked(offer->format.format.sampleRate == 11025);
    ui->opt22050->setChecked(offer->format.format.sampleRate != 11025);
    ui->optSingle->setChecked(offer->format.format.channels == 1);
    ui->optDouble->setChecked(offer->format.format.channels != 1);
    IsChanged = true;
    applyState(WindowState::Stopped);
    showRecoveredTake();
}

void frmMain::showRecoveredTake() {
    const std::string lengthText = m_record.MciGetLength(kDevice);
    const int64_t length = parseMilliseconds(lengthText).value_or(0);
    showPosition("0", lengthText, std::max(1, int(roundHalfEven(double(length) / 1000.0))));
    ui->cmdPlay->setFocus();
}

void frmMain::EndSession() {
    if (m_unloaded) return;
    // The take is left complete: a recording or playback under way ends first.
    m_keepTake = IsChanged;
    if (m_keepTake) MciResult = m_record.MciPause(kDevice);
    int16_t cancel = 0;
    Form_Unload(cancel);
    emit unloaded();
}

}  // namespace wsx
