#include "platform/shell/QtNotifyIcon.h"

#include "platform/shell/StatusNotifierItem.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusServiceWatcher>
#include <QMenu>
#include <QMetaObject>
#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>

#include <cstring>

namespace wsx::platform {

// What an icon is, kept whichever way it is shown, so it can move between the two.
struct QtNotifyIcon::Icon {
    QIcon picture;
    QString tip;
    QPointer<QMenu> menu;
    bool hasCallback = false;
    uint32_t callbackMessage = 0;
    uint64_t serial = 0;
    // Exactly one of these shows the icon.
    std::unique_ptr<QSystemTrayIcon> tray;
    std::unique_ptr<StatusNotifierItem> item;
};

namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

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

// Whether a host shows the watcher's items now. A watcher that does not answer within half
// a second counts as having none.
bool watcherHasHost() {
    QDBusMessage get = QDBusMessage::createMethodCall(
        kWatcherService, QStringLiteral("/StatusNotifierWatcher"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << kWatcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, 500);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().first().value<QDBusVariant>().variant().toBool();
}

}  // namespace

QtNotifyIcon::QtNotifyIcon() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    m_watcher = std::make_unique<QDBusServiceWatcher>(
        kWatcherService, bus,
        QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration);
    QObject::connect(m_watcher.get(), &QDBusServiceWatcher::serviceRegistered, &m_context,
                     [this] { useStatusNotifier(true); });
    QObject::connect(m_watcher.get(), &QDBusServiceWatcher::serviceUnregistered, &m_context,
                     [this] { useStatusNotifier(false); });
    if (bus.interface()->isServiceRegistered(kWatcherService)) useStatusNotifier(true);
}

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
    icon->serial = m_nextSerial++;
    NOTIFYICONDATA fields = data;
    fields.uFlags &= ~NIF_INFO;  // nothing to show it beside yet
    applyFields(*icon, fields);
    attach(key, *icon);
    m_icons.emplace(key, std::move(icon));
    if ((data.uFlags & NIF_INFO) != 0) modify(data);
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

bool QtNotifyIcon::setIconMenu(HWND hWnd, uint32_t uID, QMenu* menu) {
    const auto found = m_icons.find(Key{hWnd, uID});
    if (found == m_icons.end()) return false;
    Icon& icon = *found->second;
    icon.menu = menu;
    // Hosts read an item's menu once, when it registers: an item not yet published takes
    // it; a published one is made again.
    if (icon.item && !icon.item->setMenu(menu)) attach(found->first, icon);
    return true;
}

// Sets the fields uFlags names and leaves the others as earlier calls set them. The window
// replaces the icon every 50 ms while it animates: nothing is kept but the current one. An
// icon or tip the same as the one shown changes nothing, so it is not sent again (each
// setIcon repaints the tray icon or tells the bus).
void QtNotifyIcon::applyFields(Icon& icon, const NOTIFYICONDATA& data) {
    if ((data.uFlags & NIF_ICON) != 0 && data.hIcon.cacheKey() != icon.picture.cacheKey()) {
        icon.picture = data.hIcon;
        if (icon.tray) icon.tray->setIcon(icon.picture);
        if (icon.item) icon.item->setIcon(icon.picture);
    }
    if ((data.uFlags & NIF_TIP) != 0 && icon.tip != fieldText(data.szTip)) {
        icon.tip = fieldText(data.szTip);
        if (icon.tray) icon.tray->setToolTip(icon.tip);
        if (icon.item) icon.item->setToolTip(icon.tip);
    }
    if ((data.uFlags & NIF_MESSAGE) != 0) {
        icon.hasCallback = true;
        icon.callbackMessage = data.uCallbackMessage;
    }
    // Shown by the desktop's notification service where there is one.
    if ((data.uFlags & NIF_INFO) != 0) {
        if (icon.tray)
            icon.tray->showMessage(fieldText(data.szInfoTitle), fieldText(data.szInfo),
                                   QSystemTrayIcon::Warning);
        if (icon.item) icon.item->showMessage(fieldText(data.szInfoTitle), fieldText(data.szInfo));
    }
}

void QtNotifyIcon::attach(Key key, Icon& icon) {
    // A click queued for what showed the icon before still belongs to this icon.
    const uint64_t serial = icon.serial;
    icon.tray.reset();
    icon.item.reset();
    if (m_statusNotifier) {
        icon.item = std::make_unique<StatusNotifierItem>(
            icon.menu.data(), [this, key, serial](uint32_t mouseMessage) {
                QMetaObject::invokeMethod(
                    &m_context,
                    [this, key, serial, mouseMessage] { deliver(key, serial, mouseMessage); },
                    Qt::QueuedConnection);
            });
        icon.item->setIcon(icon.picture);
        icon.item->setToolTip(icon.tip);
        // From the event loop, once what the caller sets next (the menu, right after NIM_ADD)
        // is in: an item published and then made again would register after its name was
        // gone, and the watcher would keep a dead entry.
        QMetaObject::invokeMethod(
            &m_context, [this, key, serial] { publishItem(key, serial); }, Qt::QueuedConnection);
        return;
    }
    icon.tray = std::make_unique<QSystemTrayIcon>();
    icon.tray->setIcon(icon.picture);
    icon.tray->setToolTip(icon.tip);
    // Qt emits the activation from inside the icon widget's mouse handler; hand it on from
    // the event loop instead (see the class comment).
    QObject::connect(
        icon.tray.get(), &QSystemTrayIcon::activated, &m_context,
        [this, key, serial](QSystemTrayIcon::ActivationReason reason) {
            deliver(key, serial, mouseMessageFor(reason));
        },
        Qt::QueuedConnection);
    // Without a tray host this only arms Qt's watcher: the icon docks when a host appears.
    icon.tray->show();
}

void QtNotifyIcon::publishItem(Key key, uint64_t serial) {
    const auto found = m_icons.find(key);
    if (found == m_icons.end() || found->second->serial != serial) return;
    StatusNotifierItem* item = found->second->item.get();
    if (item != nullptr && !item->published()) item->publish();
}

void QtNotifyIcon::useStatusNotifier(bool use) {
    // A watcher that restarts gets the items again, registered afresh.
    if (use == m_statusNotifier && !use) return;
    m_statusNotifier = use;
    for (auto& [key, icon] : m_icons) attach(key, *icon);
}

void QtNotifyIcon::deliver(Key key, uint64_t serial, uint32_t mouseMessage) {
    const auto found = m_icons.find(key);
    if (found == m_icons.end() || found->second->serial != serial || !found->second->hasCallback)
        return;
    if (mouseMessage == 0) return;
    const uint32_t callback = found->second->callbackMessage;
    HWND hWnd = key.first;
    // WindowProc may add, modify or delete icons (and so invalidate `found`): nothing of this
    // object is touched after the call.
    hWnd->WindowProc(hWnd, callback, static_cast<int32_t>(key.second),
                     static_cast<int32_t>(mouseMessage));
}

bool QtNotifyIcon::trayAvailable() const {
    if (m_statusNotifier) return watcherHasHost();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

}  // namespace wsx::platform
