#include "frmMain.h"

#include "CaptionFit.h"

#include "Paths.h"
#include "ui_frmMain.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>

namespace wsx {

namespace {
// A button's picture from the icon resource `resource`. The play and stop shapes are black:
// painted in the palette's button-text colour `tint` they read on a dark theme as on a light
// one (the red record dot needs none). Qt's greying barely changes a black shape, so a faded
// picture makes a disabled button plain to see.
QIcon buttonPicture(const QString& resource, const QSize& size, const QColor* tint) {
    QPixmap normal = QIcon(resource).pixmap(size);
    if (tint != nullptr) {
        QPainter painter(&normal);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(QRect(QPoint(0, 0), normal.deviceIndependentSize().toSize()), *tint);
    }
    QPixmap faded(normal.size());
    faded.setDevicePixelRatio(normal.devicePixelRatio());
    faded.fill(Qt::transparent);
    QPainter painter(&faded);
    painter.setOpacity(0.3);
    painter.drawPixmap(0, 0, normal);
    painter.end();
    QIcon icon;
    icon.addPixmap(normal);
    icon.addPixmap(faded, QIcon::Disabled);
    return icon;
}
}  // namespace

frmMain::frmMain(RecorderServices services, QWidget* parent)
    : QMainWindow(parent),
      dlgMciSave(services.dialogs),
      ui(std::make_unique<Ui::frmMain>()),
      m_services(services),
      m_record(services.sound),
      m_tray(services.tray, services.hotKeys, *this),
      m_reg(services.registry),
      m_settings(services.settingsFile) {
    ui->setupUi(this);
    setWindowTitle(kAppTitle);
    // A minimise button and no maximise button. Without CustomizeWindowHint Qt offers the
    // window manager every button whatever the other hints; and window managers that go by
    // the size hints alone (openbox) offer maximising to any window that can be resized, so
    // the window keeps its size (below). Resizing never moved a control: it only ever showed
    // empty area or hid controls.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    // The client area below the menu bar is 314 × 135 pixels, whatever the menu font; taller
    // only when a caption needs more room in the face "宋体" maps to.
    ui->centralwidget->resize(314, 135);
    fitCaptions(ui->centralwidget);
    setFixedSize(314, ui->centralwidget->height() + menuBar()->sizeHint().height());
    TimerMci.setInterval(100);
    TimerPlay.setInterval(50);
    TimerRecord.setInterval(50);
    TimerStop.setInterval(200);
    paintButtonPictures();
    ui->Slider->installEventFilter(this);
    connectHandlers();
    m_services.hotKeys.onReachChanged = [this] { HotKeysReachChanged(); };
    setUpInputMenu();
    setUpLevelMeter();
    setUpAccessibility();
}

frmMain::~frmMain() {
    m_services.hotKeys.onReachChanged = nullptr;
    if (!m_unloaded) {
        int16_t cancel = 0;
        Form_Unload(cancel);
    }
}

void frmMain::connectHandlers() {
    // Record, Stop and Play are each one action, shown in the tray menu and as a button: the
    // button takes the action's enabled state and a click triggers the action.
    for (const auto& [button, action] :
         {std::pair{ui->cmdRecord, ui->mnuRecord}, std::pair{ui->cmdStop, ui->mnuStop},
          std::pair{ui->cmdPlay, ui->mnuPlay}}) {
        button->setEnabled(action->isEnabled());
        connect(action, &QAction::enabledChanged, button, &QWidget::setEnabled);
        connect(button, &QPushButton::clicked, action, &QAction::trigger);
    }
    connect(ui->mnuRecord, &QAction::triggered, this, &frmMain::cmdRecord_Click);
    connect(ui->mnuStop, &QAction::triggered, this, &frmMain::cmdStop_Click);
    connect(ui->mnuPlay, &QAction::triggered, this, &frmMain::cmdPlay_Click);
    connect(ui->mnuNew, &QAction::triggered, this, &frmMain::mnuNew_Click);
    connect(ui->mnuSaveAs, &QAction::triggered, this, &frmMain::mnuSaveAs_Click);
    connect(ui->mnuExit, &QAction::triggered, this, &frmMain::mnuExit_Click);
    connect(ui->mnuExitRec, &QAction::triggered, this, &frmMain::mnuExitRec_Click);
    connect(ui->mnuDelFore, &QAction::triggered, this, &frmMain::mnuDelFore_Click);
    connect(ui->mnuDelBack, &QAction::triggered, this, &frmMain::mnuDelBack_Click);
    connect(ui->mnuShowRec, &QAction::triggered, this, &frmMain::mnuShowRec_Click);
    connect(ui->mnuHotKey, &QAction::triggered, this, &frmMain::mnuHotKey_Click);
    connect(ui->mnuHotKeyH, &QAction::triggered, this, &frmMain::mnuHotKeyH_Click);
    connect(ui->mnuAbout, &QAction::triggered, this, &frmMain::mnuAbout_Click);
    connect(ui->mnuAboutRec, &QAction::triggered, this, &frmMain::mnuAboutRec_Click);
    connect(ui->mnuHelpTopic, &QAction::triggered, this, &frmMain::mnuHelpTopic_Click);
    // A click changes the check state first, as the handler expects; setting the state from
    // code runs the handler too, exactly as a click would.
    connect(ui->chkStart, &QCheckBox::stateChanged, this, [this] { chkStart_Click(); });
    connect(&TimerMci, &QTimer::timeout, this, &frmMain::TimerMci_Timer);
    if (m_services.sleep) {
        connect(m_services.sleep, &platform::SleepGuard::sleepComing, this, &frmMain::putAwayForSleep);
        connect(m_services.sleep, &platform::SleepGuard::wokeUp, this, &frmMain::tellWokeUp);
    }
    connect(&TimerPlay, &QTimer::timeout, this, &frmMain::TimerPlay_Timer);
    connect(&TimerRecord, &QTimer::timeout, this, &frmMain::TimerRecord_Timer);
    connect(&TimerStop, &QTimer::timeout, this, &frmMain::TimerStop_Timer);
}

void frmMain::paintButtonPictures() {
    const QColor text = palette().color(QPalette::ButtonText);
    ui->cmdPlay->setIcon(
        buttonPicture(QStringLiteral(":/icons/BTN_PLAY"), ui->cmdPlay->iconSize(), &text));
    ui->cmdStop->setIcon(
        buttonPicture(QStringLiteral(":/icons/BTN_STOP"), ui->cmdStop->iconSize(), &text));
    ui->cmdRecord->setIcon(
        buttonPicture(QStringLiteral(":/icons/BTN_RECORD"), ui->cmdRecord->iconSize(), nullptr));
}

std::string frmMain::programFolder() const { return ProgramFolder(m_services.programFile); }

void frmMain::closeEvent(QCloseEvent* event) {
    if (m_unloaded) {
        event->accept();
        return;
    }
    int16_t cancel = 0;
    Form_QueryUnload(cancel, 0);
    if (cancel) {
        event->ignore();
        return;
    }
    Form_Unload(cancel);
    event->accept();
    emit unloaded();
}

void frmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_frame.isNull()) setWindowIcon(m_frame);
    runLevelTimer();
}

void frmMain::hideEvent(QHideEvent* event) {
    QMainWindow::hideEvent(event);
    runLevelTimer();
}

void frmMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        Form_Resize();
        runLevelTimer();
    }
    // The desktop switched between a light and a dark theme.
    if (event->type() == QEvent::PaletteChange) paintButtonPictures();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->Slider && event->type() == QEvent::FocusOut) Slider_FocusOut();
    if (watched == ui->Slider && ui->Slider->isEnabled()) {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)
            return Slider_KeyEvent(static_cast<QKeyEvent*>(event));
        if (event->type() == QEvent::MouseButtonPress) Slider_MouseDown();
        // The release seeks after the slider has taken its last move into account.
        if (event->type() == QEvent::MouseButtonRelease) {
            const bool handled = QMainWindow::eventFilter(watched, event);
            QMetaObject::invokeMethod(this, &frmMain::Slider_MouseUp, Qt::QueuedConnection);
            return handled;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace wsx
