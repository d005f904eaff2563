// Start-up, the close question, minimising to the tray, and tear-down.
#include "forms/Paths.h"
#include "support/RecorderFixture.h"
#include "ui_frmMain.h"

#include <QCloseEvent>

using namespace wsx;
using platform::MsgBoxResult;
using platform::SaveDialogResult;
using wsx::test::RecorderTest;

class Lifecycle : public RecorderTest {
protected:
    // Closes the window the way the close box does; true when it closed.
    bool closeWindow() {
        bool unloaded = false;
        // Disconnected before `unloaded` goes out of scope: a later close must not write it.
        const auto connection =
            QObject::connect(window.get(), &frmMain::unloaded, [&] { unloaded = true; });
        window->mnuExit_Click();
        QObject::disconnect(connection);
        return unloaded;
    }
};

TEST_F(Lifecycle, StartUpOpensTheDeviceInMillisecondsAndAcquiresInOrder) {
    EXPECT_EQ(mci.sent,
              (std::vector<std::string>{
                  "close RecordDev", "open new type waveaudio alias RecordDev",
                  "set RecordDev Bitspersample 16", "set RecordDev time format milliseconds"}));
    ASSERT_EQ(tray.calls.size(), 1u);
    EXPECT_EQ(tray.calls[0].message, platform::NIM_ADD);
    EXPECT_EQ(tray.calls[0].flags, 7u);
    EXPECT_EQ(window->ExePath, "/opt/录音 工具/wanshengxia");
    EXPECT_EQ(hotKeys.registered,
              (std::vector<std::vector<int32_t>>{{1, 3, 40}, {2, 3, 39}, {3, 3, 38}}));
}

TEST_F(Lifecycle, ClosingWithNothingUnsavedAsksNothingAndReleasesEverything) {
    mci.take();
    EXPECT_TRUE(closeWindow());
    EXPECT_TRUE(dialogs.asked.empty());
    EXPECT_EQ(mci.take(), std::vector<std::string>{"close RecordDev"});
    EXPECT_EQ(tray.calls.back().message, platform::NIM_DELETE);
    EXPECT_EQ(hotKeys.unregistered, (std::vector<int32_t>{1, 2, 3}));
}

TEST_F(Lifecycle, CancelResumesRecordingAndKeepsTheWindow) {
    recordFor(1000);
    dialogs.answers = {MsgBoxResult::Cancel};
    // While the question is open the device is held.
    dialogs.onAsk = [&] {
        EXPECT_EQ(engine.device("RecordDev")->mode(), mci::WaveAudioDevice::Mode::Paused);
    };
    EXPECT_FALSE(closeWindow());
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].text, "文件声音已经更改，是否保存所做的修改？");
    EXPECT_EQ(dialogs.asked[0].buttons, platform::MsgBoxButtons::YesNoCancel);
    EXPECT_EQ(dialogs.asked[0].icon, platform::MsgBoxIcon::Question);
    EXPECT_EQ(dialogs.asked[0].title, "万声匣");
    EXPECT_EQ(engine.device("RecordDev")->mode(), mci::WaveAudioDevice::Mode::Recording);
    EXPECT_TRUE(window->TimerMci.isActive());
    tickAfter(500);
    EXPECT_EQ(window->ui->lblLen->text(), "文件长度：00:02");  // 1.5 s → 2
}

TEST_F(Lifecycle, NoDiscardsAndCloses) {
    recordFor(1000);
    dialogs.answers = {MsgBoxResult::No};
    EXPECT_TRUE(closeWindow());
    EXPECT_EQ(engine.device("RecordDev"), nullptr);
}

TEST_F(Lifecycle, YesWithACancelledDialogStaysOpenAndYesWithAFileSavesAndCloses) {
    recordFor(1000);
    window->cmdStop_Click();
    window->cmdPlay_Click();
    tickAfter(300);
    dialogs.answers = {MsgBoxResult::Yes, MsgBoxResult::Yes};
    dialogs.saves = {{SaveDialogResult::Cancelled, {}}};
    EXPECT_FALSE(closeWindow());
    EXPECT_EQ(engine.device("RecordDev")->mode(), mci::WaveAudioDevice::Mode::Playing);
    const auto file = tmp.path() / "关闭 前.wav";
    dialogs.saves = {{SaveDialogResult::Chosen, QString::fromStdString(file.string())}};
    EXPECT_TRUE(closeWindow());
    EXPECT_TRUE(std::filesystem::exists(file));
}

TEST_F(Lifecycle, MinimisingHidesTheWindowAndShowingItBringsItBack) {
    window->show();
    EXPECT_FALSE(window->ui->mnuShowRec->isEnabled());
    window->setWindowState(Qt::WindowMinimized);
    QApplication::processEvents();
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(window->ui->mnuShowRec->isEnabled());
    window->ui->mnuShowRec->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->windowState() & Qt::WindowMinimized);
    EXPECT_FALSE(window->ui->mnuShowRec->isEnabled());
}

TEST_F(Lifecycle, EnsureTrailingSlashAndExePath) {
    EXPECT_EQ(EnsureTrailingSlash("/"), "/");
    EXPECT_EQ(EnsureTrailingSlash("/opt/rec"), "/opt/rec/");
    EXPECT_EQ(EnsureTrailingSlash("/opt/rec/"), "/opt/rec/");
    EXPECT_EQ(EnsureTrailingSlash(""), "/");
    EXPECT_EQ(ExePathFor("/wanshengxia"), "/wanshengxia");
    EXPECT_EQ(ExePathFor("/opt/a.b/rec.bin"), "/opt/a.b/rec");
    EXPECT_EQ(ExePathFor("/opt/.hidden"), "/opt/.hidden");
}

TEST_F(Lifecycle, WithoutANotificationAreaMinimisingDoesNotHideTheWindow) {
    tray.available = false;
    window->show();
    window->setWindowState(Qt::WindowMinimized);
    QApplication::processEvents();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->ui->mnuShowRec->isEnabled());
}
