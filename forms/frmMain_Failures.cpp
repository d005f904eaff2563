// Failures the user is told about: in a box or a tray notification, with the device's
// reason in plain words, a recording or playback the device stopped by itself, and a
// recording the device had to fill with silence because no sound came.
#include "frmMain.h"

#include <QLoggingCategory>

#include <algorithm>

namespace wsx {

namespace {
Q_LOGGING_CATEGORY(lcWindow, "wsx.window")
}  // namespace

using platform::MsgBoxButtons;
using platform::MsgBoxIcon;

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

}  // namespace wsx
