// Other keys for the hot keys: kept in the INI (and the standard keys when what is kept
// cannot be used), registered in place of the old ones at once, shown in the overview, and
// chosen in 更改声匣热键 with its refusals.
#include "forms/frmHotKey.h"
#include "forms/frmHotKeyChange.h"
#include "support/RecorderFixture.h"
#include "ui_frmHotKey.h"

#include <QFile>
#include <QTest>

using namespace wsx;
using namespace wsx::platform;

namespace {

constexpr uint32_t kCtrlAlt = MOD_CONTROL | MOD_ALT;
constexpr uint32_t kCtrlShift = MOD_CONTROL | MOD_SHIFT;

class HotKeyChoiceTest : public test::RecorderTest {
protected:
    HotKeyChoiceTest() {
        services.settingsFile = (tmp.path() / "config" / "wanshengxia.ini").string();
    }
    void writeIni(const QByteArray& text) {
        QFile ini(QString::fromStdString(services.settingsFile));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write(text);
    }
    QByteArray readIni() {
        QFile ini(QString::fromStdString(services.settingsFile));
        return ini.open(QIODevice::ReadOnly) ? ini.readAll() : QByteArray();
    }
    // A second run of the program with the settings as they are now.
    void restart() {
        window.reset();
        hotKeys.registered.clear();
        window = std::make_unique<frmMain>(services);
        window->Form_Load();
    }
    // What Form_Load registered: {id, modifiers, vk} for each key.
    std::vector<std::vector<int32_t>> registered() const { return hotKeys.registered; }
    int32_t lParam(uint32_t modifiers, uint32_t vk) { return int32_t(modifiers | vk << 16); }
};

}  // namespace

TEST_F(HotKeyChoiceTest, KeptKeysAreReadBackAndDamagedOrClashingOnesGiveTheStandardKeys) {
    const std::vector<std::vector<int32_t>> standard{{1, 3, 40}, {2, 3, 39}, {3, 3, 38}};
    std::filesystem::create_directories(tmp.path() / "config");
    // Each damaged value gives its own key the standard one; a good one beside it holds.
    // (The text itself is read by chordFromText; here what the file can hold besides.)
    writeIni("[HotKeys]\nrecord=Ctrl+Alt+\xC3\x84\nplay=Meta+F5\nstop=Shift+R\n");
    restart();
    EXPECT_EQ(registered(),
              (std::vector<std::vector<int32_t>>{{1, 3, 40}, {2, 8, 0x74}, {3, 3, 38}}));
    writeIni("[HotKeys]\nrecord=\nplay=@Variant(\\0\\0\\0\\x7f)\nstop=42, 7\n");
    restart();
    EXPECT_EQ(registered(), standard);
    // Kept keys that clash (record takes stop's standard key): all standard.
    writeIni("[HotKeys]\nrecord=Ctrl+Alt+Up\n");
    restart();
    EXPECT_EQ(registered(), standard);

    // Chosen keys are kept in words and come back on the next run.
    window->ChangeHotKeys({HotKeyChord{kCtrlShift, 'R'}, HotKeyChord{MOD_WIN | MOD_ALT, 0x21},
                           HotKeyChord{kCtrlAlt, 0x7B}});
    const QByteArray ini = readIni();
    EXPECT_TRUE(ini.contains("record=Ctrl+Shift+R")) << ini.constData();
    EXPECT_TRUE(ini.contains("play=Meta+Alt+PgUp")) << ini.constData();
    EXPECT_TRUE(ini.contains("stop=Ctrl+Alt+F12")) << ini.constData();
    restart();
    EXPECT_EQ(registered(), (std::vector<std::vector<int32_t>>{
                                {1, int32_t(kCtrlShift), 'R'}, {2, 9, 0x21}, {3, 3, 0x7B}}));
}

