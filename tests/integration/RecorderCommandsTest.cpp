// What a later start and the desktop's answer about the hot keys do to the window: the
// command line read, verbs obeying the same enabled-button rule as the hot keys, the notice
// about keys that cannot work (told once, in the tray or in a box, and in the overview).
#include "app/SessionCommands.h"
#include "forms/frmHotKey.h"
#include "platform/session/CommandLine.h"
#include "support/RecorderFixture.h"
#include "ui_frmHotKey.h"
#include "ui_frmMain.h"

#include <QFile>
#include <QStandardPaths>

using namespace wsx;
using namespace wsx::platform;
using wsx::test::RecorderTest;

namespace {

CommandLine parse(std::initializer_list<const char*> args) {
    const char* argv[8] = {"wanshengxia"};
    int argc = 1;
    for (const char* arg : args) argv[argc++] = arg;
    return parseCommandLine(argc, argv);
}

class Commands : public RecorderTest {
protected:
    void SetUp() override {
        // The "told once" mark lives in the test's own settings folder.
        QFile::remove(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                      "/wanshengxia/wanshengxia.ini");
        RecorderTest::SetUp();
    }
    size_t notifications() const {
        size_t n = 0;
        for (const auto& call : tray.calls) n += (call.flags & NIF_INFO) != 0;
        return n;
    }
};

}  // namespace

TEST(CommandLineTest, ReadsOneVerbHelpVersionAndLeavesQtsArgumentsAlone) {
    EXPECT_EQ(parse({}).verb, Verb::None);
    EXPECT_EQ(parse({"--record"}).verb, Verb::Record);
    EXPECT_EQ(parse({"--stop"}).verb, Verb::Stop);
    EXPECT_EQ(parse({"--play"}).verb, Verb::Play);
    EXPECT_EQ(parse({"--show"}).verb, Verb::Show);
    EXPECT_TRUE(parse({"--help"}).help);
    EXPECT_TRUE(parse({"-h"}).help);
    EXPECT_TRUE(parse({"--version"}).version);
    // The same verb twice is one verb; two verbs or an unknown option are mistakes.
    EXPECT_TRUE(parse({"--play", "--play"}).error.empty());
    EXPECT_NE(parse({"--record", "--stop"}).error.find("--stop"), std::string::npos);
    EXPECT_NE(parse({"--recrod"}).error.find("--recrod"), std::string::npos);
    // Qt's own arguments come after ours and are not read as ours.
    const CommandLine withQt = parse({"--record", "-platform", "xcb", "--stop"});
    EXPECT_EQ(withQt.verb, Verb::Record);
    EXPECT_TRUE(withQt.error.empty());
    // One answer: a mistake outweighs help, help the version, either a verb.
    const CommandLine mistaken = parse({"--help", "--record", "--bogus"});
    EXPECT_FALSE(mistaken.error.empty());
    EXPECT_FALSE(mistaken.help);
    EXPECT_EQ(mistaken.verb, Verb::None);
    const CommandLine helped = parse({"--record", "--version", "-h"});
    EXPECT_TRUE(helped.help);
    EXPECT_FALSE(helped.version);
    EXPECT_EQ(helped.verb, Verb::None);
    EXPECT_EQ(parse({"--show", "--version"}).verb, Verb::None);

    EXPECT_EQ(answerWithoutWindow(parse({"--help"}), "2.0.0"), 0);
    EXPECT_EQ(answerWithoutWindow(parse({"--version"}), "2.0.0"), 0);
    EXPECT_EQ(answerWithoutWindow(parse({"--bogus"}), "2.0.0"), 2);
    EXPECT_EQ(answerWithoutWindow(parse({"--show"}), "2.0.0"), std::nullopt);
}

