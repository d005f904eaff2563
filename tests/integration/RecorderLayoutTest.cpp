// The window as laid out: places (pixels = twips ÷ 15), captions, fonts, colours and menus,
// read back from the widgets.
#include "forms/CaptionFit.h"
#include "forms/frmAbout.h"
#include "forms/frmHotKey.h"
#include "support/RecorderFixture.h"
#include "ui_frmHotKey.h"
#include "ui_frmMain.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QFontDatabase>
#include <QGroupBox>
#include <QRadioButton>
#include <QStyleOptionButton>

using namespace wsx;
using wsx::test::RecorderTest;

using Layout = RecorderTest;

namespace {
QRect twips(int left, int top, int width, int height) {
    auto px = [](int t) { return int(std::lround(t / 15.0)); };
    return QRect(px(left), px(top), px(width), px(height));
}

// The table's places are for a Song face with a 12 px line at 9 pt (AR PL UMing, as SimSun).
// A taller face (Noto Serif CJK: 17 px) makes captions grow, and what lies below them move
// down, by a few pixels; across and in width nothing changes.
bool faceHasTheTablesLine() {
    return QFontMetrics(QFont(QStringLiteral("宋体"), 9)).height() <= 12;
}
constexpr int kTallerFaceSlack = 12;  // pixels a place may move down or grow with a taller face

void expectPlace(const QWidget* widget, const QRect& table) {
    const std::string name = widget->objectName().toStdString();
    if (faceHasTheTablesLine()) {
        EXPECT_EQ(widget->geometry(), table) << name;
        return;
    }
    const QRect place = widget->geometry();
    EXPECT_EQ(place.x(), table.x()) << name;
    EXPECT_EQ(place.width(), table.width()) << name;
    EXPECT_GE(place.top(), table.top() - kTallerFaceSlack / 2) << name;
    EXPECT_LE(place.bottom(), table.bottom() + kTallerFaceSlack) << name;
    EXPECT_GE(place.height(), table.height()) << name;
}

// The room a caption's text has inside its control, as the style draws it.
QRect textRoom(const QWidget* widget) {
    const auto* button = qobject_cast<const QAbstractButton*>(widget);
    if (button == nullptr) return widget->contentsRect();
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    const auto element = qobject_cast<const QRadioButton*>(widget) ? QStyle::SE_RadioButtonContents
                         : qobject_cast<const QCheckBox*>(widget)  ? QStyle::SE_CheckBoxContents
                                                                   : QStyle::SE_PushButtonContents;
    return button->style()->subElementRect(element, &option, button);
}

// Every caption of `form` shows whole: its text fits the room inside its control, the
// control lies inside the form, and inside a group box it keeps off the title.
void expectNoCaptionCutOff(const QWidget* form) {
    int captions = 0;
    for (const QWidget* widget : form->findChildren<QWidget*>()) {
        QString text;
        int flags = Qt::AlignCenter | Qt::TextShowMnemonic;
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            if (!label->pixmap().isNull() || label->text().isEmpty()) continue;
            text = label->text();
            flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
        } else if (qobject_cast<const QAbstractButton*>(widget)) {
            text = static_cast<const QAbstractButton*>(widget)->text();
            if (text.isEmpty()) continue;
        } else {
            continue;
        }
        ++captions;
        const auto* button = qobject_cast<const QAbstractButton*>(widget);
        const std::string name =
            widget->objectName().toStdString() + " \"" + text.toStdString() + "\"";
        const QRect room = textRoom(widget);
        const QRect needed = widget->fontMetrics().boundingRect(room, flags, text);
        EXPECT_LE(needed.width(), room.width()) << name;
        // No caption touches the next control in its row: the fit leaves 3 px between, of
        // which rounding the text's start to a pixel may take one.
        const int textRight = widget->x() + room.x() + needed.width() - 1;
        for (const QObject* object : widget->parentWidget()->children()) {
            const auto* next = qobject_cast<const QWidget*>(object);
            if (button == nullptr || next == nullptr || next == widget || next->isWindow() ||
                next->x() <= widget->x() || next->y() > widget->geometry().bottom() ||
                next->geometry().bottom() < widget->y())
                continue;
            EXPECT_LE(textRight + 2, next->x() - 1)
                << name << " touches " << next->objectName().toStdString();
        }
        EXPECT_LE(needed.height(), room.height()) << name;
        if (const auto* group = qobject_cast<const QGroupBox*>(widget->parentWidget())) {
            EXPECT_FALSE(groupTitleRect(group).intersects(widget->geometry())) << name;
        }
    }
    EXPECT_GT(captions, 3) << form->objectName().toStdString();
}

