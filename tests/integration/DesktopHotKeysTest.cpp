// X11HotKeys on a real X server: keys pressed with xdotool (XTEST), a second X client playing
// "another program" that holds keys.

#include "support/RecordingWindow.h"
#include "platform/hotkeys/HotKeyPress.h"
#include "platform/hotkeys/X11HotKeys.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTest>

#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace {

using namespace wsx::platform;

constexpr uint32_t kCtrlAlt = MOD_CONTROL | MOD_ALT;
constexpr uint16_t kXCtrlAlt = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;

using wsx::test::Message;
using wsx::test::RecordingWindow;

// Another X client, as another program that takes global keys would be.
class OtherClient {
public:
    OtherClient()
        : m_connection(xcb_connect(nullptr, nullptr)),
          m_symbols(xcb_key_symbols_alloc(m_connection.get())) {
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection.get())).data->root;
    }

    // Whether the server granted the grab of `keysym` with exactly `modifiers`.
    bool grab(xcb_keysym_t keysym, uint16_t modifiers) {
        const auto cookie =
            xcb_grab_key_checked(m_connection.get(), 0, m_root, modifiers, keycode(keysym),
                                 XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        xcb_generic_error_t* error = xcb_request_check(m_connection.get(), cookie);
        std::free(error);
        return error == nullptr;
    }

    void ungrab(xcb_keysym_t keysym, uint16_t modifiers) {
        const auto cookie =
            xcb_ungrab_key_checked(m_connection.get(), keycode(keysym), m_root, modifiers);
        std::free(xcb_request_check(m_connection.get(), cookie));
    }

    // The server's current modifier and lock state.
    uint16_t modifierState() {
        xcb_query_pointer_reply_t* reply = xcb_query_pointer_reply(
            m_connection.get(), xcb_query_pointer(m_connection.get(), m_root), nullptr);
        const uint16_t mask = reply != nullptr ? reply->mask : 0;
        std::free(reply);
        return mask;
    }

private:
    xcb_keycode_t keycode(xcb_keysym_t keysym) {
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(m_symbols.get(), keysym);
        const xcb_keycode_t first = codes != nullptr ? codes[0] : 0;
        std::free(codes);
        return first;
    }

    struct Disconnect {
        void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
    };
    struct FreeSymbols {
        void operator()(xcb_key_symbols_t* s) const { xcb_key_symbols_free(s); }
    };
    std::unique_ptr<xcb_connection_t, Disconnect> m_connection;
    std::unique_ptr<xcb_key_symbols_t, FreeSymbols> m_symbols;
    xcb_window_t m_root = 0;
};

class DesktopHotKeys : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string missing = wsx::test::desktopMissing(); !missing.empty())
            GTEST_SKIP() << missing;
    }

    static void press(const char* keys) {
        ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"),
                                    {QStringLiteral("key"), QLatin1String(keys)}),
                  0)
            << "xdotool key " << keys;
    }

    // Waits until `window` has `count` messages. X delivers events in order, so once a later
    // key has arrived, an earlier one that was going to arrive has arrived too.
    static bool waitForMessages(const RecordingWindow& window, size_t count) {
        return QTest::qWaitFor([&] { return window.messages.size() >= count; }, 3000);
    }

    static void expectHotKey(const Message& m, const RecordingWindow& window, int32_t id,
                             int32_t lParam) {
        EXPECT_EQ(m.hWnd, &window);
        EXPECT_EQ(m.msg, WM_HOTKEY);
        EXPECT_EQ(m.wParam, id);
        EXPECT_EQ(m.lParam, lParam);
    }

    RecordingWindow window;
};

TEST_F(DesktopHotKeys, RegisteredKeyArrivesAsWmHotKeyOnce) {
    X11HotKeys hotKeys;
    ASSERT_TRUE(hotKeys.RegisterHotKey(&window, 1, kCtrlAlt, VK_DOWN));

    press("ctrl+alt+Down");
    ASSERT_TRUE(waitForMessages(window, 1));
    QTest::qWait(200);  // a release delivered as a second message would show up here
    ASSERT_EQ(window.messages.size(), 1U);
    expectHotKey(window.messages[0], window, 1, 3 | 40 << 16);
}

