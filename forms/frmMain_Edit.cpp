// Deleting everything before or after the current position.
#include "frmMain.h"
#include "ui_frmMain.h"

namespace wsx {

using platform::MsgBoxButtons;
using platform::MsgBoxIcon;
using platform::MsgBoxResult;

namespace {
// A reply that is not a number (no device) counts as 0 ms: the recording is then shown as
// empty, which is what a device that lost its element holds.
int64_t millisecondsOr0(const std::string& text) { return parseMilliseconds(text).value_or(0); }
}  // namespace

void frmMain::mnuDelFore_Click() {
    if (m_services.dialogs.MsgBox(this, QStringLiteral("确实删除当前位置之前的内容吗？"),
                                  MsgBoxButtons::YesNo, MsgBoxIcon::Question,
                                  kAppTitle) != MsgBoxResult::Yes)
        return;
    MciResult = m_record.MciDeleteTo(kDevice);
    // Nothing is left before the position.
    ui->mnuDelFore->setEnabled(false);
    refreshAfterCut(/*plusOneSecond=*/true);
}

void frmMain::mnuDelBack_Click() {
    if (m_services.dialogs.MsgBox(this, QStringLiteral("确实删除当前位置之后的内容吗？"),
                                  MsgBoxButtons::YesNo, MsgBoxIcon::Question,
                                  kAppTitle) != MsgBoxResult::Yes)
        return;
    MciResult = m_record.MciDeleteFrom(kDevice);
    // Nothing is left after the position.
    ui->mnuDelBack->setEnabled(false);
    refreshAfterCut(/*plusOneSecond=*/false);
}

void frmMain::refreshAfterCut(bool plusOneSecond) {
    const std::string lengthText = m_record.MciGetLength(kDevice);
    const int64_t length = millisecondsOr0(lengthText);
    int maximum = 1;
    if (length != 0) {
        maximum = int(roundHalfEven(double(length) / 1000.0 + (plusOneSecond ? 1 : 0)));
    } else {
        applyState(WindowState::EmptiedByCut);
    }
    showPosition(m_record.MciGetPosition(kDevice), lengthText, maximum);
}

}  // namespace wsx
