// The window as laid out: places (pixels = twips ÷ 15), captions, fonts, colours and menus,
// read back from the widgets.
#include "forms/frmHotKey.h"
#include "support/RecorderFixture.h"
#include "ui_frmHotKey.h"
#include "ui_frmMain.h"

using namespace wsx;
using wsx::test::RecorderTest;

using Layout = RecorderTest;

namespace {
QRect twips(int left, int top, int width, int height) {
    auto px = [](int t) { return int(std::lround(t / 15.0)); };
    return QRect(px(left), px(top), px(width), px(height));
}
}  // namespace

TEST_F(Layout, ControlsSitWhereTheTableSays) {
    const auto& u = *window->ui;
    window->show();
    QApplication::processEvents();
    EXPECT_EQ(u.centralwidget->size(), QSize(314, 135));
    const std::pair<QWidget*, QRect> places[] = {
        {u.Frame1, twips(60, 75, 2040, 1380)},     {u.Picture1, twips(30, 450, 1950, 345)},
        {u.opt11025, twips(15, 15, 930, 270)},     {u.opt22050, twips(945, 30, 945, 240)},
        {u.Picture2, twips(60, 1005, 1920, 330)},  {u.optSingle, twips(15, 60, 990, 210)},
        {u.optDouble, twips(930, 60, 840, 195)},   {u.Picture4, twips(2190, 150, 2505, 450)},
        {u.Picture3, twips(2190, 660, 2490, 465)}, {u.Slider, twips(2040, 1170, 2700, 360)},
        {u.chkStart, twips(75, 1695, 1995, 270)},  {u.cmdPlay, twips(2160, 1665, 780, 315)},
        {u.cmdStop, twips(3030, 1665, 780, 315)},  {u.cmdRecord, twips(3900, 1665, 780, 315)},
    };
    for (const auto& [widget, rect] : places)
        EXPECT_EQ(widget->geometry(), rect) << widget->objectName().toStdString();
    EXPECT_EQ(u.lblLen->pos(), twips(60, 75, 0, 0).topLeft());
    EXPECT_EQ(u.lblPos->pos(), twips(60, 90, 0, 0).topLeft());
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
              (QStringList{"默认输入(&D)", "电脑播放的声音(&C)", "麦克风和电脑声音(&B)", "-"}));
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
    EXPECT_EQ(dialog.size(), QSize(319, 186));
    EXPECT_EQ(dialog.ui->Label2->text(), "录音：Ctrl+Alt+");
    EXPECT_EQ(dialog.ui->Label4->text(), "停止：Ctrl+Alt+");
    EXPECT_EQ(dialog.ui->Label3->text(), "播放：Ctrl+Alt+");
    EXPECT_EQ(dialog.ui->cmdOk->text(), "确定(&O)");
    EXPECT_TRUE(dialog.ui->Label1->text().startsWith("  下面为声匣的热键"));
}
