// Record, stop and play: every control, menu item, timer and flag in each state the
// transport reaches, and the device commands behind them.
#include "support/RecorderFixture.h"
#include "ui_frmMain.h"

using namespace wsx;
using wsx::test::RecorderTest;

namespace {

// What a state shows, as one comparable line per item.
struct View {
    bool cmdRecord, mnuRecord, cmdStop, mnuStop, cmdPlay, mnuPlay, mnuSaveAs, mnuDelFore,
        mnuDelBack, Slider, options, TimerMci, TimerRecord, TimerPlay, TimerStop, IsRecording,
        IsPlaying;
    std::string tip;
    bool operator==(const View&) const = default;
};

std::ostream& operator<<(std::ostream& os, const View& v) {
    return os << "rec " << v.cmdRecord << v.mnuRecord << " stop " << v.cmdStop << v.mnuStop
              << " play " << v.cmdPlay << v.mnuPlay << " save " << v.mnuSaveAs << " del "
              << v.mnuDelFore << v.mnuDelBack << " slider " << v.Slider << " options " << v.options
              << " timers " << v.TimerMci << v.TimerRecord << v.TimerPlay << v.TimerStop
              << " flags " << v.IsRecording << v.IsPlaying << " tip " << v.tip;
}

}  // namespace

class WindowTransport : public RecorderTest {
protected:
    View view() {
        const auto& u = *window->ui;
        const bool options = u.opt11025->isEnabled() && u.opt22050->isEnabled() &&
                             u.optSingle->isEnabled() && u.optDouble->isEnabled();
        return View{u.cmdRecord->isEnabled(),
                    u.mnuRecord->isEnabled(),
                    u.cmdStop->isEnabled(),
                    u.mnuStop->isEnabled(),
                    u.cmdPlay->isEnabled(),
                    u.mnuPlay->isEnabled(),
                    u.mnuSaveAs->isEnabled(),
                    u.mnuDelFore->isEnabled(),
                    u.mnuDelBack->isEnabled(),
                    u.Slider->isEnabled(),
                    options,
                    window->TimerMci.isActive(),
                    window->TimerRecord.isActive(),
                    window->TimerPlay.isActive(),
                    window->TimerStop.isActive(),
                    window->IsRecording,
                    window->IsPlaying,
                    tray.calls.back().tip};
    }
};

TEST_F(WindowTransport, EachStateShowsItsRow) {
    //                 rec        stop       play       save  fore  back  sldr  opts  Mci   Rec   Play  Stop  IsR   IsP
    EXPECT_EQ(view(), (View{true, true, false, false, false, false, false, false, false, false,
                            true, false, false, false, false, false, false, "等待录音"}));
    EXPECT_TRUE(window->ui->opt22050->isChecked());
    EXPECT_TRUE(window->ui->optDouble->isChecked());

    window->cmdRecord_Click();
    EXPECT_EQ(view(), (View{false, false, true, true, false, false, false, false, false, false,
                            false, true, true, false, false, true, false, "正在录音..."}));
    EXPECT_TRUE(window->IsChanged);
    tickAfter(1200);

    window->cmdStop_Click();
    EXPECT_EQ(view(), (View{true, true, false, false, true, true, true, true, true, true, false,
                            false, false, false, true, false, false, "已经停止..."}));

    window->cmdPlay_Click();
    EXPECT_EQ(view(), (View{false, false, true, true, false, false, true, false, false, true, false,
                            true, false, true, false, false, true, "正在播放..."}));

    tickAfter(1300);  // past the end: the tick finds position == length
    EXPECT_EQ(view(), (View{true, true, false, false, true, true, true, true, true, true, false,
                            false, false, false, true, false, false, "已经停止..."}));
    EXPECT_EQ(window->ui->Slider->value(), window->ui->Slider->maximum());
}

TEST_F(WindowTransport, PlayAfterStopStartsFromTheBeginningWhenAtTheEnd) {
    recordFor(1000);
    window->cmdStop_Click();
    mci.take();
    window->cmdPlay_Click();
    const auto sent = mci.take();
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent[2], "play RecordDev from 0");
    tickAfter(400);
    window->cmdStop_Click();
    mci.take();
    window->cmdPlay_Click();  // goes on from 400 ms
    EXPECT_EQ(mci.take()[2], "play RecordDev");
    tickAfter(100);
    EXPECT_EQ(window->ui->lblPos->text(), "当前位置：00:00");  // 500 ms: half to even
    tickAfter(100);
    EXPECT_EQ(window->ui->lblPos->text(), "当前位置：00:01");
}

TEST_F(WindowTransport, FirstRecordSendsTheChosenFormatAndLaterOnesDoNot) {
    window->ui->opt11025->setChecked(true);
    window->ui->optSingle->setChecked(true);
    mci.take();
    recordFor(500);
    auto sent = mci.take();
    EXPECT_EQ(sent[0], "set RecordDev Samplespersec 11025");
    EXPECT_EQ(sent[1], "set RecordDev channels 1");
    EXPECT_EQ(sent[2], "record RecordDev overwrite");
    window->cmdStop_Click();
    // Seek into the middle, then record again: it overwrites from there, no format sent.
    window->ui->Slider->setValue(0);
    window->Slider_MouseDown();
    window->Slider_MouseUp();
    mci.take();
    window->cmdRecord_Click();
    sent = mci.take();
    EXPECT_EQ(sent, std::vector<std::string>{"record RecordDev overwrite"});
    EXPECT_FALSE(window->ui->opt11025->isEnabled());
    EXPECT_EQ(engine.device("RecordDev")->format().sampleRate, 11025u);
}

TEST_F(WindowTransport, AFailedRecordIsRetriedOnceThenSaysWhyAndChangesNothing) {
    window->show();  // shown, the news comes in a box (hidden, beside the tray icon)
    backend.setCaptureError(audio::OpenError::NoServer);
    mci.take();
    window->cmdRecord_Click();
    const auto sent = mci.take();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "record RecordDev overwrite"), 2);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "pause RecordDev"), 1);
    EXPECT_NE(window->MciResult, 0);
    // Showing "recording" over nothing, and later saving an empty file, would pass a
    // failure off as success: the window stays idle and says why.
    EXPECT_FALSE(window->IsRecording);
    EXPECT_FALSE(window->IsChanged);
    EXPECT_FALSE(window->ui->cmdStop->isEnabled());
    EXPECT_TRUE(window->ui->cmdRecord->isEnabled());
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].text,
              "无法开始录音：没有找到声音服务器（PulseAudio 或 PipeWire）。");
    EXPECT_EQ(dialogs.asked[0].buttons, platform::MsgBoxButtons::Ok);
    EXPECT_EQ(dialogs.asked[0].title, "万声匣");
    // Once the server is there, Record records.
    backend.setCaptureError(audio::OpenError::None);
    window->cmdRecord_Click();
    EXPECT_TRUE(window->IsRecording);
    EXPECT_TRUE(window->IsChanged);
}

TEST_F(WindowTransport, CommandsFromTheHiddenWindowGiveTheSameState) {
    window->show();
    window->setWindowState(Qt::WindowMinimized);
    QApplication::processEvents();
    ASSERT_FALSE(window->isVisible());
    window->ui->mnuRecord->trigger();
    tickAfter(300);
    window->ui->mnuStop->trigger();
    EXPECT_FALSE(window->IsRecording);
    EXPECT_TRUE(window->ui->cmdPlay->isEnabled());
    EXPECT_TRUE(window->TimerStop.isActive());
    EXPECT_EQ(engine.device("RecordDev")->mode(), mci::WaveAudioDevice::Mode::Paused);
}
