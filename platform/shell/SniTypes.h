#pragma once

// The D-Bus structures a StatusNotifierItem and its exported menu (com.canonical.dbusmenu)
// send, with their marshalling. registerSniTypes() must run before any of them crosses the
// bus.

#include <QDBusArgument>
#include <QDBusVariant>
#include <QImage>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariantMap>

namespace wsx::platform {

// One picture of an icon, D-Bus (iiay): ARGB32 pixels, each in network byte order.
struct SniPixmap {
    int width = 0;
    int height = 0;
    QByteArray argb;
    bool operator==(const SniPixmap&) const = default;
};
using SniPixmaps = QList<SniPixmap>;

// A tip as a tray host shows it, (sa(iiay)ss): icon name, pictures, title, text.
struct SniToolTip {
    QString iconName;
    SniPixmaps pixmaps;
    QString title;
    QString text;
};

// One menu entry and the entries under it, (ia{sv}av): each child is a variant holding the
// same structure.
struct DBusMenuItem {
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuItem> children;
};

// An entry's properties without its children, (ia{sv}).
struct DBusMenuItemProperties {
    int id = 0;
    QVariantMap properties;
};
using DBusMenuItemPropertiesList = QList<DBusMenuItemProperties>;

// One event of EventGroup, (isvu): entry id, event ("clicked", "hovered"...), its data and
// the time of the user's action.
struct DBusMenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using DBusMenuEventList = QList<DBusMenuEvent>;

// The picture as hosts expect it: converted to ARGB32 and byte-swapped to network order.
SniPixmap sniPixmapFrom(const QImage& image);

void registerSniTypes();

QDBusArgument& operator<<(QDBusArgument& argument, const SniPixmap& pixmap);
const QDBusArgument& operator>>(const QDBusArgument& argument, SniPixmap& pixmap);
QDBusArgument& operator<<(QDBusArgument& argument, const SniToolTip& tip);
const QDBusArgument& operator>>(const QDBusArgument& argument, SniToolTip& tip);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItem& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItem& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuItemProperties& item);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuItemProperties& item);
QDBusArgument& operator<<(QDBusArgument& argument, const DBusMenuEvent& event);
const QDBusArgument& operator>>(const QDBusArgument& argument, DBusMenuEvent& event);

}  // namespace wsx::platform

Q_DECLARE_METATYPE(wsx::platform::SniPixmap)
Q_DECLARE_METATYPE(wsx::platform::SniToolTip)
Q_DECLARE_METATYPE(wsx::platform::DBusMenuItem)
Q_DECLARE_METATYPE(wsx::platform::DBusMenuItemProperties)
Q_DECLARE_METATYPE(wsx::platform::DBusMenuEvent)
