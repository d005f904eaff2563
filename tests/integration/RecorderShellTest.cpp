// The tray icon and its animation, tray and hot-key messages, start with the desktop
// session, the About box and the help file.
#include "forms/Version.h"
#include "forms/frmAbout.h"
#include "support/RecorderFixture.h"
#include "ui_frmAbout.h"
#include "ui_frmMain.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <set>
#include <sys/stat.h>

using namespace wsx;
using namespace wsx::platform;
using wsx::test::RecorderTest;

using Shell = RecorderTest;

namespace {
QImage iconKey(const char* name) {
    return QIcon(QString(":/icons/") + name).pixmap(32, 32).toImage();
}
}  // namespace

TEST_F(Shell, TipsAreCutWholeCharactersWithin63Bytes) {
    char field[64];
    ModuleTray::copyTip(field, std::string(70, 'a'));
    EXPECT_EQ(std::string(field), std::string(63, 'a'));
    // 21 three-byte characters fill 63 bytes exactly; a 22nd does not fit at all.
    std::string chinese;
    for (int i = 0; i < 22; ++i) chinese += "录";
    ModuleTray::copyTip(field, chinese);
    EXPECT_EQ(std::string(field).size(), 63u);
    ModuleTray::copyTip(field, "a" + chinese);
    EXPECT_EQ(std::string(field), "a" + chinese.substr(0, 60));
}

TEST_F(Shell, EmptyTipsAndNonIconPicturesSendNothing) {
    const size_t before = tray.calls.size();
    ModuleTray module(tray, hotKeys, *window);
    module.TraySetTip("");
    module.TraySetIcon(Picture{Picture::Type::Bitmap, QIcon(":/icons/DEFAULT")});
    module.TraySetIcon(Picture{});
    EXPECT_EQ(tray.calls.size(), before);
    module.TraySetTip("正在录音...");
    EXPECT_EQ(tray.calls.back().flags, NIF_TIP);
    EXPECT_EQ(module.TrayData.uCallbackMessage, 0u);  // a modify touches only its fields
}

TEST_F(Shell, NotificationsChangeOnlyTheirFieldsAndAreCutWholeCharacters) {
    ModuleTray module(tray, hotKeys, *window);
    module.TrayAddIcon("等待录音");
    const size_t before = tray.calls.size();
    module.TrayNotify("万声匣", "");
    EXPECT_EQ(tray.calls.size(), before);
    std::string text;
    for (int i = 0; i < 90; ++i) text += "录";  // 270 bytes: 85 characters fit in 255
    module.TrayNotify("万声匣", text);
    ASSERT_EQ(tray.calls.size(), before + 1);
    EXPECT_EQ(tray.calls.back().message, NIM_MODIFY);
    EXPECT_EQ(tray.calls.back().flags, NIF_INFO);
    EXPECT_EQ(tray.calls.back().infoTitle, "万声匣");
    EXPECT_EQ(tray.calls.back().info, text.substr(0, 255));
    EXPECT_EQ(tray.calls.back().tip, "等待录音");  // the tip stays as it was
}

