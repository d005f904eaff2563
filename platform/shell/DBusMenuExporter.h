#pragma once

#include "platform/shell/SniTypes.h"

#include <QDBusVariant>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

class QAction;
class QMenu;

namespace wsx::platform {

// A QMenu published over com.canonical.dbusmenu, so a tray host can draw it. Entries are the
// menu's actions, id = position + 1 (0 is the root, whose only property is
// children-display); a submenu is shown as a plain entry. Hosts use either the single calls
// (Event, AboutToShow) or the group calls (EventGroup, AboutToShowGroup: libdbusmenu, as in
// Xfce's and other GTK panels), which do the same per entry. A click chosen in the host
// triggers the action from the event loop (it may run a dialog), as a click in the menu
// itself would. Any change of an action (text, enabled, visible) is announced once with
// LayoutUpdated.
//
// Register the object on a connection with ExportAllContents; the menu must outlive it or
// be destroyed first (then the layout is empty). Thread safety: UI thread only.
class DBusMenuExporter final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)

public:
    explicit DBusMenuExporter(QMenu* menu);

    uint version() const { return 3; }
    QString textDirection() const { return QStringLiteral("ltr"); }
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

    // The action's text as dbusmenu writes it: the mnemonic '&' becomes '_', a literal '_'
    // is doubled, "&&" is one '&'.
    static QString labelFor(const QString& text);

public Q_SLOTS:
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                   wsx::platform::DBusMenuItem& layout);
    wsx::platform::DBusMenuItemPropertiesList GetGroupProperties(const QList<int>& ids,
                                                                 const QStringList& propertyNames);
    QDBusVariant GetProperty(int id, const QString& name);
    void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp);
    // Returns the ids that name no entry.
    // (Spelled out: Qt D-Bus matches slots by the registered name, not the alias.)
    QList<int> EventGroup(const QList<wsx::platform::DBusMenuEvent>& events);
    bool AboutToShow(int id);
    // Returns the ids whose entries changed (updatesNeeded); idErrors the ids of no entry.
    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors);

Q_SIGNALS:
    void LayoutUpdated(uint revision, int parent);

private:
    QList<QAction*> actions() const;
    QAction* actionFor(int id) const;
    QVariantMap propertiesOf(QAction* action, const QStringList& names) const;
    // The properties of entry `id` (0: the root), filtered as propertiesOf; false for no
    // such entry.
    bool entryProperties(int id, const QStringList& names, QVariantMap& properties) const;
    void actionChanged();

    QPointer<QMenu> m_menu;
    uint m_revision = 1;
    bool m_updatePending = false;
};

}  // namespace wsx::platform