TEST_F(DesktopHotKeys, ArrivesWithNumLockAndCapsLockOn) {
    X11HotKeys hotKeys;
    ASSERT_TRUE(hotKeys.RegisterHotKey(&window, 1, kCtrlAlt, VK_DOWN));
    OtherClient x;
    const uint16_t before = x.modifierState();

    struct Restore {
        ~Restore() {
            if (!keys.isEmpty())
                QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), keys});
        }
        QString keys;
    };

    press("Num_Lock");
    Restore restoreNumLock{QStringLiteral("Num_Lock")};
    ASSERT_NE(x.modifierState(), before) << "NumLock did not turn on";
    press("ctrl+alt+Down");
    ASSERT_TRUE(waitForMessages(window, 1)) << "not delivered with NumLock on";

    press("Caps_Lock");
    Restore restoreCapsLock{QStringLiteral("Caps_Lock")};
    ASSERT_TRUE((x.modifierState() & XCB_MOD_MASK_LOCK) != 0) << "CapsLock did not turn on";
    press("ctrl+alt+Down");
    ASSERT_TRUE(waitForMessages(window, 2)) << "not delivered with NumLock and CapsLock on";

    press("Num_Lock");
    restoreNumLock.keys.clear();
    ASSERT_EQ(x.modifierState(), before | XCB_MOD_MASK_LOCK) << "NumLock did not turn off";
    press("ctrl+alt+Down");
    ASSERT_TRUE(waitForMessages(window, 3)) << "not delivered with CapsLock on";

    for (const Message& m : window.messages) expectHotKey(m, window, 1, 3 | 40 << 16);
}

// Two keys on the same key code told apart by their modifiers: the one whose modifiers
// match is delivered, with its own id and modifier word.
TEST_F(DesktopHotKeys, ModifiersChooseTheRegistration) {
    X11HotKeys hotKeys;
    ASSERT_TRUE(hotKeys.RegisterHotKey(&window, 1, kCtrlAlt, VK_LEFT));
    ASSERT_TRUE(hotKeys.RegisterHotKey(&window, 7, MOD_SHIFT | MOD_WIN, VK_LEFT));

    press("shift+super+Left");
    press("ctrl+alt+Up");          // not registered
    press("ctrl+alt+shift+Left");  // registered key, other modifiers
    press("ctrl+alt+Left");
    ASSERT_TRUE(waitForMessages(window, 2));
    QTest::qWait(200);
    ASSERT_EQ(window.messages.size(), 2U);
    expectHotKey(window.messages[0], window, 7, (MOD_SHIFT | MOD_WIN) | 37 << 16);
    expectHotKey(window.messages[1], window, 1, 3 | 37 << 16);
}

TEST_F(DesktopHotKeys, KeyHeldByAnotherClientFailsAndLeavesNothingGrabbed) {
    OtherClient other;
    // The other client holds only the CapsLock variant: the plain one, granted to us first,
    // must be given back when the registration fails.
    ASSERT_TRUE(other.grab(XK_Down, kXCtrlAlt | XCB_MOD_MASK_LOCK));

    X11HotKeys hotKeys;
    EXPECT_FALSE(hotKeys.RegisterHotKey(&window, 1, kCtrlAlt, VK_DOWN));
    EXPECT_TRUE(other.grab(XK_Down, kXCtrlAlt)) << "the failed registration kept a grab";

    // Nothing of the failed registration is delivered; a later key still is.
    ASSERT_TRUE(hotKeys.RegisterHotKey(&window, 3, kCtrlAlt, VK_UP));
    other.ungrab(XK_Down, kXCtrlAlt);
    press("ctrl+alt+Down");
    press("ctrl+alt+Up");
    ASSERT_TRUE(waitForMessages(window, 1));
    QTest::qWait(200);
    ASSERT_EQ(window.messages.size(), 1U);
    expectHotKey(window.messages[0], window, 3, 3 | 38 << 16);
}

