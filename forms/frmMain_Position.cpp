// Position display, end of playback and seeking with the slider. Seconds on the slider are
// milliseconds ÷ 1000 rounded half to even.
#include "frmMain.h"
#include "ui_frmMain.h"

namespace wsx {

namespace {
int seconds(double ms) { return int(roundHalfEven(ms / 1000.0)); }
}  // namespace

void frmMain::TimerMci_Timer() {
    const std::string positionText = m_record.MciGetPosition(kDevice);
    const std::string lengthText = m_record.MciGetLength(kDevice);
    const auto position = parseMilliseconds(positionText);
    const auto length = parseMilliseconds(lengthText);
    // A device that does not answer (no sound server, element not open) leaves the labels,
    // the slider and the flags as they were; the next tick asks again.
    if (!position || !length) return;
    if (stoppedByItself()) return;
    if (IsRecording) tellSilenceOnce();
    // While recording the scale grows with the take and stays a second ahead of it.
    const int maximum =
        IsPlaying ? seconds(double(*length)) : int(roundHalfEven(double(*position) / 1000.0 + 1));
    // The end of the sound stops playback as Stop would, without pausing the device.
    const bool playedToEnd = IsPlaying && *length == *position;
    showPosition(positionText, lengthText, maximum);
    if (playedToEnd) applyState(WindowState::Stopped);
}

void frmMain::showPosition(const std::string& positionText, const std::string& lengthText,
                           int sliderMaximum) {
    ui->lblPos->setText(QStringLiteral("当前位置：") +
                        QString::fromStdString(ModuleRecord::FormatTime(positionText)));
    ui->lblLen->setText(QStringLiteral("文件长度：") +
                        QString::fromStdString(ModuleRecord::FormatTime(lengthText)));
    ui->Slider->setMaximum(sliderMaximum);
    // A reply that is not a number (no device) shows the slider at the start.
    ui->Slider->setValue(seconds(double(parseMilliseconds(positionText).value_or(0))));
}

void frmMain::Slider_MouseDown() {
    TimerMci.stop();
    MciResult = m_record.MciPause(kDevice);
}

void frmMain::Slider_MouseUp() {
    const int32_t target = int32_t(ui->Slider->value()) * 1000;
    const std::string targetText = std::to_string(target);
    MciResult = m_record.MciSeek(kDevice, targetText);
    if (IsPlaying) {
        retryOnce(&ModuleRecord::MciPlayFrom, targetText);
        TimerMci.start();
    }
}

}  // namespace wsx
