// QtNotifyIcon on a real X server with a real XEmbed tray host (trayer): icons dock, show
// their picture and tip, answer clicks made with xdotool, and go away when deleted.

#include "support/RecordingWindow.h"
#include "platform/shell/QtNotifyIcon.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QRect>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using namespace wsx::platform;

constexpr uint32_t kTrayMessage = 2025;

using wsx::test::Message;
using wsx::test::RecordingWindow;

QIcon solidIcon(Qt::GlobalColor color) {
    QPixmap pixmap(32, 32);
    pixmap.fill(color);
    return QIcon(pixmap);
}

NOTIFYICONDATA record(HWND hWnd, uint32_t uID, uint32_t flags, const QIcon& icon = {},
                      const char* tip = "") {
    NOTIFYICONDATA data;
    data.cbSize = 88;
    data.hWnd = hWnd;
    data.uID = uID;
    data.uFlags = flags;
    data.uCallbackMessage = kTrayMessage;
    data.hIcon = icon;
    std::strncpy(data.szTip, tip, sizeof data.szTip - 1);
    return data;
}

// A short-lived connection of our own for looking at the X side.
class XQuery {
public:
    XQuery() : m_connection(xcb_connect(nullptr, nullptr)) {
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection.get())).data->root;
    }

    bool trayHostPresent() {
        static const char name[] = "_NET_SYSTEM_TRAY_S0";
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
            m_connection.get(), xcb_intern_atom(m_connection.get(), 0, sizeof name - 1, name),
            nullptr);
        if (atom == nullptr) return false;
        xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
            m_connection.get(), xcb_get_selection_owner(m_connection.get(), atom->atom), nullptr);
        const bool present = owner != nullptr && owner->owner != XCB_NONE;
        std::free(owner);
        std::free(atom);
        return present;
    }

    // Docked: mapped and embedded into a window of the tray host (no longer a child of the root).
    bool docked(xcb_window_t window) {
        xcb_query_tree_reply_t* tree = xcb_query_tree_reply(
            m_connection.get(), xcb_query_tree(m_connection.get(), window), nullptr);
        xcb_get_window_attributes_reply_t* attributes = xcb_get_window_attributes_reply(
            m_connection.get(), xcb_get_window_attributes(m_connection.get(), window), nullptr);
        const bool result = tree != nullptr && attributes != nullptr && tree->parent != m_root &&
                            attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(tree);
        std::free(attributes);
        return result;
    }

    // The window's rectangle in root coordinates (what xwininfo calls "absolute").
    QRect onScreen(xcb_window_t window) {
        xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(
            m_connection.get(), xcb_get_geometry(m_connection.get(), window), nullptr);
        xcb_translate_coordinates_reply_t* origin = xcb_translate_coordinates_reply(
            m_connection.get(), xcb_translate_coordinates(m_connection.get(), window, m_root, 0, 0),
            nullptr);
        QRect rect;
        if (geometry != nullptr && origin != nullptr)
            rect = QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
        std::free(geometry);
        std::free(origin);
        return rect;
    }

private:
    struct Disconnect {
        void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
    };
    std::unique_ptr<xcb_connection_t, Disconnect> m_connection;
    xcb_window_t m_root = 0;
};

// The windows Qt docks into the tray, one per shown icon.
std::vector<QWidget*> iconWindows() {
    std::vector<QWidget*> found;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("QSystemTrayIconSys")) found.push_back(w);
    return found;
}

