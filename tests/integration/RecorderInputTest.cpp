// The 录音来源 menu: what each item makes the device record from, when it can be used, the
// server's inputs as they come and go, and the choice kept between runs.
#include "forms/LevelMeterView.h"
#include "support/RecorderFixture.h"
#include "ui_frmMain.h"

#include <QActionGroup>
#include <QFile>

using namespace wsx;
using wsx::audio::CaptureDevice;
using wsx::audio::CaptureSource;
using Kind = CaptureSource::Kind;

namespace {

QStringList captions(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions()) out << (a->isSeparator() ? "-" : a->text());
    return out;
}

QStringList checked(QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions())
        if (a->isChecked()) out << a->text();
    return out;
}

QAction* itemNamed(QMenu* menu, const QString& text) {
    for (QAction* a : menu->actions())
        if (a->text() == text) return a;
    return nullptr;
}

}  // namespace

class InputMenu : public test::RecorderTest {
protected:
    InputMenu() {
        services.inputs = &backend;
        services.settingsFile = (tmp.path() / "config" / "wanshengxia.ini").string();
        backend.setCaptureDevices({{"mic.usb", "USB 麦克风"}, {"out.monitor", "Monitor of A & B"}});
    }
    // A second run of the program: a new engine state is not needed, only a new window.
    void restart() {
        window.reset();
        mci.take();
        window = std::make_unique<frmMain>(services);
        window->Form_Load();
        window->TimerInputs_Timer();
    }
    // Records 200 ms and stops; says what the recording opened.
    CaptureSource recordOnce() {
        window->cmdRecord_Click();
        tickAfter(200);
        window->cmdStop_Click();
        return backend.lastCaptureSource();
    }
    QMenu* menu() { return window->ui->mnuInput; }
};

TEST_F(InputMenu, EachItemRecordsFromItsSourceAndHoldsAfterNew) {
    window->TimerInputs_Timer();
    EXPECT_EQ(captions(menu()),
              (QStringList{"默认输入(&D)", "电脑播放的声音(&C)", "话筒和电脑声音(&B)", "-",
                           "USB 麦克风", "Monitor of A && B"}));
    EXPECT_EQ(checked(menu()), QStringList{"默认输入(&D)"});
    EXPECT_EQ(recordOnce(), (CaptureSource{Kind::DefaultInput, {}}));

    mci.take();
    window->ui->mnuInputComputer->trigger();
    EXPECT_EQ(mci.take(), std::vector<std::string>{"set waveaudio input monitor"});
    EXPECT_EQ(recordOnce(), (CaptureSource{Kind::DefaultMonitor, {}}));
    window->ui->mnuInputBoth->trigger();
    EXPECT_EQ(checked(menu()), QStringList{"话筒和电脑声音(&B)"});
    EXPECT_EQ(recordOnce(), (CaptureSource{Kind::Both, {}}));
    itemNamed(menu(), "Monitor of A && B")->trigger();
    EXPECT_EQ(mci.take().back(), "set waveaudio input \"out.monitor\"");
    EXPECT_EQ(recordOnce(), (CaptureSource{Kind::Named, "out.monitor"}));

    // New closes the device and opens another: the choice holds.
    dialogs.answers.push_back(platform::MsgBoxResult::No);
    window->mnuNew_Click();
    EXPECT_EQ(recordOnce(), (CaptureSource{Kind::Named, "out.monitor"}));
}

TEST_F(InputMenu, TheMenuIsClosedWhileRecordingOnly) {
    QAction* submenu = menu()->menuAction();
    EXPECT_TRUE(submenu->isEnabled());
    window->cmdRecord_Click();
    EXPECT_FALSE(submenu->isEnabled());
    tickAfter(200);
    window->cmdStop_Click();
    EXPECT_TRUE(submenu->isEnabled());
    window->cmdPlay_Click();
    EXPECT_TRUE(submenu->isEnabled()) << "playing: the next recording may take another input";
    window->cmdStop_Click();
    window->mnuDelFore_Click();
    window->mnuDelBack_Click();
    EXPECT_TRUE(submenu->isEnabled());
}