TEST_F(Shell, AnimationsCycleTheirFramesAndResumeWhereTheyLeftOff) {
    std::vector<QImage> shown;
    std::vector<qint64> identities;
    for (int i = 0; i < 13; ++i) {
        window->TimerRecord_Timer();
        shown.push_back(tray.calls.back().icon);
        identities.push_back(tray.calls.back().iconIdentity);
    }
    shown.resize(7);
    EXPECT_EQ(shown, (std::vector<QImage>{iconKey("DISC1"), iconKey("DISC2"), iconKey("DISC3"),
                                          iconKey("DISC4"), iconKey("DISC5"), iconKey("DISC6"),
                                          iconKey("DISC1")}));
    // Every turn hands the tray the very icons of the first (read once, not 20 times a
    // second), six different ones.
    for (size_t i = 6; i < identities.size(); ++i) EXPECT_EQ(identities[i], identities[i - 6]);
    EXPECT_EQ(std::set<qint64>(identities.begin(), identities.end()).size(), 6u);
    window->TimerStop_Timer();
    window->TimerStop_Timer();
    window->TimerStop_Timer();
    EXPECT_EQ(tray.calls.back().icon, iconKey("STOP1"));
    window->TimerRecord_Timer();  // after a stop the disc goes on, it does not restart
    EXPECT_EQ(tray.calls.back().icon, iconKey("DISC2"));
    for (int i = 0; i < 4; ++i) window->TimerPlay_Timer();
    EXPECT_EQ(tray.calls.back().icon, iconKey("PLAY1"));
    // A hidden window's own icon waits for it (nothing shows it); shown, it is the current
    // frame at once and follows every frame after.
    window->show();
    QApplication::processEvents();
    EXPECT_EQ(window->windowIcon().pixmap(32, 32).toImage(), iconKey("PLAY1"));
    window->TimerPlay_Timer();
    EXPECT_EQ(window->windowIcon().pixmap(32, 32).toImage(), iconKey("PLAY2"));
    EXPECT_EQ(tray.calls.back().icon, iconKey("PLAY2"));
}

TEST_F(Shell, HotKeysPressEnabledButtonsOnlyAndOnlyForTheirOwnKey) {
    window->hide();
    const int32_t ctrlAlt = 3;
    EXPECT_EQ(window->WindowProc(window.get(), WM_HOTKEY, 3, ctrlAlt | 40 << 16),
              0);  // id 3 with Down
    EXPECT_FALSE(window->IsRecording);
    window->WindowProc(window.get(), WM_HOTKEY, 1, 1 | 40 << 16);  // Alt only
    EXPECT_FALSE(window->IsRecording);
    window->WindowProc(window.get(), WM_HOTKEY, 1, ctrlAlt | 40 << 16);
    EXPECT_TRUE(window->IsRecording);
    tickAfter(500);
    window->WindowProc(window.get(), WM_HOTKEY, 2, ctrlAlt | 39 << 16);  // play is disabled now
    EXPECT_TRUE(window->IsRecording);
    window->WindowProc(window.get(), WM_HOTKEY, 3, ctrlAlt | 38 << 16);
    EXPECT_FALSE(window->IsRecording);
    window->WindowProc(window.get(), WM_HOTKEY, 2, ctrlAlt | 39 << 16);
    EXPECT_TRUE(window->IsPlaying);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(Shell, ADoubleClickRestoresTheWindowAndOtherMouseMessagesDoNothing) {
    window->show();
    window->setWindowState(Qt::WindowMinimized);
    QApplication::processEvents();
    for (uint32_t mouse : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN})
        window->WindowProc(window.get(), ModuleTray::TrayCallbackMessage, 0, int32_t(mouse));
    EXPECT_FALSE(window->isVisible());
    window->WindowProc(window.get(), ModuleTray::TrayCallbackMessage, 0, int32_t(WM_LBUTTONDBLCLK));
    QApplication::processEvents();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->ui->mnuShowRec->isEnabled());
}

