// Tray animation, the tray and hot-key messages, and the hot-key overview.
#include "frmHotKey.h"
#include "frmMain.h"
#include "ui_frmMain.h"

#include <QCursor>
#include <QPixmap>

namespace wsx {

using namespace platform;

void frmMain::showFrame(const QString& name) {
    // The frame is loaded by name each time (resource names are kept in capitals). It goes
    // through QPixmap, whose cache is keyed by the name: an icon made straight from the file
    // name gets a fresh pixmap cache of its own each time, and at 20 frames a second the
    // window icon and the tray icon then grow the process by about 0.5 MB a minute.
    setWindowIcon(QIcon(QPixmap(QStringLiteral(":/icons/") + name.toUpper())));
    m_tray.TraySetIcon(Picture{Picture::Type::Icon, windowIcon()});
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

int32_t frmMain::WindowProc(HWND hWnd, uint32_t uMsg, int32_t wParam, int32_t lParam) {
    if (uMsg == ModuleTray::TrayCallbackMessage) {
        if (uint32_t(lParam) == WM_LBUTTONDBLCLK) {
            setWindowState(windowState() & ~Qt::WindowMinimized);
            show();
            activateWindow();
            ui->mnuShowRec->setEnabled(false);
            return 0;
        }
        if (uint32_t(lParam) == WM_RBUTTONUP) {
            popTrayMenu();
            return 0;
        }
    } else if (uMsg == WM_HOTKEY) {
        m_tray.HotKeyInfo.Modifiers = uint16_t(uint32_t(lParam) & 0xFFFF);
        m_tray.HotKeyInfo.VirtualKey = uint16_t(uint32_t(lParam) >> 16);
        const bool modifiersMatch = m_tray.HotKeyInfo.Modifiers == m_tray.HotKeyModifiers;
        const uint16_t key = m_tray.HotKeyInfo.VirtualKey;
        // A hot key does what a click would, and only when a click is possible.
        QPushButton* button = nullptr;
        if (wParam == ModuleTray::kHotKeyRecord && modifiersMatch && key == VK_DOWN)
            button = ui->cmdRecord;
        if (wParam == ModuleTray::kHotKeyPlay && modifiersMatch && key == VK_RIGHT)
            button = ui->cmdPlay;
        if (wParam == ModuleTray::kHotKeyStop && modifiersMatch && key == VK_UP)
            button = ui->cmdStop;
        if (button && button->isEnabled()) button->click();
    }
    return OldWndProc ? OldWndProc(hWnd, uMsg, wParam, lParam) : 0;
}

void frmMain::mnuHotKey_Click() {
    frmHotKey dialog;
    dialog.exec();
}

void frmMain::mnuHotKeyH_Click() { mnuHotKey_Click(); }

}  // namespace wsx