TEST_F(DesktopHotKeys, ReleasedKeysAreFreeForOthersAndSilent) {
    OtherClient other;
    {
        X11HotKeys hotKeys;
        ASSERT_TRUE(hotKeys.RegisterHotKey(&window, 1, kCtrlAlt, VK_DOWN));
        ASSERT_TRUE(hotKeys.RegisterHotKey(&window, 2, kCtrlAlt, VK_RIGHT));
        ASSERT_TRUE(hotKeys.RegisterHotKey(&window, 3, kCtrlAlt, VK_UP));
        EXPECT_FALSE(other.grab(XK_Down, kXCtrlAlt));

        EXPECT_TRUE(hotKeys.UnregisterHotKey(&window, 1));
        EXPECT_FALSE(hotKeys.UnregisterHotKey(&window, 1));
        const uint16_t locks[] = {0, XCB_MOD_MASK_LOCK};
        for (const uint16_t lock : locks)
            EXPECT_TRUE(other.grab(XK_Down, kXCtrlAlt | lock)) << "lock mask " << lock;
        for (const uint16_t lock : locks) other.ungrab(XK_Down, kXCtrlAlt | lock);

        press("ctrl+alt+Down");  // unregistered: nothing
        press("ctrl+alt+Right");
        ASSERT_TRUE(waitForMessages(window, 1));
        QTest::qWait(200);
        ASSERT_EQ(window.messages.size(), 1U);
        expectHotKey(window.messages[0], window, 2, 3 | 39 << 16);
    }
    // Destroying the service releases what was still registered.
    EXPECT_TRUE(other.grab(XK_Right, kXCtrlAlt));
    EXPECT_TRUE(other.grab(XK_Up, kXCtrlAlt | XCB_MOD_MASK_LOCK));
}

// As on Windows, an id is registered once per window and a key combination once in all.
// A refused second registration must leave the first one working.
TEST_F(DesktopHotKeys, SecondRegistrationIsRefusedAndFirstKeepsWorking) {
    X11HotKeys hotKeys;
    RecordingWindow otherWindow;
    ASSERT_TRUE(hotKeys.RegisterHotKey(&window, 1, kCtrlAlt, VK_DOWN));
    EXPECT_FALSE(hotKeys.RegisterHotKey(&window, 1, kCtrlAlt, VK_UP)) << "same id, same window";
    EXPECT_FALSE(hotKeys.RegisterHotKey(&window, 2, kCtrlAlt, VK_DOWN)) << "same keys, other id";
    EXPECT_FALSE(hotKeys.RegisterHotKey(&otherWindow, 1, kCtrlAlt, VK_DOWN))
        << "same keys, other window";
    EXPECT_TRUE(hotKeys.RegisterHotKey(&otherWindow, 1, kCtrlAlt, VK_UP)) << "an id is per window";

    press("ctrl+alt+Down");
    press("ctrl+alt+Up");
    ASSERT_TRUE(waitForMessages(window, 1));
    ASSERT_TRUE(waitForMessages(otherWindow, 1));
    expectHotKey(window.messages[0], window, 1, 3 | 40 << 16);
    expectHotKey(otherWindow.messages[0], otherWindow, 1, 3 | 38 << 16);
}

