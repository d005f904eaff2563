#include "platform/shell/DBusMenuExporter.h"

#include <QAction>
#include <QMenu>
#include <QMetaObject>
#include <QTimer>

namespace wsx::platform {

DBusMenuExporter::DBusMenuExporter(QMenu* menu) : m_menu(menu) {
    registerSniTypes();
    for (QAction* action : actions())
        connect(action, &QAction::changed, this, &DBusMenuExporter::actionChanged);
}

QString DBusMenuExporter::labelFor(const QString& text) {
    QString label;
    label.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('&')) {
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('&')) {
                label += QLatin1Char('&');
                ++i;
            } else {
                label += QLatin1Char('_');
            }
        } else if (c == QLatin1Char('_')) {
            label += QStringLiteral("__");
        } else {
            label += c;
        }
    }
    return label;
}

QList<QAction*> DBusMenuExporter::actions() const {
    return m_menu ? m_menu->actions() : QList<QAction*>();
}

QAction* DBusMenuExporter::actionFor(int id) const {
    const QList<QAction*> all = actions();
    return id >= 1 && id <= all.size() ? all[id - 1] : nullptr;
}

namespace {

QVariantMap filtered(const QVariantMap& properties, const QStringList& names) {
    if (names.isEmpty()) return properties;
    QVariantMap asked;
    for (const QString& name : names)
        if (properties.contains(name)) asked.insert(name, properties.value(name));
    return asked;
}

}  // namespace

bool DBusMenuExporter::entryProperties(int id, const QStringList& names,
                                       QVariantMap& properties) const {
    if (id == 0) {
        properties =
            filtered({{QStringLiteral("children-display"), QStringLiteral("submenu")}}, names);
        return true;
    }
    QAction* action = actionFor(id);
    if (action == nullptr) return false;
    properties = propertiesOf(action, names);
    return true;
}

QVariantMap DBusMenuExporter::propertiesOf(QAction* action, const QStringList& names) const {
    QVariantMap properties;
    if (action->isSeparator()) {
        properties.insert(QStringLiteral("type"), QStringLiteral("separator"));
    } else {
        properties.insert(QStringLiteral("label"), labelFor(action->text()));
        properties.insert(QStringLiteral("enabled"), action->isEnabled());
    }
    properties.insert(QStringLiteral("visible"), action->isVisible());
    return filtered(properties, names);
}

uint DBusMenuExporter::GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                                 DBusMenuItem& layout) {
    layout = DBusMenuItem{parentId, {}, {}};
    entryProperties(parentId, propertyNames, layout.properties);
    if (parentId == 0 && recursionDepth != 0) {
        const QList<QAction*> all = actions();
        for (qsizetype i = 0; i < all.size(); ++i)
            layout.children.append(
                DBusMenuItem{int(i + 1), propertiesOf(all[i], propertyNames), {}});
    }
    return m_revision;
}

DBusMenuItemPropertiesList DBusMenuExporter::GetGroupProperties(const QList<int>& ids,
                                                                const QStringList& propertyNames) {
    DBusMenuItemPropertiesList found;
    const QList<QAction*> all = actions();
    // No ids asks for every entry.
    QList<int> wanted = ids;
    if (wanted.isEmpty())
        for (qsizetype i = 0; i < all.size(); ++i) wanted.append(int(i + 1));
    for (int id : wanted) {
        QVariantMap properties;
        if (entryProperties(id, propertyNames, properties))
            found.append(DBusMenuItemProperties{id, properties});
    }
    return found;
}

QDBusVariant DBusMenuExporter::GetProperty(int id, const QString& name) {
    QVariantMap properties;
    entryProperties(id, {name}, properties);
    return QDBusVariant(properties.value(name));
}

void DBusMenuExporter::Event(int id, const QString& eventId, const QDBusVariant& /*data*/,
                             uint /*timestamp*/) {
    if (eventId != QLatin1String("clicked")) return;
    QPointer<QAction> action = actionFor(id);
    if (!action || action->isSeparator() || !action->isEnabled()) return;
    // After the reply: the action may open a dialog and run its own event loop.
    QMetaObject::invokeMethod(
        this,
        [action] {
            if (action && action->isEnabled()) action->trigger();
        },
        Qt::QueuedConnection);
}

QList<int> DBusMenuExporter::EventGroup(const QList<DBusMenuEvent>& events) {
    QList<int> idErrors;
    for (const DBusMenuEvent& event : events) {
        if (event.id != 0 && actionFor(event.id) == nullptr) idErrors.append(event.id);
        else Event(event.id, event.eventId, event.data, event.timestamp);
    }
    return idErrors;
}

QList<int> DBusMenuExporter::AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
    QList<int> updatesNeeded;
    for (int id : ids) {
        if (id != 0 && actionFor(id) == nullptr) idErrors.append(id);
        else if (AboutToShow(id)) updatesNeeded.append(id);
    }
    return updatesNeeded;
}

bool DBusMenuExporter::AboutToShow(int id) {
    if (id != 0 || !m_menu) return false;
    const uint before = m_revision;
    // Whoever fills the menu as it opens gets the chance to here too.
    Q_EMIT m_menu->aboutToShow();
    return m_revision != before;
}

void DBusMenuExporter::actionChanged() {
    ++m_revision;
    if (m_updatePending) return;
    m_updatePending = true;
    // Setting a state enables and disables several actions at once: one announcement.
    QTimer::singleShot(0, this, [this] {
        m_updatePending = false;
        Q_EMIT LayoutUpdated(m_revision, 0);
    });
}

}  // namespace wsx::platform
