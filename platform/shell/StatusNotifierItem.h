#pragma once

#include "platform/shell/SniTypes.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QIcon>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QMenu;

namespace wsx::platform {

class DBusMenuExporter;

// One tray icon published as a StatusNotifierItem: its own session-bus connection owning
// org.kde.StatusNotifierItem-PID-N, the item at /StatusNotifierItem and, when given a
// menu, that menu at /MenuBar. publish() tells the StatusNotifierWatcher about it.
//
// The host's gestures come back as the mouse message an XEmbed icon gives for the same
// intent: Activate (the primary click) as WM_LBUTTONDBLCLK, ContextMenu as WM_RBUTTONUP;
// the others as nothing. onClick runs inside the D-Bus call: hand it on from the event loop.
//
// An animation sets a new picture every frame: each picture is converted once, when it is
// set, and announced with NewIcon only when its pixels differ from the one shown; hosts
// then read IconPixmap. Nothing is written to disk. A tip is announced only when it changed.
//
// Thread safety: UI thread only.
class StatusNotifierItem final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(wsx::platform::SniPixmaps IconPixmap READ iconPixmap)
    Q_PROPERTY(wsx::platform::SniToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)

public:
    using ClickHandler = std::function<void(uint32_t mouseMessage)>;
    StatusNotifierItem(QMenu* menu, ClickHandler onClick);
    ~StatusNotifierItem() override;
    StatusNotifierItem(const StatusNotifierItem&) = delete;
    StatusNotifierItem& operator=(const StatusNotifierItem&) = delete;

    // Connects, takes the name, exports the objects and registers with the watcher (the
    // answer is not waited for). False when the bus or the name cannot be had. Once only:
    // the watcher keeps what it was told, so an item is published when it is complete.
    bool publish();
    bool published() const { return m_published; }
    // The menu the item offers (nullptr: none). Only before publish(): hosts read it once,
    // when the item registers; false afterwards.
    bool setMenu(QMenu* menu);
    void setIcon(const QIcon& icon);
    void setToolTip(const QString& tip);
    // A notification beside the icon, through the desktop's notification service.
    void showMessage(const QString& title, const QString& text);

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const;
    QString title() const;
    QString status() const { return QStringLiteral("Active"); }
    QString iconName() const { return {}; }
    SniPixmaps iconPixmap() const { return m_pixmaps; }
    SniToolTip toolTip() const;
    bool itemIsMenu() const { return false; }
    QDBusObjectPath menu() const;

public Q_SLOTS:
    void Activate(int x, int y);
    void SecondaryActivate(int x, int y);
    void ContextMenu(int x, int y);
    void Scroll(int delta, const QString& orientation);

Q_SIGNALS:
    void NewIcon();
    void NewToolTip();
    void NewStatus(const QString& status);
    void NewTitle();

private:
    QString m_connectionName;
    QDBusConnection m_bus;
    QString m_service;
    std::unique_ptr<DBusMenuExporter> m_menuExporter;
    ClickHandler m_onClick;
    SniPixmaps m_pixmaps;
    QString m_tip;
    bool m_published = false;
};

}  // namespace wsx::platform