// WindowProc may release hot keys while one is being delivered (the window unloads on a
// key); a press queued behind it is then dropped instead of reaching a gone window.
TEST_F(DesktopHotKeys, UnregisteringFromWindowProcDropsQueuedPresses) {
    X11HotKeys hotKeys;
    struct UnloadingWindow : RecordingWindow {
        int32_t WindowProc(HWND hWnd, uint32_t uMsg, int32_t wParam, int32_t lParam) override {
            RecordingWindow::WindowProc(hWnd, uMsg, wParam, lParam);
            service->UnregisterHotKey(this, 1);
            return 0;
        }
        X11HotKeys* service = nullptr;
    } unloading;
    unloading.service = &hotKeys;
    ASSERT_TRUE(hotKeys.RegisterHotKey(&unloading, 1, kCtrlAlt, VK_DOWN));
    ASSERT_TRUE(hotKeys.RegisterHotKey(&window, 3, kCtrlAlt, VK_UP));

    // Both presses reach the filter before the event loop delivers either.
    press("ctrl+alt+Down");
    press("ctrl+alt+Down");
    press("ctrl+alt+Up");
    ASSERT_TRUE(waitForMessages(window, 1));
    QTest::qWait(200);
    EXPECT_EQ(unloading.messages.size(), 1U);
}

// The rule both back ends hand their presses to: a press reaches its window from the event
// loop, never at once, and only while the registration it came from stands; one registered
// afresh meanwhile (other keys for the same id) has another serial, and the press is stale.
TEST_F(DesktopHotKeys, APressArrivesOnlyWhileItsRegistrationStands) {
    QObject context;
    uint64_t standing = 7;
    const auto registered = [&](uint64_t serial) { return serial == standing; };
    postHotKeyPress(context, {&window, 2, kCtrlAlt, VK_RIGHT, 7}, registered);
    EXPECT_TRUE(window.messages.empty());
    ASSERT_TRUE(waitForMessages(window, 1));
    expectHotKey(window.messages[0], window, 2, 3 | 39 << 16);

    postHotKeyPress(context, {&window, 2, kCtrlAlt, VK_RIGHT, 7}, registered);
    standing = 8;
    QTest::qWait(200);
    EXPECT_EQ(window.messages.size(), 1U);
}

}  // namespace

namespace {

// Keys other than the arrows (chosen in place of the standard ones) are grabbed and arrive
// with their own key codes; a key another client holds counts against reach() only until
// it is given up for another.
TEST_F(DesktopHotKeys, OtherKeysArriveAndARefusedKeyGivenUpNoLongerCounts) {
    OtherClient other;
    ASSERT_TRUE(other.grab(XK_Down, kXCtrlAlt));
    X11HotKeys hotKeys;
    int announced = 0;
    hotKeys.onReachChanged = [&] { ++announced; };
    EXPECT_FALSE(hotKeys.RegisterHotKey(&window, 1, kCtrlAlt, VK_DOWN));
    EXPECT_EQ(hotKeys.reach(), HotKeyReach::TakenByOther);
    EXPECT_TRUE(QTest::qWaitFor([&] { return announced == 1; }, 1000));

    hotKeys.UnregisterHotKey(&window, 1);
    EXPECT_EQ(hotKeys.reach(), HotKeyReach::Working);
    EXPECT_TRUE(QTest::qWaitFor([&] { return announced == 2; }, 1000));
    ASSERT_TRUE(hotKeys.RegisterHotKey(&window, 1, MOD_CONTROL | MOD_SHIFT, 'R'));
    ASSERT_TRUE(hotKeys.RegisterHotKey(&window, 2, MOD_WIN, 0x74));   // F5
    ASSERT_TRUE(hotKeys.RegisterHotKey(&window, 3, kCtrlAlt, 0x21));  // PageUp
    EXPECT_EQ(hotKeys.reach(), HotKeyReach::Working);

    press("ctrl+shift+r");
    press("ctrl+alt+Down");  // the other client's now
    press("super+F5");
    press("ctrl+alt+Prior");
    ASSERT_TRUE(waitForMessages(window, 3));
    QTest::qWait(200);
    ASSERT_EQ(window.messages.size(), 3U);
    expectHotKey(window.messages[0], window, 1, (MOD_CONTROL | MOD_SHIFT) | 'R' << 16);
    expectHotKey(window.messages[1], window, 2, MOD_WIN | 0x74 << 16);
    expectHotKey(window.messages[2], window, 3, 3 | 0x21 << 16);
    EXPECT_EQ(announced, 2);
    other.ungrab(XK_Down, kXCtrlAlt);
}

}  // namespace