TEST_F(Shell, ARightButtonReleasePopsTheTrayMenuWhoseRecordItemRecords) {
    QTimer::singleShot(50, [&] {
        auto* menu = window->ui->mnuTray;
        EXPECT_TRUE(menu->isVisible());
        menu->setActiveAction(window->ui->mnuRecord);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    window->WindowProc(window.get(), ModuleTray::TrayCallbackMessage, 0, int32_t(WM_RBUTTONUP));
    QApplication::processEvents();
    EXPECT_TRUE(window->IsRecording);
    // The tray menu is never part of the menu bar.
    for (QAction* a : window->ui->menubar->actions()) EXPECT_NE(a->menu(), window->ui->mnuTray);
}

TEST_F(Shell, FirstStartRegistersTheProgramAndUntickingStoresTheEmptyText) {
    ModuleReg reg(registry);
    const std::string run = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    EXPECT_TRUE(window->ui->chkStart->isChecked());
    EXPECT_EQ(reg.RegGetString(registry::HKEY_LOCAL_MACHINE, run, "record"),
              "/opt/录音 工具/wanshengxia");
    window->ui->chkStart->click();
    EXPECT_EQ(reg.RegQueryValueInfo(registry::HKEY_LOCAL_MACHINE, run, "record").DataSize, 1);
    // The next start leaves it off and writes nothing.
    window.reset();
    SetUp();
    EXPECT_FALSE(window->ui->chkStart->isChecked());
    EXPECT_EQ(reg.RegGetString(registry::HKEY_LOCAL_MACHINE, run, "record"), "");
    // Another program's path is replaced by ours at start.
    reg.RegSetString(registry::HKEY_LOCAL_MACHINE, run, "record", "/usr/bin/other");
    window.reset();
    SetUp();
    EXPECT_TRUE(window->ui->chkStart->isChecked());
    EXPECT_EQ(reg.RegGetString(registry::HKEY_LOCAL_MACHINE, run, "record"),
              "/opt/录音 工具/wanshengxia");
    EXPECT_EQ(registry.openKeyCount(), 0u);
}

TEST_F(Shell, HelpOpensTheFileBesideTheProgram) {
    shell.openable = {"/opt/录音 工具/record.chm", "/record.chm"};
    window->mnuHelpTopic_Click();
    ASSERT_EQ(shell.executed.size(), 1u);
    EXPECT_EQ(shell.executed[0],
              (std::pair<std::string, int>{"/opt/录音 工具/record.chm", SW_SHOWNORMAL}));
    services.programFile = "/wanshengxia";
    frmMain atRoot(services);
    atRoot.mnuHelpTopic_Click();
    EXPECT_EQ(shell.executed[1].first, "/record.chm");
    EXPECT_TRUE(dialogs.asked.empty());
}

TEST_F(Shell, HelpFallsBackToTheHtmlIndexAndSaysWhenNothingCanOpenEither) {
    const std::string chm = "/opt/录音 工具/record.chm";
    const std::string index = "/opt/录音 工具/help/index.html";
    // No CHM viewer: the HTML pages in the browser.
    shell.openable = {index};
    window->mnuHelpTopic_Click();
    EXPECT_EQ(shell.looked, (std::vector<std::string>{chm, index}));
    ASSERT_EQ(shell.executed.size(), 1u);
    EXPECT_EQ(shell.executed[0], (std::pair<std::string, int>{index, SW_SHOWNORMAL}));
    EXPECT_TRUE(dialogs.asked.empty());

    // Neither: a box names both files and asks for a viewer or a browser, opening nothing.
    shell.openable.clear();
    window->mnuHelpTopic_Click();
    EXPECT_EQ(shell.executed.size(), 1u);
    ASSERT_EQ(dialogs.asked.size(), 1u);
    const QString text = dialogs.asked[0].text;
    EXPECT_TRUE(text.contains(QString::fromStdString(chm))) << text.toStdString();
    EXPECT_TRUE(text.contains(QString::fromStdString(index))) << text.toStdString();
    EXPECT_TRUE(text.contains("浏览器")) << text.toStdString();
    EXPECT_EQ(dialogs.asked[0].buttons, MsgBoxButtons::Ok);
    EXPECT_EQ(dialogs.asked[0].title, "万声匣");

    // Both have a program, but the opener fails for each ("no method available"): the
    // same box, after trying both.
    shell.openable = {chm, index};
    shell.executeResult = SE_ERR_NOASSOC;
    window->mnuHelpTopic_Click();
    EXPECT_EQ(shell.executed.size(), 3u);
    ASSERT_EQ(dialogs.asked.size(), 2u);
    EXPECT_EQ(dialogs.asked[1].text, text);
    shell.openable.clear();
    shell.executed.erase(shell.executed.begin() + 1, shell.executed.end());
    dialogs.asked.pop_back();

    // Files that are not there are named as missing rather than as lacking a program.
    shell.missing = {chm, index};
    window->mnuHelpTopic_Click();
    ASSERT_EQ(dialogs.asked.size(), 2u);
    EXPECT_TRUE(dialogs.asked[1].text.startsWith("找不到帮助文件"))
        << dialogs.asked[1].text.toStdString();
    EXPECT_EQ(shell.executed.size(), 1u);
}

TEST_F(Shell, AboutShowsTheSameTextsEachTimeAndSaysWhenSystemInformationIsMissing) {
    for (int i = 0; i < 2; ++i) {
        frmAbout about(registry, shell, dialogs);
        EXPECT_EQ(about.windowTitle(), "关于 万声匣");
        EXPECT_EQ(about.ui->lblVersion->text(), "版本 2.0.0(正式版)");
        EXPECT_EQ(about.ui->lblTitle->text(), "万声匣");
    }
    frmAbout about(registry, shell, dialogs);  // the test registry finds no program
    about.cmdSysInfo_Click();
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].text, "此时系统信息不可用");
    EXPECT_EQ(dialogs.asked[0].icon, MsgBoxIcon::None);
    EXPECT_TRUE(shell.started.empty());
    about.lblWeb_Click();
    about.txtMail_Click();
    EXPECT_EQ(shell.executed[0].first, "http://www.example.invalid");
    EXPECT_EQ(shell.executed[1].first, std::string("mailto:") + WSX_MAIL_ADDRESS);
    EXPECT_EQ(shell.executed[1].second, SW_HIDE);
}

