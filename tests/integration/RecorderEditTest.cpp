// Deleting before or after the current position, checked down to the saved samples.
#include "support/RecorderFixture.h"
#include "support/WavReader.h"
#include "ui_frmMain.h"

using namespace wsx;
using platform::MsgBoxResult;
using platform::SaveDialogResult;
using wsx::test::constantSignal;
using wsx::test::RecorderTest;

class Edit : public RecorderTest {
protected:
    // 10.4 s of sound: the first 5.8 s at 100, the rest at 200; stopped with the position
    // at `atMs` (whole seconds, as the slider seeks).
    void tenPointFourSeconds(int atSeconds) {
        backend.setSignal(constantSignal(100));
        window->cmdRecord_Click();
        tickAfter(5800);
        backend.setSignal(constantSignal(200));
        tickAfter(4600);
        window->cmdStop_Click();
        window->ui->Slider->setValue(atSeconds);
        window->Slider_MouseDown();
        window->Slider_MouseUp();
    }
    std::vector<int16_t> savedLeftChannel() {
        const auto file = tmp.path() / "cut.wav";
        dialogs.saves = {{SaveDialogResult::Chosen, QString::fromStdString(file.string())}};
        window->mnuSaveAs_Click();
        const auto wav = test::readWav(file);
        EXPECT_TRUE(wav.has_value());
        std::vector<int16_t> left;
        if (!wav) return left;
        const auto all = test::samples16(wav->data);
        for (size_t i = 0; i < all.size(); i += 2) left.push_back(all[i]);
        return left;
    }
};

TEST_F(Edit, NoLeavesEverythingAsItWas) {
    tenPointFourSeconds(4);
    dialogs.answers = {MsgBoxResult::No, MsgBoxResult::No};
    mci.take();
    window->mnuDelFore_Click();
    window->mnuDelBack_Click();
    EXPECT_TRUE(mci.take().empty());
    EXPECT_TRUE(window->ui->mnuDelFore->isEnabled());
    EXPECT_TRUE(window->ui->mnuDelBack->isEnabled());
    EXPECT_EQ(dialogs.asked[0].text, "确实删除当前位置之前的内容吗？");
    EXPECT_EQ(dialogs.asked[1].text, "确实删除当前位置之后的内容吗？");
    EXPECT_EQ(dialogs.asked[1].buttons, platform::MsgBoxButtons::YesNo);
}

TEST_F(Edit, DeleteBeforeKeepsTheRestAndScalesTheSliderASecondBeyond) {
    tenPointFourSeconds(6);  // 4.4 s remain
    dialogs.answers = {MsgBoxResult::Yes};
    window->mnuDelFore_Click();
    EXPECT_NE(std::find(mci.sent.begin(), mci.sent.end(), "delete RecordDev from 0 to 6000"),
              mci.sent.end());
    EXPECT_FALSE(window->ui->mnuDelFore->isEnabled());
    EXPECT_TRUE(window->ui->mnuDelBack->isEnabled());
    EXPECT_EQ(window->ui->lblLen->text(), "文件长度：00:04");
    EXPECT_EQ(window->ui->lblPos->text(), "当前位置：00:00");
    EXPECT_EQ(window->ui->Slider->maximum(), 5);  // 4.4 + 1 → 5
    const auto left = savedLeftChannel();
    EXPECT_EQ(left.size(), size_t(22050 * 4.4));
    EXPECT_TRUE(std::all_of(left.begin(), left.end(), [](int16_t s) { return s == 200; }));
}

TEST_F(Edit, DeleteAfterKeepsTheStartAndTheSliderEndsAtTheLength) {
    tenPointFourSeconds(5);
    dialogs.answers = {MsgBoxResult::Yes};
    window->mnuDelBack_Click();
    EXPECT_FALSE(window->ui->mnuDelBack->isEnabled());
    EXPECT_EQ(window->ui->Slider->maximum(), 5);
    EXPECT_EQ(window->ui->lblLen->text(), "文件长度：00:05");
    const auto left = savedLeftChannel();
    EXPECT_EQ(left.size(), size_t(22050 * 5));
    EXPECT_TRUE(std::all_of(left.begin(), left.end(), [](int16_t s) { return s == 100; }));
}

