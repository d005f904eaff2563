// What a screen reader and a keyboard user get from the window: names for the controls that
// show only pictures or stand in a group, the slider's position as mm:ss, and seeking with
// the keys of a focused slider.
#include "frmMain.h"
#include "ui_frmMain.h"

#include <QKeyEvent>

namespace wsx {

namespace {

// The keys with which a focused slider moves its thumb.
bool isSeekKey(int key) {
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End: return true;
    default: return false;
    }
}

}  // namespace

void frmMain::setUpAccessibility() {
    // The three buttons show only pictures: their tool tips are their names.
    for (QPushButton* button : {ui->cmdPlay, ui->cmdStop, ui->cmdRecord})
        button->setAccessibleName(button->toolTip());
    // An option alone ("单声道") does not say what it chooses: it is read with the caption of
    // its group ("声道：单声道").
    const std::pair<QLabel*, QRadioButton*> options[] = {{ui->Label1, ui->opt11025},
                                                         {ui->Label1, ui->opt22050},
                                                         {ui->Label2, ui->optSingle},
                                                         {ui->Label2, ui->optDouble}};
    for (const auto& [group, option] : options)
        option->setAccessibleName(group->text() + QStringLiteral("：") + option->text());
    // The slider counts whole seconds; it is read as the position read-out shows them.
    ui->Slider->setAccessibleName(QStringLiteral("当前位置"));
    const auto describePosition = [this](int seconds) {
        ui->Slider->setAccessibleDescription(QString::fromStdString(
            ModuleRecord::FormatTime(std::to_string(int64_t(seconds) * 1000))));
    };
    describePosition(ui->Slider->value());
    connect(ui->Slider, &QSlider::valueChanged, this, describePosition);
}

bool frmMain::Slider_KeyEvent(QKeyEvent* event) {
    if (!isSeekKey(event->key()) || (event->modifiers() & ~Qt::KeypadModifier) != 0) return false;
    // A held key repeats presses; only the first one pauses, as a mouse press does.
    if (event->type() == QEvent::KeyPress && !m_keySeeking) {
        m_keySeeking = true;
        Slider_MouseDown();
    } else if (event->type() == QEvent::KeyRelease && !event->isAutoRepeat() && m_keySeeking) {
        // The release seeks where the presses put the thumb, as the mouse's release does.
        m_keySeeking = false;
        QMetaObject::invokeMethod(this, &frmMain::Slider_MouseUp, Qt::QueuedConnection);
    }
    return false;  // the slider itself moves the thumb
}

void frmMain::Slider_FocusOut() {
    if (!m_keySeeking) return;
    m_keySeeking = false;
    if (ui->Slider->isEnabled())
        QMetaObject::invokeMethod(this, &frmMain::Slider_MouseUp, Qt::QueuedConnection);
}

}  // namespace wsx