TEST_F(Commands, VerbsActLikeTheirHotKeysOnlyWhenTheButtonIsEnabledAndNeverShowTheWindow) {
    window->hide();
    // Through the handler the session hands a later start's verb to: a verb given to the
    // wrong button would refuse where its own button takes it, or the other way round.
    const auto verb = sessionCommandsFor(*window);
    // Nothing recorded: Stop and Play are grey and refuse, Record takes it.
    EXPECT_FALSE(verb(Verb::Stop));
    EXPECT_FALSE(verb(Verb::Play));
    EXPECT_FALSE(window->HotKeyCommand(99));
    QApplication::processEvents();
    EXPECT_FALSE(window->IsRecording);
    EXPECT_FALSE(window->IsPlaying);
    // Posted, as the key's message is: nothing happens until the event loop runs.
    EXPECT_TRUE(verb(Verb::Record));
    EXPECT_FALSE(window->IsRecording);
    QApplication::processEvents();
    EXPECT_TRUE(window->IsRecording);
    tickAfter(700);
    EXPECT_FALSE(verb(Verb::Play));  // only Stop is lit while recording
    EXPECT_TRUE(verb(Verb::Stop));
    QApplication::processEvents();
    EXPECT_FALSE(window->IsRecording);
    EXPECT_FALSE(window->IsPlaying);
    EXPECT_TRUE(verb(Verb::Play));
    QApplication::processEvents();
    EXPECT_TRUE(window->IsPlaying);
    EXPECT_FALSE(verb(Verb::Record));
    EXPECT_FALSE(window->isVisible());

    window->show();
    window->setWindowState(Qt::WindowMinimized);
    QApplication::processEvents();
    EXPECT_TRUE(verb(Verb::Show));
    QApplication::processEvents();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->windowState() & Qt::WindowMinimized);
    EXPECT_FALSE(window->ui->mnuShowRec->isEnabled());
}

TEST_F(Commands, KeysThatCannotWorkAreToldOnceAndTheOverviewSaysSoInALine) {
    // Working keys and a desktop still deciding: nothing to tell, the overview as ever.
    for (HotKeyReach reach : {HotKeyReach::Working, HotKeyReach::Pending}) {
        hotKeys.reachNow = reach;
        hotKeys.onReachChanged();
        EXPECT_TRUE(window->hotKeyNotice().isEmpty());
    }
    EXPECT_EQ(notifications(), 0u);
    EXPECT_EQ(frmHotKey(window->hotKeyNotice()).size(), QSize(319, 186));

    // The service reports through the callback the window installed.
    hotKeys.reachNow = HotKeyReach::NoGlobalKeys;
    hotKeys.onReachChanged();
    ASSERT_EQ(notifications(), 1u);
    EXPECT_EQ(tray.calls.back().infoTitle, "声匣热键");
    EXPECT_NE(tray.calls.back().info.find("wanshengxia --record"), std::string::npos);
    // Once ever: another failure, or the next run, says nothing in the tray.
    hotKeys.reachNow = HotKeyReach::TakenByOther;
    hotKeys.onReachChanged();
    EXPECT_EQ(notifications(), 1u);
    EXPECT_TRUE(dialogs.asked.empty());

    // Each cause has its own words; the overview grows by the line and keeps the keys.
    QStringList notices;
    for (HotKeyReach reach :
         {HotKeyReach::NoGlobalKeys, HotKeyReach::TakenByOther, HotKeyReach::TakenByDesktop}) {
        hotKeys.reachNow = reach;
        notices << window->hotKeyNotice();
        frmHotKey overview(notices.back());
        ASSERT_NE(overview.lblNotice, nullptr);
        EXPECT_EQ(overview.lblNotice->text(), notices.back());
        EXPECT_GT(overview.height(), 186);
        EXPECT_GE(overview.ui->cmdOk->y(), overview.lblNotice->geometry().bottom());
        EXPECT_EQ(overview.ui->Label2->text(), "录音：Ctrl+Alt+");
    }
    notices.removeDuplicates();
    EXPECT_EQ(notices.size(), 3);
}

TEST_F(Commands, WithoutATrayTheNoticeIsABox) {
    tray.available = false;
    hotKeys.reachNow = HotKeyReach::TakenByDesktop;
    hotKeys.onReachChanged();
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].text, window->hotKeyNotice());
    EXPECT_EQ(notifications(), 0u);
    // Destroyed, the window takes its callback back.
    window.reset();
    EXPECT_FALSE(hotKeys.onReachChanged);
}
