#include "platform/shell/StatusNotifierItem.h"

#include "platform/messages/WindowMessages.h"
#include "platform/shell/DBusMenuExporter.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QDBusMessage>
#include <QDBusPendingCall>

#include <unistd.h>

namespace wsx::platform {

namespace {

const QString kItemPath = QStringLiteral("/StatusNotifierItem");
const QString kMenuPath = QStringLiteral("/MenuBar");
const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");

// The hosts ask for sizes up to about 48 px; the frames are 32 px: no more than that is sent.
constexpr int kLargestPicture = 32;

// A name for each item's own connection (and so its own well-known name), unique in the
// process.
QString nextConnectionName() {
    static int next = 1;
    return QStringLiteral("wsx-sni-%1").arg(next++);
}

}  // namespace

StatusNotifierItem::StatusNotifierItem(QMenu* menu, ClickHandler onClick)
    : m_connectionName(nextConnectionName()),
      m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_connectionName)),
      m_onClick(std::move(onClick)) {
    registerSniTypes();
    setMenu(menu);
}

bool StatusNotifierItem::setMenu(QMenu* menu) {
    if (m_published) return false;
    m_menuExporter.reset();
    if (menu != nullptr) m_menuExporter = std::make_unique<DBusMenuExporter>(menu);
    return true;
}

StatusNotifierItem::~StatusNotifierItem() {
    if (m_bus.isConnected()) {
        m_bus.unregisterObject(kItemPath);
        if (m_menuExporter) m_bus.unregisterObject(kMenuPath);
        if (!m_service.isEmpty()) m_bus.unregisterService(m_service);
    }
    m_bus = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(m_connectionName);
}

bool StatusNotifierItem::publish() {
    if (m_published || !m_bus.isConnected()) return false;
    m_published = true;
    const QString number = m_connectionName.section(QLatin1Char('-'), -1);
    m_service = QStringLiteral("org.kde.StatusNotifierItem-%1-%2").arg(::getpid()).arg(number);
    if (!m_bus.registerService(m_service)) {
        m_service.clear();
        return false;
    }
    const auto exported = QDBusConnection::ExportAllContents;
    if (!m_bus.registerObject(kItemPath, this, exported)) return false;
    if (m_menuExporter && !m_bus.registerObject(kMenuPath, m_menuExporter.get(), exported))
        return false;
    QDBusMessage registration = QDBusMessage::createMethodCall(
        kWatcherService, QStringLiteral("/StatusNotifierWatcher"), kWatcherService,
        QStringLiteral("RegisterStatusNotifierItem"));
    registration << m_service;
    m_bus.asyncCall(registration);
    return true;
}

void StatusNotifierItem::setIcon(const QIcon& icon) {
    SniPixmaps pixmaps;
    QList<QSize> sizes = icon.availableSizes();
    if (sizes.isEmpty()) sizes = {QSize(kLargestPicture, kLargestPicture)};
    for (const QSize& size : sizes) {
        if (size.width() > kLargestPicture || size.height() > kLargestPicture) continue;
        const QImage image = icon.pixmap(size).toImage();
        if (!image.isNull()) pixmaps.append(sniPixmapFrom(image));
    }
    if (pixmaps.isEmpty() && !icon.isNull())
        pixmaps.append(sniPixmapFrom(icon.pixmap(kLargestPicture).toImage()));
    if (pixmaps == m_pixmaps) return;
    m_pixmaps = std::move(pixmaps);
    Q_EMIT NewIcon();
}

void StatusNotifierItem::setToolTip(const QString& tip) {
    if (tip == m_tip) return;
    m_tip = tip;
    Q_EMIT NewToolTip();
}

void StatusNotifierItem::showMessage(const QString& title, const QString& text) {
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    notify << this->title() << uint(0) << QStringLiteral("dialog-warning") << title << text
           << QStringList() << QVariantMap() << int(-1);
    m_bus.asyncCall(notify);
}

QString StatusNotifierItem::id() const { return QCoreApplication::applicationName(); }

QString StatusNotifierItem::title() const { return QGuiApplication::applicationDisplayName(); }

SniToolTip StatusNotifierItem::toolTip() const { return SniToolTip{{}, {}, m_tip, {}}; }

QDBusObjectPath StatusNotifierItem::menu() const {
    return QDBusObjectPath(m_menuExporter ? kMenuPath : QStringLiteral("/NO_DBUSMENU"));
}

void StatusNotifierItem::Activate(int, int) { m_onClick(WM_LBUTTONDBLCLK); }

void StatusNotifierItem::SecondaryActivate(int, int) {}

void StatusNotifierItem::ContextMenu(int, int) { m_onClick(WM_RBUTTONUP); }

void StatusNotifierItem::Scroll(int, const QString&) {}

}  // namespace wsx::platform
