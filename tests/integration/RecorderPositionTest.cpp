// The position timer, the slider's scale and seeking.
#include "support/RecorderFixture.h"
#include "ui_frmMain.h"

#include <QMouseEvent>

using namespace wsx;
using wsx::test::RecorderTest;

using Position = RecorderTest;

TEST_F(Position, TheScaleStaysASecondAheadWhileRecording) {
    window->cmdRecord_Click();
    tickAfter(1500);
    EXPECT_EQ(window->ui->Slider->value(), 2);    // 1.5 → 2
    EXPECT_EQ(window->ui->Slider->maximum(), 2);  // 2.5 → 2
    tickAfter(900);                               // 2.4 s
    EXPECT_EQ(window->ui->Slider->maximum(), 3);
    EXPECT_EQ(window->ui->Slider->value(), 2);
    EXPECT_EQ(window->ui->lblLen->text(), "文件长度：00:02");
    tickAfter(200);  // 2.6 s
    EXPECT_EQ(window->ui->Slider->maximum(), 4);
    EXPECT_EQ(window->ui->Slider->value(), 3);
    EXPECT_EQ(window->ui->lblPos->text(), "当前位置：00:03");
}

TEST_F(Position, DraggingWhilePlayingPausesAndResumesFromTheChosenSecond) {
    recordFor(5000);
    window->cmdStop_Click();
    window->cmdPlay_Click();
    tickAfter(1000);
    mci.take();
    window->Slider_MouseDown();
    EXPECT_FALSE(window->TimerMci.isActive());
    window->ui->Slider->setValue(3);
    backend.advance(500);  // the user holds the thumb: nothing plays
    window->Slider_MouseUp();
    EXPECT_EQ(mci.take(), (std::vector<std::string>{"pause RecordDev", "seek RecordDev to 3000",
                                                    "play RecordDev from 3000"}));
    EXPECT_TRUE(window->TimerMci.isActive());
    tickAfter(500);
    EXPECT_EQ(window->ui->lblPos->text(), "当前位置：00:04");  // 3.5 s → 4
}

TEST_F(Position, ReleaseWhileStoppedMovesOnlyTheDevice) {
    recordFor(4000);
    window->cmdStop_Click();
    const QString shown = window->ui->lblPos->text();
    mci.take();
    window->ui->Slider->setValue(1);
    window->Slider_MouseDown();
    window->Slider_MouseUp();
    EXPECT_EQ(mci.take(), (std::vector<std::string>{"pause RecordDev", "seek RecordDev to 1000"}));
    EXPECT_FALSE(window->TimerMci.isActive());
    EXPECT_EQ(window->ui->lblPos->text(), shown);
    window->cmdPlay_Click();  // plays on from there, not from the start
    tickAfter(0);
    EXPECT_EQ(window->ui->lblPos->text(), "当前位置：00:01");
}

TEST_F(Position, ASeekPastTheEndIsRefusedQuietly) {
    recordFor(2400);
    window->cmdStop_Click();
    window->ui->Slider->setValue(window->ui->Slider->maximum());  // 3 s, beyond the 2.4 s take
    window->Slider_MouseDown();
    window->Slider_MouseUp();
    EXPECT_NE(window->MciResult, 0);
    EXPECT_EQ(engine.device("RecordDev")->positionBytes(),
              engine.device("RecordDev")->lengthBytes());
}

TEST_F(Position, ATickWithoutADeviceChangesNothing) {
    recordFor(1000);
    window->cmdStop_Click();
    window->cmdPlay_Click();
    tickAfter(200);
    const QString pos = window->ui->lblPos->text(), len = window->ui->lblLen->text();
    const int value = window->ui->Slider->value(), maximum = window->ui->Slider->maximum();
    ASSERT_EQ(engine.mciSendString("close RecordDev", nullptr), 0u);  // the device is gone
    window->TimerMci_Timer();
    EXPECT_EQ(window->ui->lblPos->text(), pos);
    EXPECT_EQ(window->ui->lblLen->text(), len);
    EXPECT_EQ(window->ui->Slider->value(), value);
    EXPECT_EQ(window->ui->Slider->maximum(), maximum);
    EXPECT_TRUE(window->IsPlaying);
    EXPECT_TRUE(window->TimerMci.isActive());
}

// A click on the slider's track moves the thumb by the page step under the pinned style.
TEST_F(Position, ATrackClickStepsByThePageStep) {
    recordFor(9000);
    window->cmdStop_Click();
    window->show();
    window->ui->Slider->setValue(0);
    QApplication::processEvents();
    auto* slider = window->ui->Slider;
    const QPoint nearRightEnd(slider->width() - 4, slider->height() / 2);
    QMouseEvent press(QEvent::MouseButtonPress, nearRightEnd, slider->mapToGlobal(nearRightEnd),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(slider, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, nearRightEnd, slider->mapToGlobal(nearRightEnd),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(slider, &release);
    QApplication::processEvents();
    EXPECT_EQ(slider->value(), 5);
    EXPECT_EQ(mci.sent.back(), "seek RecordDev to 5000");
}
