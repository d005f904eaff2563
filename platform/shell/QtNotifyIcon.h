#pragma once

#include "platform/shell/NotifyIcon.h"

#include <QObject>

#include <cstdint>
#include <map>
#include <memory>
#include <utility>

class QDBusServiceWatcher;

namespace wsx::platform {

// NotifyIconService for the desktop's notification area: one tray icon per (hWnd, uID).
//
// Two ways to show an icon, chosen by what the desktop has now, not once per process: while
// a StatusNotifierWatcher is on the session bus the icons are StatusNotifierItems of our own
// (the panels of KDE, GNOME with its AppIndicator extension, and others); without one they
// are QSystemTrayIcons (an XEmbed tray). When a watcher appears or goes away later, every
// icon moves, keeping its picture, tip, menu and callback.
//
// Clicks on an icon reach hWnd->WindowProc(hWnd, uCallbackMessage, uID, mouse message) from
// the event loop (queued), never from inside Qt's own mouse handling of the icon or a D-Bus
// call, so WindowProc may pop up a menu, run a dialog or delete the very icon that was
// clicked. A click still queued when its icon is deleted is dropped; a window therefore
// deletes its icons (NIM_DELETE) before it is destroyed, and nothing reaches it afterwards.
//
// No tray host on the desktop is not an error: the icon is kept and docks by itself when a
// host appears.
//
// Lifetime: create after the QApplication, destroy before it.
// Thread safety: UI thread only.
class QtNotifyIcon final : public NotifyIconService {
public:
    QtNotifyIcon();
    ~QtNotifyIcon() override;
    QtNotifyIcon(const QtNotifyIcon&) = delete;
    QtNotifyIcon& operator=(const QtNotifyIcon&) = delete;

    // NIM_ADD fails for an icon that exists; NIM_MODIFY and NIM_DELETE fail for one that
    // does not. NIM_DELETE finds the icon by hWnd and uID alone.
    bool Shell_NotifyIcon(uint32_t message, const NOTIFYICONDATA& data) override;
    bool setIconMenu(HWND hWnd, uint32_t uID, QMenu* menu) override;
    bool trayAvailable() const override;
    // Whether the icons are StatusNotifierItems now (a watcher is on the session bus).
    bool onStatusNotifierHost() const { return m_statusNotifier; }

private:
    struct Icon;
    using Key = std::pair<HWND, uint32_t>;

    bool add(const NOTIFYICONDATA& data);
    bool modify(const NOTIFYICONDATA& data);
    bool remove(const NOTIFYICONDATA& data);
    void applyFields(Icon& icon, const NOTIFYICONDATA& data);
    // Builds the icon's visible part the current way, from what the icon keeps.
    void attach(Key key, Icon& icon);
    // Publishes the icon's StatusNotifierItem if the icon (`serial`) still has an
    // unpublished one.
    void publishItem(Key key, uint64_t serial);
    void useStatusNotifier(bool use);
    void deliver(Key key, uint64_t serial, uint32_t mouseMessage);

    // Receiver of the queued click deliveries; destroying it drops the ones still queued.
    QObject m_context;
    std::unique_ptr<QDBusServiceWatcher> m_watcher;
    bool m_statusNotifier = false;
    std::map<Key, std::unique_ptr<Icon>> m_icons;
    // Tells a re-added icon from an earlier one under the same key, so a click queued for
    // the old icon is not delivered as one on the new.
    uint64_t m_nextSerial = 1;
};

}  // namespace wsx::platform
