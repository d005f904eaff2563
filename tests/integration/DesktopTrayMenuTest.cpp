// The tray menu as tray hosts read and drive it over com.canonical.dbusmenu, called directly
// (the bus only carries these calls): the group calls GTK panels make, and the root entry.

#include "platform/shell/DBusMenuExporter.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>

namespace {

using namespace wsx::platform;

struct TrayMenu : ::testing::Test {
    TrayMenu() {
        record = menu.addAction(QStringLiteral("录音(&R)"));
        menu.addSeparator();
        stop = menu.addAction(QStringLiteral("停止"));
        stop->setEnabled(false);
        QObject::connect(record, &QAction::triggered, [this] { ++recordClicks; });
        QObject::connect(stop, &QAction::triggered, [this] { ++stopClicks; });
    }
    QMenu menu;
    QAction* record = nullptr;
    QAction* stop = nullptr;
    int recordClicks = 0;
    int stopClicks = 0;
};

DBusMenuEvent clicked(int id) { return {id, QStringLiteral("clicked"), QDBusVariant(0), 0}; }

TEST_F(TrayMenu, EventGroupClicksFromTheEventLoopAndNamesUnknownIds) {
    DBusMenuExporter exporter(&menu);
    // Entry 3 is 停止, disabled: a click on it does nothing. 9 is no entry; 0 is the root.
    const QList<int> errors = exporter.EventGroup(
        {clicked(1), clicked(3), clicked(9), {0, QStringLiteral("opened"), QDBusVariant(0), 0}});
    EXPECT_EQ(errors, QList<int>{9});
    EXPECT_EQ(recordClicks, 0) << "triggered inside the D-Bus call";
    QApplication::processEvents();
    EXPECT_EQ(recordClicks, 1);
    EXPECT_EQ(stopClicks, 0);

    // Hovering is no click.
    exporter.EventGroup({{1, QStringLiteral("hovered"), QDBusVariant(0), 0}});
    QApplication::processEvents();
    EXPECT_EQ(recordClicks, 1);
}

TEST_F(TrayMenu, AboutToShowGroupLetsTheMenuFillItselfAndReportsTheChange) {
    DBusMenuExporter exporter(&menu);
    // Whoever fills the menu as it opens: here it enables 停止.
    QObject::connect(&menu, &QMenu::aboutToShow, [this] { stop->setEnabled(true); });
    QList<int> idErrors;
    const QList<int> updates = exporter.AboutToShowGroup({0, 7}, idErrors);
    EXPECT_EQ(updates, QList<int>{0});
    EXPECT_EQ(idErrors, QList<int>{7});

    idErrors.clear();
    EXPECT_TRUE(exporter.AboutToShowGroup({0}, idErrors).isEmpty()) << "nothing changed this time";
    EXPECT_TRUE(idErrors.isEmpty());
}

TEST_F(TrayMenu, TheRootEntryHasItsPropertiesInEveryCall) {
    DBusMenuExporter exporter(&menu);
    const DBusMenuItemPropertiesList listed = exporter.GetGroupProperties({0, 1, 42}, {});
    ASSERT_EQ(listed.size(), 2) << "id 42 is no entry";
    EXPECT_EQ(listed[0].id, 0);
    EXPECT_EQ(listed[0].properties.value(QStringLiteral("children-display")),
              QStringLiteral("submenu"));
    EXPECT_EQ(listed[1].properties.value(QStringLiteral("label")), QStringLiteral("录音(_R)"));
    EXPECT_EQ(exporter.GetProperty(0, QStringLiteral("children-display")).variant(),
              QStringLiteral("submenu"));

    // Only the properties asked for.
    const DBusMenuItemPropertiesList enabledOnly =
        exporter.GetGroupProperties({0, 3}, {QStringLiteral("enabled")});
    ASSERT_EQ(enabledOnly.size(), 2);
    EXPECT_TRUE(enabledOnly[0].properties.isEmpty());
    EXPECT_EQ(enabledOnly[1].properties, (QVariantMap{{QStringLiteral("enabled"), false}}));

    DBusMenuItem layout;
    exporter.GetLayout(0, -1, {}, layout);
    EXPECT_EQ(layout.properties.value(QStringLiteral("children-display")),
              QStringLiteral("submenu"));
    EXPECT_EQ(layout.children.size(), 3);
}

}  // namespace