TEST_F(HotKeyChoiceTest, ChangedKeysAreRegisteredAtOnceAndOnlyTheyWork) {
    hotKeys.registered.clear();
    window->ChangeHotKeys(
        {HotKeyChord{kCtrlShift, 'R'}, HotKeyChord{kCtrlShift, 'P'}, HotKeyChord{kCtrlShift, 'S'}});
    EXPECT_EQ(hotKeys.unregistered, (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(registered(),
              (std::vector<std::vector<int32_t>>{{1, 6, 'R'}, {2, 6, 'P'}, {3, 6, 'S'}}));

    window->hide();
    // A press of the old key still queued when the keys changed does nothing.
    window->WindowProc(window.get(), WM_HOTKEY, 1, lParam(kCtrlAlt, VK_DOWN));
    EXPECT_FALSE(window->IsRecording);
    window->WindowProc(window.get(), WM_HOTKEY, 1, lParam(kCtrlShift, 'R'));
    EXPECT_TRUE(window->IsRecording);
    tickAfter(500);
    window->WindowProc(window.get(), WM_HOTKEY, 3, lParam(kCtrlShift, 'S'));
    EXPECT_FALSE(window->IsRecording);
    // The command line's verbs go through the keys in force.
    EXPECT_TRUE(window->HotKeyCommand(ModuleTray::kHotKeyPlay));
    QApplication::processEvents();
    EXPECT_TRUE(window->IsPlaying);
}

TEST(HotKeyOverview, ListsTheKeysInForceAndItsNoticeLineComesAndGoes) {
    frmHotKey overview;
    const QRect standardImage = overview.ui->Image1->geometry();
    overview.showKeys(ModuleTray::StandardHotKeys());
    EXPECT_EQ(overview.ui->Label2->text(), "录音：Ctrl+Alt+");
    EXPECT_EQ(overview.ui->Image1->geometry(), standardImage) << "the standard look moved";
    EXPECT_EQ(overview.ui->Label2->width(), 118);

    // In kHotKeys order: record, play, stop.
    overview.showKeys({HotKeyChord{kCtrlShift, 'R'},
                       HotKeyChord{MOD_CONTROL | MOD_SHIFT | MOD_ALT, VK_RIGHT},
                       HotKeyChord{kCtrlAlt, VK_UP}});
    EXPECT_EQ(overview.ui->Label2->text(), "录音：Ctrl+Shift+R");
    EXPECT_TRUE(overview.ui->Image1->isHidden());
    EXPECT_EQ(overview.ui->Label3->text(), "播放：Ctrl+Alt+Shift+");
    EXPECT_FALSE(overview.ui->Image2->isHidden());
    EXPECT_GT(overview.ui->Image2->x(), overview.ui->Label3->geometry().right())
        << "the arrow covers the longer words";
    EXPECT_LE(overview.ui->Image2->geometry().right(), overview.width());
    EXPECT_EQ(overview.ui->Label4->text(), "停止：Ctrl+Alt+");
    for (QLabel* label : {overview.ui->Label2, overview.ui->Label3, overview.ui->Label4}) {
        label->ensurePolished();  // its bold 10.5pt face comes from the style sheet
        EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()))
            << "cut off: " << label->text().toStdString();
    }

    // The notice line can come, change and go while the overview is open.
    overview.showNotice(QStringLiteral("这个桌面不给程序全局热键，它们现在不起作用。"));
    const int withNotice = overview.height();
    EXPECT_GT(withNotice, 186);
    overview.showNotice(QStringLiteral("另一个程序占用了这些热键，它们现在不起作用。"));
    EXPECT_EQ(overview.height(), withNotice);
    EXPECT_GE(overview.ui->cmdChange->y(), overview.lblNotice->geometry().bottom());
    overview.showNotice({});
    EXPECT_EQ(overview.lblNotice, nullptr);
    EXPECT_EQ(overview.size(), QSize(319, 186));
    EXPECT_EQ(overview.ui->cmdChange->y(), overview.ui->cmdOk->y());
    EXPECT_EQ(overview.ui->cmdOk->y(), 158);
}