// Every control `form` shows lies whole inside it (the slider's handle, the buttons, the
// pictures), whatever the scale.
void expectEveryControlInside(const QWidget* form) {
    const QRect whole(QPoint(0, 0), form->size());
    for (const QWidget* widget : form->findChildren<QWidget*>()) {
        // The etched rules run to the edge as drawn, wherever they end.
        const auto* rule = qobject_cast<const QFrame*>(widget);
        if (rule != nullptr && rule->frameShape() == QFrame::HLine) continue;
        if (widget->isWindow() || !widget->isVisibleTo(form)) continue;
        const QRect inForm(widget->mapTo(form, QPoint(0, 0)), widget->size());
        EXPECT_TRUE(whole.contains(inForm))
            << widget->objectName().toStdString() << " at " << inForm.x() << "," << inForm.y()
            << " " << inForm.width() << "×" << inForm.height() << " in " << whole.width() << "×"
            << whole.height();
    }
}

}  // namespace

// The slider is 2640 twips wide, not the 2700 of the layout: at 2700 it ran 2 px past the
// window's right edge and its handle was cut off at the end.
TEST_F(Layout, ControlsSitWhereTheTableSays) {
    const auto& u = *window->ui;
    window->show();
    QApplication::processEvents();
    if (faceHasTheTablesLine()) {
        EXPECT_EQ(u.centralwidget->size(), QSize(314, 135));
    }
    EXPECT_EQ(u.centralwidget->width(), 314);
    EXPECT_GE(u.centralwidget->height(), 135);
    EXPECT_LE(u.centralwidget->height(), 135 + kTallerFaceSlack);
    const std::pair<QWidget*, QRect> places[] = {
        {u.Frame1, twips(60, 75, 2040, 1380)},     {u.Picture1, twips(30, 450, 1950, 345)},
        {u.opt11025, twips(15, 15, 930, 270)},     {u.opt22050, twips(945, 30, 945, 240)},
        {u.Picture2, twips(60, 1005, 1920, 330)},  {u.optSingle, twips(15, 60, 990, 210)},
        {u.optDouble, twips(930, 60, 840, 195)},   {u.Picture4, twips(2190, 150, 2505, 450)},
        {u.Picture3, twips(2190, 660, 2490, 465)}, {u.Slider, twips(2040, 1170, 2640, 360)},
        {u.chkStart, twips(75, 1695, 1995, 270)},  {u.cmdPlay, twips(2160, 1665, 780, 315)},
        {u.cmdStop, twips(3030, 1665, 780, 315)},  {u.cmdRecord, twips(3900, 1665, 780, 315)},
    };
    for (const auto& [widget, rect] : places) expectPlace(widget, rect);
    if (faceHasTheTablesLine()) {
        EXPECT_EQ(u.lblLen->pos(), twips(60, 75, 0, 0).topLeft());
        EXPECT_EQ(u.lblPos->pos(), twips(60, 90, 0, 0).topLeft());
    }
    // Top to bottom and left to right as in the table, whatever the face.
    EXPECT_LT(u.Picture1->geometry().bottom(), u.Picture2->y());
    EXPECT_LT(u.opt11025->geometry().right(), u.opt22050->x() + 1);
    EXPECT_LT(u.Frame1->geometry().bottom(), u.chkStart->y());
    EXPECT_LT(u.Picture4->geometry().bottom(), u.Picture3->y());
}

TEST_F(Layout, NoCaptionIsCutOffInTheSongFace) {
    // "宋体" is Noto Serif CJK SC where it is installed: its bold Latin reads "Ctrl+Alt+"
    // where AR PL UMing's smears it into "Ctr1+A1t+".
    if (QFontDatabase::families().contains(QStringLiteral("Noto Serif CJK SC"))) {
        EXPECT_EQ(QFontInfo(QFont(QStringLiteral("宋体"), 9)).family(), "Noto Serif CJK SC");
    }
    window->show();
    QApplication::processEvents();
    expectNoCaptionCutOff(window->ui->centralwidget);
    expectEveryControlInside(window->ui->centralwidget);
    for (const QString& notice :
         {QString(), QStringLiteral("这个桌面不给程序全局热键，它们现在不起作用。")}) {
        frmHotKey overview(notice);
        overview.show();
        QApplication::processEvents();
        expectNoCaptionCutOff(&overview);
        expectEveryControlInside(&overview);
        EXPECT_EQ(QFontInfo(overview.ui->Label2->font()).family(),
                  QFontInfo(QFont("宋体")).family());
    }
    frmAbout about(registry, shell, dialogs);
    about.show();
    QApplication::processEvents();
    expectNoCaptionCutOff(&about);
    expectEveryControlInside(&about);
    // The e-mail field keeps off the OK button beside it and shows the whole address (the
    // standard one always; one set at build time too long even condensed, in its tool tip).
    auto* mail = about.findChild<QLineEdit*>(QStringLiteral("txtMail"));
    auto* ok = about.findChild<QPushButton*>(QStringLiteral("cmdOK"));
    ASSERT_TRUE(mail != nullptr && ok != nullptr);
    EXPECT_LT(mail->geometry().right(), ok->x());
    const bool whole =
        mail->fontMetrics().horizontalAdvance(mail->text()) <= mail->contentsRect().width() - 4;
    if (mail->text() == QStringLiteral("wsx@example.invalid")) {
        EXPECT_TRUE(whole);
    }
    EXPECT_TRUE(whole || mail->toolTip() == mail->text()) << mail->text().toStdString();
}