class DesktopTray : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string missing = wsx::test::desktopMissing(); !missing.empty())
            GTEST_SKIP() << missing;
        if (!x.trayHostPresent() &&
            QStandardPaths::findExecutable(QStringLiteral("trayer")).isEmpty())
            GTEST_SKIP() << "no tray host on the display and trayer is not installed";
    }

    void TearDown() override {
        if (trayer.state() != QProcess::NotRunning) {
            trayer.terminate();
            if (!trayer.waitForFinished(3000)) trayer.kill();
            trayer.waitForFinished(3000);
        }
    }

    // Starts trayer unless the session already has a tray host.
    void ensureTrayHost() {
        if (x.trayHostPresent()) return;
        trayer.start(QStringLiteral("trayer"),
                     {"--edge", "top", "--align", "right", "--widthtype", "request", "--height",
                      "24", "--transparent", "false"});
        ASSERT_TRUE(trayer.waitForStarted(3000)) << "trayer did not start";
        ASSERT_TRUE(QTest::qWaitFor([this] { return x.trayHostPresent(); }, 5000))
            << "trayer took no tray";
    }

    // The one docked icon window, once it has docked and the tray has stopped moving it (a
    // panel sized to its icons grows and moves as an icon arrives).
    QWidget* dockedIcon() {
        QWidget* icon = nullptr;
        QRect last;
        int stablePolls = 0;
        const bool found = QTest::qWaitFor(
            [&] {
                const auto windows = iconWindows();
                icon = windows.size() == 1 && x.docked(windows[0]->winId()) ? windows[0] : nullptr;
                const QRect now = icon != nullptr ? x.onScreen(icon->winId()) : QRect();
                stablePolls = !now.isEmpty() && now == last ? stablePolls + 1 : 0;
                last = now;
                return stablePolls >= 6;  // unchanged for about 300 ms
            },
            5000);
        return found ? icon : nullptr;
    }

    // The colour in the middle of the icon as the screen shows it.
    QColor shownColor(QWidget* icon) {
        QTest::qWait(100);  // let the icon repaint
        const QRect r = x.onScreen(icon->winId());
        const QImage shot = QGuiApplication::primaryScreen()
                                ->grabWindow(0, r.x(), r.y(), r.width(), r.height())
                                .toImage();
        return shot.pixelColor(r.width() / 2, r.height() / 2);
    }

    void click(QWidget* icon, const char* button, int count) {
        const QRect r = x.onScreen(icon->winId());
        const QStringList args{"mousemove",
                               QString::number(r.center().x()),
                               QString::number(r.center().y()),
                               "click",
                               "--repeat",
                               QString::number(count),
                               "--delay",
                               "80",
                               QLatin1String(button)};
        ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"), args), 0);
    }

    XQuery x;
    QProcess trayer;
    RecordingWindow window;
};

TEST_F(DesktopTray, AddedIconDocksWithItsPictureAndTip) {
    ensureTrayHost();
    QtNotifyIcon tray;
    ASSERT_TRUE(tray.Shell_NotifyIcon(NIM_ADD, record(&window, 0, NIF_MESSAGE | NIF_ICON | NIF_TIP,
                                                      solidIcon(Qt::red), "等待录音")));
    QWidget* icon = dockedIcon();
    ASSERT_NE(icon, nullptr) << "the icon did not dock";
    EXPECT_EQ(shownColor(icon), QColor(Qt::red));
    EXPECT_EQ(icon->toolTip(), QStringLiteral("等待录音"));
    EXPECT_FALSE(tray.Shell_NotifyIcon(NIM_ADD, record(&window, 0, NIF_ICON, solidIcon(Qt::blue))))
        << "the same icon added twice";
}

TEST_F(DesktopTray, ModifyChangesOnlyTheNamedFields) {
    ensureTrayHost();
    QtNotifyIcon tray;
    ASSERT_TRUE(tray.Shell_NotifyIcon(NIM_ADD, record(&window, 0, NIF_MESSAGE | NIF_ICON | NIF_TIP,
                                                      solidIcon(Qt::red), "等待录音")));
    QWidget* icon = dockedIcon();
    ASSERT_NE(icon, nullptr);

    // The record carries a tip and an empty icon the flags do not name.
    ASSERT_TRUE(
        tray.Shell_NotifyIcon(NIM_MODIFY, record(&window, 0, NIF_ICON, solidIcon(Qt::blue), "")));
    EXPECT_EQ(shownColor(icon), QColor(Qt::blue));
    EXPECT_EQ(icon->toolTip(), QStringLiteral("等待录音"));
    ASSERT_TRUE(
        tray.Shell_NotifyIcon(NIM_MODIFY, record(&window, 0, NIF_TIP, QIcon(), "正在录音...")));
    EXPECT_EQ(icon->toolTip(), QStringLiteral("正在录音..."));
    EXPECT_EQ(shownColor(icon), QColor(Qt::blue));

    // An animation: a new picture and tip every tick stay one docked icon.
    for (int frame = 1; frame <= 200; ++frame) {
        const QByteArray tip = "frame " + QByteArray::number(frame);
        ASSERT_TRUE(tray.Shell_NotifyIcon(
            NIM_MODIFY, record(&window, 0, NIF_ICON | NIF_TIP,
                               solidIcon(frame % 2 ? Qt::blue : Qt::green), tip)));
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(iconWindows().size(), 1U);
    EXPECT_EQ(icon->toolTip(), QStringLiteral("frame 200"));
    EXPECT_EQ(shownColor(icon), QColor(Qt::green));

    EXPECT_FALSE(tray.Shell_NotifyIcon(NIM_MODIFY, record(&window, 1, NIF_TIP, QIcon(), "x")))
        << "modify of an icon never added";
}

TEST_F(DesktopTray, ClicksReachWindowProcAsTrayMessages) {
    ensureTrayHost();
    QtNotifyIcon tray;
    ASSERT_TRUE(tray.Shell_NotifyIcon(NIM_ADD, record(&window, 0, NIF_MESSAGE | NIF_ICON | NIF_TIP,
                                                      solidIcon(Qt::red), "等待录音")));
    QWidget* icon = dockedIcon();
    ASSERT_NE(icon, nullptr);

    click(icon, "1", 2);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return window.received(kTrayMessage, 0, WM_LBUTTONDBLCLK); }, 3000))
        << "no double click";
    QTest::qWait(600);  // past the double-click interval
    click(icon, "3", 1);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return window.received(kTrayMessage, 0, WM_RBUTTONUP); }, 3000))
        << "no right click";

    // A new callback message applies to the next click.
    ASSERT_TRUE(tray.Shell_NotifyIcon(NIM_MODIFY, [&] {
        NOTIFYICONDATA data = record(&window, 0, NIF_MESSAGE);
        data.uCallbackMessage = 2026;
        return data;
    }()));
    QTest::qWait(600);
    click(icon, "3", 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.received(2026, 0, WM_RBUTTONUP); }, 3000));
    for (const Message& m : window.messages)
        EXPECT_TRUE(m.msg == kTrayMessage || m.msg == 2026) << "message " << m.msg;
}

