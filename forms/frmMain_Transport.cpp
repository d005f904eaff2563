// Record, stop and play. The handlers do not look at the current state: the enabled state
// of the buttons decides what is possible. Device failures only land in MciResult.
#include "frmMain.h"
#include "ui_frmMain.h"

namespace wsx {

void frmMain::retryOnce(int32_t (ModuleRecord::*command)(const std::string&)) {
    MciResult = (m_record.*command)(kDevice);
    if (MciResult != 0) {
        MciResult = m_record.MciPause(kDevice);
        MciResult = (m_record.*command)(kDevice);
    }
}

void frmMain::retryOnce(int32_t (ModuleRecord::*command)(const std::string&, const std::string&),
                        const std::string& argument) {
    MciResult = (m_record.*command)(kDevice, argument);
    if (MciResult != 0) {
        MciResult = m_record.MciPause(kDevice);
        MciResult = (m_record.*command)(kDevice, argument);
    }
}

void frmMain::cmdRecord_Click() {
    IsPlaying = false;
    IsRecording = true;
    // The option buttons are enabled only until the first recording into this device.
    if (ui->opt11025->isEnabled()) {
        MciResult =
            m_record.MciSetSamplesPerSec(kDevice, ui->opt11025->isChecked() ? "11025" : "22050");
        MciResult = m_record.MciSetChannels(kDevice, ui->optSingle->isChecked() ? "1" : "2");
    }
    for (QWidget* w : {static_cast<QWidget*>(ui->opt11025), static_cast<QWidget*>(ui->opt22050),
                       static_cast<QWidget*>(ui->optSingle), static_cast<QWidget*>(ui->optDouble)})
        w->setEnabled(false);
    retryOnce(&ModuleRecord::MciRecordOverwrite);
    TimerMci.start();
    ui->cmdRecord->setEnabled(false);
    ui->mnuRecord->setEnabled(false);
    ui->cmdStop->setEnabled(true);
    ui->mnuStop->setEnabled(true);
    ui->cmdStop->setFocus();
    ui->cmdPlay->setEnabled(false);
    for (QAction* item : {ui->mnuPlay, ui->mnuSaveAs, ui->mnuDelFore, ui->mnuDelBack})
        item->setEnabled(false);
    ui->Slider->setEnabled(false);
    m_tray.TraySetTip("正在录音...");
    TimerRecord.start();
    TimerStop.stop();
    IsChanged = true;
}

void frmMain::cmdPlay_Click() {
    IsPlaying = true;
    IsRecording = false;
    const std::string position = m_record.MciGetPosition(kDevice);
    const std::string length = m_record.MciGetLength(kDevice);
    if (position == length) {
        // At the end (right after recording, or after a play ran out): from the start.
        MciResult = m_record.MciPlayFrom(kDevice, "0");
        if (MciResult != 0) {
            MciResult = m_record.MciPause(kDevice);
            MciResult = m_record.MciPlay(kDevice);
        }
    } else {
        retryOnce(&ModuleRecord::MciPlay);
    }
    TimerMci.start();
    TimerStop.stop();
    TimerPlay.start();
    m_tray.TraySetTip("正在播放...");
    ui->cmdPlay->setEnabled(false);
    ui->mnuPlay->setEnabled(false);
    ui->cmdStop->setEnabled(true);
    ui->mnuStop->setEnabled(true);
    ui->cmdStop->setFocus();
    ui->cmdRecord->setEnabled(false);
    ui->mnuRecord->setEnabled(false);
    ui->Slider->setEnabled(true);
    ui->mnuDelFore->setEnabled(false);
    ui->mnuDelBack->setEnabled(false);
}

void frmMain::cmdStop_Click() {
    IsPlaying = false;
    IsRecording = false;
    TimerMci.stop();
    // Stopping means pausing: the position stays where the sound got to.
    MciResult = m_record.MciPause(kDevice);
    ui->cmdRecord->setEnabled(true);
    ui->mnuRecord->setEnabled(true);
    ui->cmdPlay->setEnabled(true);
    ui->mnuPlay->setEnabled(true);
    ui->cmdStop->setEnabled(false);
    ui->mnuStop->setEnabled(false);
    m_tray.TraySetTip("已经停止...");
    TimerStop.start();
    TimerRecord.stop();
    TimerPlay.stop();
    ui->mnuDelFore->setEnabled(true);
    ui->mnuDelBack->setEnabled(true);
    ui->mnuSaveAs->setEnabled(true);
    ui->Slider->setEnabled(true);
    ui->cmdRecord->setFocus();
}

}  // namespace wsx
