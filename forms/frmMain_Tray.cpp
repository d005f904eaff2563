// Tray animation, and the tray and hot-key messages.
#include "frmMain.h"
#include "ui_frmMain.h"

#include <QCursor>
#include <QPixmap>

namespace wsx {

using namespace platform;

const QIcon& frmMain::frameIcon(const QString& name) {
    // Each frame is read from the resources once and then kept (resource names are in
    // capitals). Reading it again every 50 ms cost a resource lookup, a pixmap-cache search
    // keyed by the file's modification time (which reads the time zone) and, as every frame
    // was a new icon, a fresh scaling to the tray's size. The same icon each time lets Qt
    // keep what it scaled.
    auto found = m_frames.constFind(name);
    if (found == m_frames.constEnd())
        found = m_frames.insert(name, QIcon(QPixmap(QStringLiteral(":/icons/") + name.toUpper())));
    return found.value();
}

void frmMain::showFrame(const QString& name) {
    m_frame = frameIcon(name);
    // A window icon is converted and sent to the X server whole, every frame; a hidden
    // window shows it nowhere, so it catches up when it is shown (showEvent).
    if (isVisible()) setWindowIcon(m_frame);
    m_tray.TraySetIcon(Picture{Picture::Type::Icon, m_frame});
}

void frmMain::animate(int16_t& frame, const char* prefix, int16_t frames) {
    frame = int16_t(frame + 1);
    if (frame > frames) frame = 1;
    showFrame(QString::fromLatin1(prefix) + QString::number(frame));
}

void frmMain::TimerPlay_Timer() { animate(PlayFrame, "play", 3); }
void frmMain::TimerRecord_Timer() { animate(RecordFrame, "disc", 6); }
void frmMain::TimerStop_Timer() { animate(StopFrame, "stop", 2); }

void frmMain::mnuShowRec_Click() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
}

void frmMain::popTrayMenu() { ui->mnuTray->exec(QCursor::pos()); }

QMenu* frmMain::trayWindowMenu() { return ui->mnuTray; }

int32_t frmMain::WindowProc(HWND hWnd, uint32_t uMsg, int32_t wParam, int32_t lParam) {
    if (uMsg == ModuleTray::TrayCallbackMessage) {
        if (uint32_t(lParam) == WM_LBUTTONDBLCLK) {
            RestoreWindow();
            return 0;
        }
        if (uint32_t(lParam) == WM_RBUTTONUP) {
            popTrayMenu();
            return 0;
        }
    } else if (uMsg == WM_HOTKEY) {
        m_tray.HotKeyInfo.Modifiers = uint16_t(uint32_t(lParam) & 0xFFFF);
        m_tray.HotKeyInfo.VirtualKey = uint16_t(uint32_t(lParam) >> 16);
        // Only the keys in force for that id count: a press of keys given up is stale.
        const HotKeyChord inForce = m_tray.HotKeyOf(wParam);
        const bool keysMatch = m_tray.HotKeyInfo.Modifiers == inForce.modifiers &&
                               m_tray.HotKeyInfo.VirtualKey == inForce.vk;
        // A hot key does what a click would, and only when a click is possible.
        QPushButton* button = nullptr;
        if (wParam == ModuleTray::kHotKeyRecord && keysMatch) button = ui->cmdRecord;
        if (wParam == ModuleTray::kHotKeyPlay && keysMatch) button = ui->cmdPlay;
        if (wParam == ModuleTray::kHotKeyStop && keysMatch) button = ui->cmdStop;
        if (button && button->isEnabled()) button->click();
    }
    return OldWndProc ? OldWndProc(hWnd, uMsg, wParam, lParam) : 0;
}

void frmMain::RestoreWindow() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    ui->mnuShowRec->setEnabled(false);
}

bool frmMain::HotKeyCommand(int32_t id) {
    for (const ModuleTray::HotKey& key : ModuleTray::kHotKeys) {
        if (key.id != id) continue;
        const QPushButton* button = id == ModuleTray::kHotKeyRecord ? ui->cmdRecord
                                    : id == ModuleTray::kHotKeyPlay ? ui->cmdPlay
                                                                    : ui->cmdStop;
        const HotKeyChord chord = m_tray.HotKeyOf(id);
        const auto lParam = int32_t(chord.modifiers | chord.vk << 16);
        // Posted as the key's own message is: the answer to the caller never waits for what
        // the click does (a message box, say).
        QMetaObject::invokeMethod(
            this, [this, id, lParam] { WindowProc(this, WM_HOTKEY, id, lParam); },
            Qt::QueuedConnection);
        return button->isEnabled();
    }
    return false;
}

}  // namespace wsx