TEST_F(Edit, SliderMaximaForFourPointSixSecondsLeft) {
    // 10.4 s cut to 4.6 s: delete-before gives 6 (5.6 rounds up), delete-after gives 5.
    backend.setSignal(constantSignal(100));
    recordFor(10400);
    window->cmdStop_Click();
    ASSERT_EQ(engine.mciSendString("seek RecordDev to 5800", nullptr), 0u);
    dialogs.answers = {MsgBoxResult::Yes};
    window->mnuDelFore_Click();
    EXPECT_EQ(window->ui->Slider->maximum(), 6);
    // Fresh 10.4 s for the other cut.
    window->mnuNew_Click();
    dialogs.answers = {MsgBoxResult::No};
    recordFor(10400);
    window->cmdStop_Click();
    ASSERT_EQ(engine.mciSendString("seek RecordDev to 4600", nullptr), 0u);
    dialogs.answers = {MsgBoxResult::Yes};
    window->mnuDelBack_Click();
    EXPECT_EQ(window->ui->Slider->maximum(), 5);
}

TEST_F(Edit, ACutThatEmptiesTheRecordingShowsTheIdleButtons) {
    tenPointFourSeconds(0);
    dialogs.answers = {MsgBoxResult::Yes};
    window->mnuDelBack_Click();  // from 0 to the end
    EXPECT_EQ(window->ui->lblLen->text(), "文件长度：00:00");
    EXPECT_FALSE(window->ui->cmdPlay->isEnabled());
    EXPECT_FALSE(window->ui->cmdStop->isEnabled());
    EXPECT_TRUE(window->ui->cmdRecord->isEnabled());
    EXPECT_FALSE(window->ui->mnuDelFore->isEnabled());
    EXPECT_FALSE(window->ui->mnuDelBack->isEnabled());
    EXPECT_FALSE(window->ui->Slider->isEnabled());
    EXPECT_EQ(window->ui->Slider->maximum(), 1);
    EXPECT_TRUE(window->IsChanged);
    // The tray menu agrees with the buttons; the take keeps its format and can be saved,
    // and the tray goes on showing a stop.
    EXPECT_TRUE(window->ui->mnuRecord->isEnabled());
    EXPECT_FALSE(window->ui->mnuPlay->isEnabled());
    EXPECT_FALSE(window->ui->mnuStop->isEnabled());
    EXPECT_FALSE(window->ui->opt11025->isEnabled());
    EXPECT_TRUE(window->ui->mnuSaveAs->isEnabled());
    EXPECT_TRUE(window->TimerStop.isActive());
    EXPECT_EQ(tray.calls.back().tip, "已经停止...");
}

TEST_F(Edit, DeleteBeforeAtTheStartSendsZeroToZero) {
    tenPointFourSeconds(0);
    dialogs.answers = {MsgBoxResult::Yes};
    window->mnuDelFore_Click();
    EXPECT_NE(std::find(mci.sent.begin(), mci.sent.end(), "delete RecordDev from 0 to 0"),
              mci.sent.end());
    EXPECT_FALSE(window->ui->mnuDelFore->isEnabled());
    EXPECT_EQ(window->ui->lblLen->text(), "文件长度：00:10");
}

// A saved recording that a cut shortens is unsaved again: New asks before dropping it. A cut
// that removes nothing (after the position at the end) leaves a saved recording saved.
TEST_F(Edit, ACutAfterSavingMakesNewAskTheQuestion) {
    for (const bool before : {true, false}) {
        SCOPED_TRACE(before ? "delete before" : "delete after");
        tenPointFourSeconds(5);
        savedLeftChannel();
        ASSERT_FALSE(window->IsChanged);
        dialogs.answers = {MsgBoxResult::Yes};
        before ? window->mnuDelFore_Click() : window->mnuDelBack_Click();
        EXPECT_TRUE(window->IsChanged);
        dialogs.asked.clear();
        dialogs.answers = {MsgBoxResult::Cancel};
        window->mnuNew_Click();
        ASSERT_EQ(dialogs.asked.size(), 1u);
        EXPECT_EQ(dialogs.asked[0].text, "文件声音已经更改，是否保存所做的修改？");
        EXPECT_EQ(window->ui->lblLen->text(), "文件长度：00:05");  // Cancel kept the take
        dialogs.answers = {MsgBoxResult::No};
        window->mnuNew_Click();
    }
    tenPointFourSeconds(0);
    savedLeftChannel();
    ASSERT_EQ(engine.mciSendString("seek RecordDev to end", nullptr), 0u);  // nothing after it
    dialogs.answers = {MsgBoxResult::Yes};
    window->mnuDelBack_Click();
    EXPECT_FALSE(window->IsChanged);
}