TEST_F(InputMenu, TheChoiceIsKeptBetweenRunsAndGivesWayWhenItsInputGoes) {
    window->TimerInputs_Timer();
    itemNamed(menu(), "USB 麦克风")->trigger();
    restart();
    EXPECT_EQ(checked(menu()), QStringList{"USB 麦克风"});
    EXPECT_EQ(recordOnce(), (CaptureSource{Kind::Named, "mic.usb"}));
    QFile ini(QString::fromStdString(services.settingsFile));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ini.readAll().contains("mic.usb"));

    // The server's list changes without it: the menu follows, nothing else happens.
    backend.setCaptureDevices({{"mic.usb", "USB 麦克风"}, {"line", "Line In"}});
    window->TimerInputs_Timer();
    EXPECT_EQ(captions(menu()).mid(4), (QStringList{"USB 麦克风", "Line In"}));
    EXPECT_TRUE(dialogs.asked.empty());
    // A server that does not answer (an empty list) is no news: the menu stays.
    backend.setCaptureDevices({});
    window->TimerInputs_Timer();
    EXPECT_EQ(captions(menu()).mid(4), (QStringList{"USB 麦克风", "Line In"}));

    // The chosen input is unplugged: the default input, and the user is told.
    backend.setCaptureDevices({{"line", "Line In"}});
    mci.take();
    window->TimerInputs_Timer();
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].text, "录音来源“USB 麦克风”已不存在，改用默认输入。");
    EXPECT_EQ(dialogs.asked[0].title, "万声匣");
    EXPECT_EQ(mci.take(), std::vector<std::string>{"set waveaudio input default"});
    EXPECT_EQ(checked(menu()), QStringList{"默认输入(&D)"});
    EXPECT_EQ(recordOnce(), (CaptureSource{Kind::DefaultInput, {}}));
    restart();
    EXPECT_EQ(checked(menu()), QStringList{"默认输入(&D)"});
    const std::vector<std::string> sent = mci.take();
    EXPECT_TRUE(std::none_of(sent.begin(), sent.end(), [](const std::string& c) {
        return c.starts_with("set waveaudio");
    })) << "the default needs no word at start-up";
}

TEST_F(InputMenu, AKeptChoiceIsSentBeforeTheDeviceOpens) {
    window->ui->mnuInputBoth->trigger();
    restart();
    // restart() took the log before the new window: its first command is the choice, and
    // start-up's own commands follow as ever.
    const std::vector<std::string> sent = mci.take();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[0], "set waveaudio input both");
    EXPECT_EQ(sent[1], "close RecordDev");
    EXPECT_EQ(recordOnce(), (CaptureSource{Kind::Both, {}}));
}

// The meter under the position read-out: live while recording and playing and the window is
// shown, empty otherwise.
TEST_F(InputMenu, TheLevelMeterFollowsTheSoundWhileItMoves) {
    window->show();
    LevelMeterView* view = nullptr;
    for (QWidget* w : window->ui->Picture3->findChildren<QWidget*>())
        if (auto* v = dynamic_cast<LevelMeterView*>(w)) view = v;
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(window->TimerLevel.isActive());
    EXPECT_GE(window->TimerLevel.interval(), 1000 / 30);
    EXPECT_LE(window->TimerLevel.interval(), 1000 / 25);

    backend.setSignal(test::constantSignal(16384));
    window->cmdRecord_Click();
    EXPECT_TRUE(window->TimerLevel.isActive());
    backend.advance(100);
    window->TimerLevel_Timer();
    EXPECT_NEAR(view->meter().barDb(), -6.02, 0.01);
    EXPECT_FALSE(view->meter().clipped());
    // Drawn: the bar in the read-outs' green reaches nine tenths of the way (-6 of 60 dB).
    const QImage drawn = view->grab().toImage();
    EXPECT_EQ(drawn.pixelColor(drawn.width() * 8 / 10, 1), QColor(0, 255, 0));
    EXPECT_EQ(drawn.pixelColor(drawn.width() * 95 / 100, 1), QColor(0, 0, 0));
    // Nobody sees the meter of a hidden or minimised window: no ticks until it is back.
    window->hide();
    EXPECT_FALSE(window->TimerLevel.isActive());
    window->show();
    EXPECT_TRUE(window->TimerLevel.isActive());
    tray.available = false;  // minimised, the window stays in the task bar
    window->setWindowState(Qt::WindowMinimized);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->TimerLevel.isActive());
    window->setWindowState(Qt::WindowNoState);
    EXPECT_TRUE(window->TimerLevel.isActive());
    window->cmdStop_Click();
    EXPECT_FALSE(window->TimerLevel.isActive());
    EXPECT_EQ(view->meter().barDb(), LevelMeter::kFloorDb) << "nothing moves: an empty meter";
    EXPECT_EQ(view->grab().toImage().pixelColor(2, 1), QColor(0, 0, 0));

    window->cmdPlay_Click();
    EXPECT_TRUE(window->TimerLevel.isActive());
    backend.advance(50);
    window->TimerLevel_Timer();
    EXPECT_NEAR(view->meter().holdDb(), -6.02, 0.01);
    window->cmdStop_Click();
    EXPECT_FALSE(window->TimerLevel.isActive());
}
