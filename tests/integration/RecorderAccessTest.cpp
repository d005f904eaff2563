// The window for screen readers and the keyboard: every control that takes the focus has an
// accessible name, the slider reads as mm:ss, the level meter in dB, the overview's arrows
// by their keys' names; the slider seeks from the keyboard; the play and stop pictures
// follow a dark palette.
#include "forms/LevelMeterView.h"
#include "forms/frmAbout.h"
#include "forms/frmHotKey.h"
#include "forms/frmHotKeyChange.h"
#include "support/RecorderFixture.h"
#include "ui_frmHotKey.h"
#include "ui_frmMain.h"

#include <QAccessible>
#include <QKeyEvent>

using namespace wsx;
using wsx::test::constantSignal;
using wsx::test::RecorderTest;

namespace {

QString accessibleText(QWidget* widget, QAccessible::Text which) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(widget);
    return a != nullptr ? a->text(which) : QString();
}

// Every control of `form` that takes the keyboard focus or shows a picture has a name.
void expectEveryControlNamed(QWidget* form) {
    int controls = 0;
    for (QWidget* widget : form->findChildren<QWidget*>()) {
        const auto* label = qobject_cast<QLabel*>(widget);
        const bool picture = label != nullptr && !label->pixmap().isNull();
        if (!widget->isVisibleTo(form) || (widget->focusPolicy() == Qt::NoFocus && !picture))
            continue;
        ++controls;
        EXPECT_FALSE(accessibleText(widget, QAccessible::Name).trimmed().isEmpty())
            << form->objectName().toStdString() << "." << widget->objectName().toStdString();
    }
    EXPECT_GT(controls, 0);
}

class Access : public RecorderTest {
protected:
    // Presses and releases `key` on the slider as the keyboard does.
    void key(int key, bool autoRepeat = false) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(), autoRepeat);
        QApplication::sendEvent(window->ui->Slider, &press);
        if (autoRepeat) return;  // a held key: its release comes later
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
        QApplication::sendEvent(window->ui->Slider, &release);
        QApplication::processEvents();  // the release seeks from the event loop
    }
    std::string position() {
        std::string reply;
        engine.mciSendString("status RecordDev position", &reply);
        return reply;
    }
};

}  // namespace

TEST_F(Access, EveryControlHasANameAndTheSliderReadsAsMinutesAndSeconds) {
    window->show();
    expectEveryControlNamed(window.get());
    EXPECT_EQ(accessibleText(window->ui->cmdRecord, QAccessible::Name), "录音");
    EXPECT_EQ(accessibleText(window->ui->cmdStop, QAccessible::Name), "停止");
    EXPECT_EQ(accessibleText(window->ui->cmdPlay, QAccessible::Name), "播放");
    EXPECT_EQ(accessibleText(window->ui->opt11025, QAccessible::Name), "音频：11025HZ");
    EXPECT_EQ(accessibleText(window->ui->optDouble, QAccessible::Name), "声道：立体声");
    EXPECT_EQ(accessibleText(window->ui->Slider, QAccessible::Name), "当前位置");
    EXPECT_EQ(accessibleText(window->ui->Slider, QAccessible::Description), "00:00");
    recordFor(75400);
    EXPECT_EQ(accessibleText(window->ui->Slider, QAccessible::Description), "01:15");

    frmHotKey overview(QString{});
    overview.showKeys(ModuleTray::StandardHotKeys());
    overview.show();
    expectEveryControlNamed(&overview);
    frmAbout about(registry, shell, dialogs);
    about.show();
    expectEveryControlNamed(&about);
}

// The overview names each arrow in the key chooser's words: its label and picture together
// read as the chooser writes the whole key.
TEST_F(Access, TheOverviewsArrowsReadAsTheChooserWritesThem) {
    const ModuleTray::HotKeyChoice keys = ModuleTray::StandardHotKeys();
    frmHotKey overview(QString{});
    overview.showKeys(keys);
    frmHotKeyChange chooser(keys);
    for (size_t i = 0; i < keys.size(); ++i) {
        QLabel* label =
            ModuleTray::kHotKeys[i].id == ModuleTray::kHotKeyRecord ? overview.ui->Label2
            : ModuleTray::kHotKeys[i].id == ModuleTray::kHotKeyStop ? overview.ui->Label4
                                                                    : overview.ui->Label3;
        QLabel* image =
            ModuleTray::kHotKeys[i].id == ModuleTray::kHotKeyRecord ? overview.ui->Image1
            : ModuleTray::kHotKeys[i].id == ModuleTray::kHotKeyStop ? overview.ui->Image3
                                                                    : overview.ui->Image2;
        const QString chooserWords =
            chooser.txtKeys[i]->keySequence().toString(QKeySequence::NativeText);
        const QString overviewWords = label->text().section(QStringLiteral("："), 1) +
                                      accessibleText(image, QAccessible::Name);
        EXPECT_EQ(overviewWords, chooserWords) << ModuleTray::kHotKeys[i].name;
        EXPECT_FALSE(accessibleText(image, QAccessible::Name).isEmpty());
    }
}

