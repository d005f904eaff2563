// Record, stop and play. The handlers do not look at the current state: the enabled state
// of the buttons decides what is possible. A record or play that fails even after its one
// retry leaves the window as it was and says why.
#include "engine/command/MciError.h"
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
    // The option buttons are enabled only until the first recording into this device.
    if (ui->opt11025->isEnabled()) {
        MciResult =
            m_record.MciSetSamplesPerSec(kDevice, ui->opt11025->isChecked() ? "11025" : "22050");
        MciResult = m_record.MciSetChannels(kDevice, ui->optSingle->isChecked() ? "1" : "2");
    }
    retryOnce(&ModuleRecord::MciRecordOverwrite);
    if (MciResult != 0) {
        const QString cause = MciResult == int32_t(mci::MCIERR_OUTOFRANGE)
                                  ? causeText("sizelimit")
                                  : causeText(m_record.MciStatusReason(kDevice));
        tellFailure(QStringLiteral("无法开始录音：%1。").arg(cause));
        return;
    }
    applyState(WindowState::Recording);
    ui->cmdStop->setFocus();
    IsChanged = true;
}

void frmMain::cmdPlay_Click() {
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
    if (MciResult != 0) {
        tellFailure(
            QStringLiteral("无法播放：%1。").arg(causeText(m_record.MciStatusReason(kDevice))));
        return;
    }
    applyState(WindowState::Playing);
    ui->cmdStop->setFocus();
}

void frmMain::cmdStop_Click() {
    // Stopping means pausing: the position stays where the sound got to.
    MciResult = m_record.MciPause(kDevice);
    applyState(WindowState::Stopped);
    ui->cmdRecord->setFocus();
}

}  // namespace wsx
