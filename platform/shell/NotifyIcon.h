#pragma once

#include "platform/messages/WindowMessages.h"

#include <QIcon>

#include <cstdint>

class QMenu;

namespace wsx::platform {

constexpr uint32_t NIM_ADD = 0;
constexpr uint32_t NIM_MODIFY = 1;
constexpr uint32_t NIM_DELETE = 2;
constexpr uint32_t NIF_MESSAGE = 1;
constexpr uint32_t NIF_ICON = 2;
constexpr uint32_t NIF_TIP = 4;
constexpr uint32_t NIF_INFO = 0x10;

// One notification-area icon record. szTip holds UTF-8 text ending in a NUL; the caller
// keeps it within the 64 bytes.
struct NOTIFYICONDATA {
    uint32_t cbSize = 0;
    HWND hWnd = nullptr;
    uint32_t uID = 0;
    uint32_t uFlags = 0;
    uint32_t uCallbackMessage = 0;
    QIcon hIcon;
    char szTip[64] = {};
    // With NIF_INFO: a notification shown beside the icon, title and text in UTF-8 ending in
    // a NUL within their fields.
    char szInfo[256] = {};
    char szInfoTitle[64] = {};
};

// Puts icons into the desktop's notification area. An icon is identified by (hWnd, uID).
// NIM_ADD shows it with the icon, tip and callback message of the record; NIM_MODIFY
// changes only the fields uFlags names (NIF_INFO shows szInfoTitle/szInfo as a notification
// once); NIM_DELETE removes it. Mouse events on the icon
// come back to hWnd->WindowProc(hWnd, uCallbackMessage, uID, mouse message): a double click
// as WM_LBUTTONDBLCLK, a right-button release as WM_RBUTTONUP.
// Thread safety: UI thread only.
class NotifyIconService {
public:
    virtual ~NotifyIconService() = default;
    virtual bool Shell_NotifyIcon(uint32_t message, const NOTIFYICONDATA& data) = 0;
    // The menu of an added icon, for hosts that draw an icon's menu themselves
    // (StatusNotifierItem hosts show it on a right click and send no WM_RBUTTONUP; with an
    // XEmbed tray the window pops it up on WM_RBUTTONUP as before). The menu must outlive
    // the icon. False for an icon that does not exist.
    virtual bool setIconMenu(HWND hWnd, uint32_t uID, QMenu* menu) = 0;
    // Whether the desktop shows a notification area now. Without one an icon is kept and
    // appears when an area does.
    virtual bool trayAvailable() const = 0;
};

}  // namespace wsx::platform