TEST_F(Access, TheLevelMeterReadsItsLevelInDecibels) {
    // LevelMeterView has no meta-object of its own: findChild would take any QWidget.
    LevelMeterView* meter = nullptr;
    for (QWidget* child : window->findChildren<QWidget*>())
        if (auto* view = dynamic_cast<LevelMeterView*>(child)) meter = view;
    ASSERT_NE(meter, nullptr);
    EXPECT_EQ(accessibleText(meter, QAccessible::Name), "电平");
    EXPECT_EQ(accessibleText(meter, QAccessible::Description), "无声");
    backend.setSignal(constantSignal(16384));  // half of full scale: -6 dB
    recordFor(500);
    window->TimerLevel_Timer();
    EXPECT_EQ(accessibleText(meter, QAccessible::Description), "-6 dB");
}

// Arrows, Page Up/Down, Home and End move the focused slider and seek when the key is
// released, as the mouse seeks on release; a held key pauses once and seeks once.
TEST_F(Access, TheSliderSeeksFromTheKeyboard) {
    recordFor(10400);
    window->cmdStop_Click();
    key(Qt::Key_Home);
    EXPECT_EQ(position(), "0");
    key(Qt::Key_Right);
    key(Qt::Key_Right);
    EXPECT_EQ(position(), "2000");
    key(Qt::Key_PageUp);  // the page step: 5 s
    EXPECT_EQ(position(), "7000");
    key(Qt::Key_Left);
    EXPECT_EQ(position(), "6000");

    // While playing: the first press pauses, repeats move on, the release plays from there.
    window->cmdPlay_Click();
    tickAfter(1000);
    key(Qt::Key_Home, /*autoRepeat=*/false);
    ASSERT_TRUE(window->IsPlaying);
    mci.take();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    QApplication::sendEvent(window->ui->Slider, &press);
    EXPECT_FALSE(window->TimerMci.isActive());
    for (int i = 0; i < 3; ++i) key(Qt::Key_Right, /*autoRepeat=*/true);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Right, Qt::NoModifier);
    QApplication::sendEvent(window->ui->Slider, &release);
    QApplication::processEvents();
    const auto sent = mci.take();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "pause RecordDev"), 1);
    EXPECT_NE(std::find(sent.begin(), sent.end(), "seek RecordDev to 4000"), sent.end());
    EXPECT_TRUE(window->TimerMci.isActive());
    EXPECT_EQ(engine.device("RecordDev")->mode(), mci::WaveAudioDevice::Mode::Playing);

    // Tab away with the key still down: its release goes elsewhere, so leaving seeks.
    QKeyEvent held(QEvent::KeyPress, Qt::Key_Home, Qt::NoModifier);
    QApplication::sendEvent(window->ui->Slider, &held);
    EXPECT_FALSE(window->TimerMci.isActive());
    QFocusEvent left(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(window->ui->Slider, &left);
    QApplication::processEvents();
    EXPECT_TRUE(window->TimerMci.isActive());
    EXPECT_EQ(engine.device("RecordDev")->mode(), mci::WaveAudioDevice::Mode::Playing);
}

TEST_F(Access, PlayAndStopPicturesFollowADarkPalette) {
    const auto middle = [](QPushButton* button) {
        return button->icon().pixmap(button->iconSize()).toImage().pixelColor(16, 16);
    };
    EXPECT_LT(middle(window->ui->cmdPlay).lightness(), 64);
    QPalette dark = window->palette();
    dark.setColor(QPalette::Button, QColor(40, 40, 40));
    dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    window->setPalette(dark);
    for (QPushButton* button : {window->ui->cmdPlay, window->ui->cmdStop})
        EXPECT_GT(middle(button).lightness(), 192) << button->objectName().toStdString();
    EXPECT_GT(middle(window->ui->cmdRecord).red(), 192);  // the record dot stays red
}