TEST_F(Layout, CaptionsFontsAndColours) {
    const auto& u = *window->ui;
    EXPECT_EQ(window->windowTitle(), "万声匣");
    EXPECT_EQ(u.Frame1->title(), "录音选项");
    EXPECT_EQ(u.Label1->text(), "音频");
    EXPECT_EQ(u.Label2->text(), "声道");
    EXPECT_EQ(u.opt11025->text(), "11025HZ");
    EXPECT_EQ(u.opt22050->text(), "22050HZ");
    EXPECT_EQ(u.optSingle->text(), "单声道");
    EXPECT_EQ(u.optDouble->text(), "立体声");
    EXPECT_EQ(u.chkStart->text(), "系统启动时自动运行");
    EXPECT_EQ(u.lblLen->text(), "文件长度：00:00");
    EXPECT_EQ(u.lblPos->text(), "当前位置：00:00");
    EXPECT_EQ(u.cmdPlay->toolTip(), "播放");
    EXPECT_EQ(u.cmdStop->toolTip(), "停止");
    EXPECT_EQ(u.cmdRecord->toolTip(), "录音");
    for (QLabel* readout : {u.lblLen, u.lblPos}) {
        EXPECT_EQ(readout->font().family(), "宋体");
        EXPECT_EQ(readout->font().pointSize(), 9);
        EXPECT_TRUE(readout->font().bold());
        EXPECT_EQ(readout->palette().color(QPalette::WindowText), QColor(0, 255, 0));
    }
    EXPECT_EQ(u.Label1->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(u.Slider->pageStep(), 5);
    EXPECT_EQ(u.Slider->singleStep(), 1);
}

TEST_F(Layout, MenusAndTabOrder) {
    const auto& u = *window->ui;
    QStringList bar;
    for (QAction* a : u.menubar->actions()) bar << a->text();
    EXPECT_EQ(bar, (QStringList{"文件(&F)", "编辑(&E)", "帮助(&H)"}));
    auto captions = [](QMenu* m) {
        QStringList out;
        for (QAction* a : m->actions()) out << (a->isSeparator() ? "-" : a->text());
        return out;
    };
    EXPECT_EQ(captions(u.mnuFile), (QStringList{"新建(&N)", "另存为(&A)", "-", "退出(&X)"}));
    EXPECT_EQ(captions(u.mnuEdit),
              (QStringList{"删除当前位置之前的内容(&F)", "删除当前位置之后的内容(&B)", "-",
                           "录音来源(&S)"}));
    EXPECT_EQ(captions(u.mnuInput),
              (QStringList{"默认输入(&D)", "电脑播放的声音(&C)", "话筒和电脑声音(&B)", "-"}));
    EXPECT_EQ(captions(u.mnuHelp),
              (QStringList{"帮助主题(&T)", "-", "声匣热键一览", "-", "关于声匣(&A)"}));
    EXPECT_EQ(captions(u.mnuTray), (QStringList{"显示声匣", "-", "声匣热键一览", "-", "录音",
                                                "停止", "播放", "-", "关于声匣", "-", "退出声匣"}));
    EXPECT_EQ(u.mnuNew->shortcut(), QKeySequence("Ctrl+N"));
    EXPECT_EQ(u.mnuSaveAs->shortcut(), QKeySequence("Ctrl+A"));
    EXPECT_EQ(u.mnuExit->shortcut(), QKeySequence("Ctrl+X"));
    QWidget* w = u.cmdPlay;
    QStringList order;
    for (int i = 0; i < 8; ++i, w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus) order << w->objectName();
    EXPECT_EQ(order.mid(0, 4), (QStringList{"cmdPlay", "cmdStop", "cmdRecord", "opt11025"}));
}

TEST_F(Layout, HotKeyOverview) {
    frmHotKey dialog;
    EXPECT_EQ(dialog.windowTitle(), "声匣热键一览");
    if (faceHasTheTablesLine()) {
        EXPECT_EQ(dialog.size(), QSize(319, 186));
    }
    EXPECT_EQ(dialog.width(), 319);
    EXPECT_GE(dialog.height(), 186);
    EXPECT_EQ(dialog.ui->Label2->text(), "录音：Ctrl+Alt+");
    EXPECT_EQ(dialog.ui->Label4->text(), "停止：Ctrl+Alt+");
    EXPECT_EQ(dialog.ui->Label3->text(), "播放：Ctrl+Alt+");
    EXPECT_EQ(dialog.ui->cmdOk->text(), "确定(&O)");
    EXPECT_TRUE(dialog.ui->Label1->text().startsWith("  下面为声匣的热键"));
}