TEST_F(DesktopTray, DeleteFindsTheIconByWindowAndIdAlone) {
    ensureTrayHost();
    QtNotifyIcon tray;
    ASSERT_TRUE(tray.Shell_NotifyIcon(
        NIM_ADD, record(&window, 0, NIF_MESSAGE | NIF_ICON, solidIcon(Qt::red))));
    ASSERT_TRUE(tray.Shell_NotifyIcon(
        NIM_ADD, record(&window, 1, NIF_MESSAGE | NIF_ICON, solidIcon(Qt::blue))));
    ASSERT_TRUE(QTest::qWaitFor([&] { return iconWindows().size() == 2; }, 5000));

    NOTIFYICONDATA removal = record(&window, 0, NIF_TIP);  // flags left over from a tip change
    removal.uCallbackMessage = 0;
    EXPECT_TRUE(tray.Shell_NotifyIcon(NIM_DELETE, removal));
    QWidget* remaining = dockedIcon();
    ASSERT_NE(remaining, nullptr) << "the other icon went too";
    EXPECT_EQ(shownColor(remaining), QColor(Qt::blue));

    EXPECT_FALSE(tray.Shell_NotifyIcon(NIM_DELETE, removal)) << "deleted twice";
    EXPECT_FALSE(
        tray.Shell_NotifyIcon(NIM_MODIFY, record(&window, 0, NIF_ICON, solidIcon(Qt::red))));
    EXPECT_TRUE(tray.Shell_NotifyIcon(NIM_DELETE, record(&window, 1, 0)));
    EXPECT_TRUE(iconWindows().empty());
}

// Exit chosen from the tray menu: the window removes its icon while handling the click on it.
TEST_F(DesktopTray, WindowProcMayDeleteTheClickedIcon) {
    ensureTrayHost();
    QtNotifyIcon tray;
    struct ClosingWindow : RecordingWindow {
        int32_t WindowProc(HWND hWnd, uint32_t uMsg, int32_t wParam, int32_t lParam) override {
            RecordingWindow::WindowProc(hWnd, uMsg, wParam, lParam);
            if (lParam == static_cast<int32_t>(WM_RBUTTONUP))
                deleted = service->Shell_NotifyIcon(NIM_DELETE, record(this, 0, 0));
            return 0;
        }
        QtNotifyIcon* service = nullptr;
        bool deleted = false;
    } closing;
    closing.service = &tray;
    ASSERT_TRUE(tray.Shell_NotifyIcon(
        NIM_ADD, record(&closing, 0, NIF_MESSAGE | NIF_ICON, solidIcon(Qt::red))));
    QWidget* icon = dockedIcon();
    ASSERT_NE(icon, nullptr);

    click(icon, "3", 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return closing.deleted; }, 3000));
    QTest::qWait(300);  // the rest of the click's events, with the icon gone
    EXPECT_TRUE(iconWindows().empty());
}

TEST_F(DesktopTray, IconDocksWhenATrayHostAppearsLater) {
    if (x.trayHostPresent())
        GTEST_SKIP() << "the session already has a tray host; this case needs to start one itself";
    QtNotifyIcon tray;
    EXPECT_TRUE(tray.Shell_NotifyIcon(NIM_ADD, record(&window, 0, NIF_MESSAGE | NIF_ICON | NIF_TIP,
                                                      solidIcon(Qt::red), "等待录音")));
    EXPECT_TRUE(
        tray.Shell_NotifyIcon(NIM_MODIFY, record(&window, 0, NIF_TIP, QIcon(), "正在录音...")));
    ensureTrayHost();
    QWidget* icon = dockedIcon();
    ASSERT_NE(icon, nullptr) << "the icon did not dock when the host appeared";
    EXPECT_EQ(icon->toolTip(), QStringLiteral("正在录音..."));
    EXPECT_EQ(shownColor(icon), QColor(Qt::red));
}

}  // namespace
