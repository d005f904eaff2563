#include "platform/shell/QtNotifyIcon.h"

#include <QMetaObject>
#include <QString>
#include <QSystemTrayIcon>

#include <cstring>

namespace wsx::platform {

struct QtNotifyIcon::Icon {
    std::unique_ptr<QSystemTrayIcon> tray;
    bool hasCallback = false;
    uint32_t callbackMessage = 0;
    uint64_t serial = 0;
};

namespace {

// The text fields are UTF-8 ending in a NUL within their size; a field without the NUL is
// read up to its end rather than past it.
template <size_t N>
QString fieldText(const char (&field)[N]) {
    return QString::fromUtf8(field, static_cast<qsizetype>(strnlen(field, N)));
}

// The mouse message a window expects for each way Qt reports a click on the icon; 0 for
// the ones it is not told about.
uint32_t mouseMessageFor(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
    case QSystemTrayIcon::DoubleClick: return WM_LBUTTONDBLCLK;
    case QSystemTrayIcon::Context: return WM_RBUTTONUP;
    case QSystemTrayIcon::Trigger: return WM_LBUTTONUP;
    case QSystemTrayIcon::MiddleClick:
    case QSystemTrayIcon::Unknown: break;
    }
    return 0;
}

}  // namespace

QtNotifyIcon::QtNotifyIcon() = default;

QtNotifyIcon::~QtNotifyIcon() = default;

bool QtNotifyIcon::Shell_NotifyIcon(uint32_t message, const NOTIFYICONDATA& data) {
    switch (message) {
    case NIM_ADD: return add(data);
    case NIM_MODIFY: return modify(data);
    case NIM_DELETE: return remove(data);
    default: return false;
    }
}

bool QtNotifyIcon::add(const NOTIFYICONDATA& data) {
    const Key key{data.hWnd, data.uID};
    if (data.hWnd == nullptr || m_icons.count(key) != 0) return false;

    auto icon = std::make_unique<Icon>();
    icon->tray = std::make_unique<QSystemTrayIcon>();
    icon->serial = m_nextSerial++;
    applyFields(*icon, data);

    // Qt emits the activation from inside the icon widget's mouse handler; hand it on from
    // the event loop instead (see the class comment).
    const uint64_t serial = icon->serial;
    QObject::connect(
        icon->tray.get(), &QSystemTrayIcon::activated, &m_context,
        [this, key, serial](QSystemTrayIcon::ActivationReason reason) {
            deliver(key, serial, static_cast<int>(reason));
        },
        Qt::QueuedConnection);

    // Without a tray host this only arms Qt's watcher: the icon docks when a host appears.
    icon->tray->show();
    m_icons.emplace(key, std::move(icon));
    return true;
}

bool QtNotifyIcon::modify(const NOTIFYICONDATA& data) {
    const auto found = m_icons.find(Key{data.hWnd, data.uID});
    if (found == m_icons.end()) return false;
    applyFields(*found->second, data);
    return true;
}

bool QtNotifyIcon::remove(const NOTIFYICONDATA& data) {
    const auto found = m_icons.find(Key{data.hWnd, data.uID});
    if (found == m_icons.end()) return false;
    // Safe at any time, even from WindowProc during a click on this icon: deliveries never
    // run inside the icon's own event handling.
    m_icons.erase(found);
    return true;
}

// Sets the fields uFlags names and leaves the others as earlier calls set them. The window
// replaces icon and tip every 50 ms while it animates: nothing is kept but the current ones.
void QtNotifyIcon::applyFields(Icon& icon, const NOTIFYICONDATA& data) {
    if ((data.uFlags & NIF_ICON) != 0) icon.tray->setIcon(data.hIcon);
    if ((data.uFlags & NIF_TIP) != 0) icon.tray->setToolTip(fieldText(data.szTip));
    if ((data.uFlags & NIF_MESSAGE) != 0) {
        icon.hasCallback = true;
        icon.callbackMessage = data.uCallbackMessage;
    }
    // Shown by the tray host (StatusNotifierItem: the desktop's notification service).
    if ((data.uFlags & NIF_INFO) != 0)
        icon.tray->showMessage(fieldText(data.szInfoTitle), fieldText(data.szInfo),
                               QSystemTrayIcon::Warning);
}

void QtNotifyIcon::deliver(Key key, uint64_t serial, int reason) {
    const auto found = m_icons.find(key);
    if (found == m_icons.end() || found->second->serial != serial || !found->second->hasCallback)
        return;
    const uint32_t mouse = mouseMessageFor(static_cast<QSystemTrayIcon::ActivationReason>(reason));
    if (mouse == 0) return;
    const uint32_t callback = found->second->callbackMessage;
    HWND hWnd = key.first;
    // WindowProc may add, modify or delete icons (and so invalidate `found`): nothing of this
    // object is touched after the call.
    hWnd->WindowProc(hWnd, callback, static_cast<int32_t>(key.second), static_cast<int32_t>(mouse));
}

bool QtNotifyIcon::trayAvailable() const { return QSystemTrayIcon::isSystemTrayAvailable(); }

}  // namespace wsx::platform