TEST(HotKeyOverview, ShowsTheKeysTheDesktopReportsBindingInstead) {
    frmHotKey overview;
    // In kHotKeys order: record, play, stop. The user gave record other keys in the
    // desktop's settings; play's keys the desktop writes in words no chord reads; for stop
    // it reports nothing, and the keys in force are shown.
    overview.showKeys(ModuleTray::StandardHotKeys(), {"Meta+F9", "Ctrl+Alt+Ä", ""});
    EXPECT_EQ(overview.ui->Label2->text(), "录音：Meta+F9");
    EXPECT_TRUE(overview.ui->Image1->isHidden());
    EXPECT_EQ(overview.ui->Label3->text(), "播放：Ctrl+Alt+Ä");
    EXPECT_TRUE(overview.ui->Image2->isHidden()) << "no arrow after the desktop's own words";
    EXPECT_EQ(overview.ui->Label4->text(), "停止：Ctrl+Alt+");
    EXPECT_FALSE(overview.ui->Image3->isHidden());

    // The desktop's report of an arrow key looks as the standard keys always have.
    overview.showKeys(ModuleTray::StandardHotKeys(), {"Ctrl+Alt+Down", "", ""});
    EXPECT_EQ(overview.ui->Label2->text(), "录音：Ctrl+Alt+");
    EXPECT_FALSE(overview.ui->Image1->isHidden());
}

TEST(HotKeyChooser, TakesOneChordPerCommandAndRefusesKeysThatCannotBeUsed) {
    frmHotKeyChange chooser(ModuleTray::StandardHotKeys());
    chooser.show();
    QKeySequenceEdit* record = chooser.txtKeys[0];
    QKeySequenceEdit* play = chooser.txtKeys[1];
    QKeySequenceEdit* stop = chooser.txtKeys[2];
    EXPECT_EQ(record->keySequence().toString(QKeySequence::PortableText), "Ctrl+Alt+Down");
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chooser));

    // A second press replaces the first instead of making a two-chord sequence.
    record->setFocus();
    QTest::keyClick(record, Qt::Key_Q, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(record, Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(record->keySequence().toString(QKeySequence::PortableText), "Ctrl+Shift+R");
    // Tab moves on to the next editor (停止, as the overview lists them) and is no key.
    QTest::keyClick(record, Qt::Key_Tab);
    EXPECT_TRUE(stop->hasFocus());
    EXPECT_EQ(record->keySequence().count(), 1);

    struct Refusal {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* words;
    };
    for (const Refusal& r :
         {Refusal{Qt::Key_S, Qt::ShiftModifier, "停止的热键要带 Ctrl、Alt 或 Win"},
          Refusal{Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier,
                  "录音和停止用了同一个热键 Ctrl+Shift+R"},
          Refusal{Qt::Key_Comma, Qt::ControlModifier, "停止的热键不能用"}}) {
        QTest::keyClick(stop, r.key, r.modifiers);
        chooser.cmdOk->click();
        EXPECT_TRUE(chooser.isVisible()) << r.words;
        EXPECT_TRUE(chooser.lblProblem->isVisibleTo(&chooser)) << r.words;
        EXPECT_TRUE(chooser.lblProblem->text().startsWith(QString::fromUtf8(r.words)))
            << chooser.lblProblem->text().toStdString();
    }
    QTest::keyClick(stop, Qt::Key_F12, Qt::AltModifier);
    QTest::keyClick(play, Qt::Key_Right, Qt::ControlModifier | Qt::AltModifier);
    chooser.cmdOk->click();
    EXPECT_EQ(chooser.result(), QDialog::Accepted);
    EXPECT_EQ(chooser.choice(), (ModuleTray::HotKeyChoice{HotKeyChord{kCtrlShift, 'R'},
                                                          HotKeyChord{kCtrlAlt, VK_RIGHT},
                                                          HotKeyChord{MOD_ALT, 0x7B}}));

    // 恢复默认 puts the standard keys back and clears the refusal.
    frmHotKeyChange again(chooser.choice());
    QTest::keyClick(again.txtKeys[0], Qt::Key_A);
    again.cmdOk->click();
    EXPECT_FALSE(again.lblProblem->isHidden());
    again.cmdDefault->click();
    EXPECT_TRUE(again.lblProblem->isHidden());
    EXPECT_EQ(again.choice(), ModuleTray::StandardHotKeys());
}
