// Takes an earlier run left behind, failures the user is told about, and ending without a
// question. The sound device keeps every take on disk while it is recorded (see
// engine/TakeStore.h): a killed or crashed program loses at most the last moments of it.
#include "engine/TakeStore.h"
#include "frmMain.h"
#include "ui_frmMain.h"

#include <QDateTime>
#include <QLoggingCategory>

#include <algorithm>

namespace wsx {

namespace {
Q_LOGGING_CATEGORY(lcWindow, "wsx.window")
}  // namespace

using platform::MsgBoxButtons;
using platform::MsgBoxIcon;
using platform::MsgBoxResult;

QString frmMain::causeText(const std::string& reason) {
    static const std::pair<const char*, const char*> kCauses[] = {
        {"noserver", "没有找到声音服务器（PulseAudio 或 PipeWire）"},
        {"nodevice", "声音服务器上没有可用的声音设备"},
        {"folder", "无法在录音文件夹中写入"},
        {"diskfull", "磁盘空间已满"},
        {"serverlost", "与声音服务器的连接中断了"},
        {"sizelimit", "录音已达到一个 WAV 文件能容纳的上限（4 GB）"},
        {"nofolder", "文件夹不存在"},
        {"permission", "没有写入的权限"},
        {"nametoolong", "文件名太长"},
        {"notregular", "同名的不是普通文件，不能替换"},
        {"ioerror", "写入时出错"},
    };
    for (const auto& [word, text] : kCauses)
        if (reason == word) return QString::fromUtf8(text);
    return QStringLiteral("声音设备没有说明原因");
}

void frmMain::tellFailure(const QString& text) {
    qCWarning(lcWindow).noquote() << text;
    tellUser(text, MsgBoxIcon::Critical);
}

void frmMain::tellUser(const QString& text, MsgBoxIcon icon) {
    const bool shown = isVisible() && !(windowState() & Qt::WindowMinimized);
    if (!shown && m_inTray && m_services.tray.trayAvailable()) {
        m_tray.TrayNotify(kAppTitle.toStdString(), text.toStdString());
        return;
    }
    m_services.dialogs.MsgBox(this, text, MsgBoxButtons::Ok, icon, kAppTitle);
}

void frmMain::tellSilenceOnce() {
    const std::optional<int64_t> ms = parseMilliseconds(m_record.MciGetSilence(kDevice));
    if (!ms) return;
    // A new element starts again at 0, and is told again.
    if (*ms == 0) m_silenceTold = false;
    if (m_silenceTold || *ms == 0) return;
    m_silenceTold = true;
    const int64_t seconds = std::max<int64_t>(1, (*ms + 500) / 1000);
    const QString text =
        QStringLiteral("录音中有 %1 秒没有收到声音，这段用静音补上了。").arg(seconds);
    qCWarning(lcWindow).noquote() << text;
    tellUser(text, MsgBoxIcon::Information);
}

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

bool frmMain::stoppedByItself() {
    if ((!IsRecording && !IsPlaying) || m_record.MciGetMode(kDevice) != "paused") return false;
    // The window pauses the device itself while a question is open (closing, New): that
    // pause has no reason. A take the device ended has one.
    const std::string reason = m_record.MciStatusReason(kDevice);
    if (reason.empty() || reason == "none") return false;
    const bool wasRecording = IsRecording;
    applyState(WindowState::Stopped);
    const QString cause = causeText(reason);
    if (wasRecording) {
        const QString length =
            QString::fromStdString(ModuleRecord::FormatTime(m_record.MciGetLength(kDevice)));
        tellFailure(QStringLiteral("录音停止了：%1。已经录下的 %2 都保留着，可以播放和保存。")
                        .arg(cause, length));
    } else {
        tellFailure(QStringLiteral("播放停止了：%1。").arg(cause));
    }
    return true;
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
    ui->lblLen->setText(QStringLiteral("文件长度：") +
                        QString::fromStdString(ModuleRecord::FormatTime(lengthText)));
    ui->lblPos->setText(QStringLiteral("当前位置：00:00"));
    ui->Slider->setMaximum(std::max(
        1, int(roundHalfEven(double(parseMilliseconds(lengthText).value_or(0)) / 1000.0))));
    ui->Slider->setValue(0);
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