TEST_F(Shell, EnterAndEscCloseTheAboutBox) {
    for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
        frmAbout about(registry, shell, dialogs);
        QTimer::singleShot(30, [&] { QTest::keyClick(&about, Qt::Key(key)); });
        QTimer::singleShot(2000, &about, &QDialog::reject);  // a safety net, not the check
        QElapsedTimer clock;
        clock.start();
        about.exec();
        EXPECT_LT(clock.elapsed(), 1500) << key;
    }
}

TEST_F(Shell, GetKeyValueDropsOnlyATerminatingNul) {
    const std::string run = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    registry::HKEY key = 0;
    ASSERT_EQ(registry.RegOpenKey(registry::HKEY_LOCAL_MACHINE, run, &key),
              registry::ERROR_SUCCESS);
    const auto* bytes = reinterpret_cast<const registry::BYTE*>("abcde");
    ASSERT_EQ(registry.RegSetValueEx(key, "bare", registry::REG_SZ, bytes, 5),
              registry::ERROR_SUCCESS);
    ASSERT_EQ(registry.RegSetValueEx(key, "ended", registry::REG_SZ, bytes, 6),
              registry::ERROR_SUCCESS);
    registry.RegCloseKey(key);
    frmAbout about(registry, shell, dialogs);
    std::string value = "old";
    EXPECT_TRUE(about.GetKeyValue(registry::HKEY_LOCAL_MACHINE, run, "bare", value));
    EXPECT_EQ(value, "abcde");
    EXPECT_TRUE(about.GetKeyValue(registry::HKEY_LOCAL_MACHINE, run, "ended", value));
    EXPECT_EQ(value, "abcde");
    EXPECT_FALSE(about.GetKeyValue(registry::HKEY_LOCAL_MACHINE, run, "missing", value));
    EXPECT_EQ(value, "");
    EXPECT_FALSE(about.GetKeyValue(registry::HKEY_LOCAL_MACHINE, "Software\\Nowhere", "x", value));
    EXPECT_EQ(registry.openKeyCount(), 0u);
}

TEST_F(Shell, SystemInformationStartsTheInstalledProgram) {
    const auto bin = tmp.path() / "bin";
    std::filesystem::create_directories(bin);
    const auto program = bin / "hardinfo";
    std::ofstream(program) << "#!/bin/sh\n";
    ::chmod(program.c_str(), 0755);
    registry::Registry withProgram(
        registry::RegistryEnvironment{tmp.path() / "autostart", bin.string()});
    frmAbout about(withProgram, shell, dialogs);
    about.cmdSysInfo_Click();
    EXPECT_EQ(shell.started, std::vector<std::string>{program.string()});
    EXPECT_TRUE(dialogs.asked.empty());
    shell.startSucceeds = false;  // a program that will not start is reported like a missing one
    about.cmdSysInfo_Click();
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].text, "此时系统信息不可用");
}
