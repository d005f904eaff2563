#pragma once

#include "platform/hotkeys/HotKeys.h"

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <cstdint>
#include <vector>

struct xcb_connection_t;

namespace wsx::platform {

// HotKeyService over X11 passive key grabs on the root window, on Qt's own xcb connection.
//
// A registration grabs the key with its modifiers in every combination of CapsLock and
// NumLock, so the hot key works whichever lock is on. A key that another X client has
// grabbed makes the registration fail (nothing of it stays grabbed) and turns reach() to
// TakenByOther (onReachChanged runs from the event loop); so does a second
// registration of the same id for the same window, or of a key combination this object has
// already registered (as RegisterHotKey does on Windows). A refused key counts until it is
// unregistered (re-registering other keys in its place clears it). A key the desktop's own
// shortcuts use (GNOME) turns reach() to TakenByDesktop while it is registered. Outside X11
// (Wayland, offscreen) every registration fails quietly.
//
// A press of a registered key arrives as hWnd->WindowProc(hWnd, WM_HOTKEY, id,
// modifiers | vk << 16), posted through the event loop like the Windows message: WindowProc
// never runs inside Qt's event dispatch, and a press still queued when its key is
// unregistered is dropped. Only presses are delivered; holding the key repeats them.
//
// Lifetime: create after the QApplication, destroy before it; the destructor releases every
// key still registered (the X server would release them anyway when the program ends).
// The keyboard mapping is read at registration; keys re-mapped later are not followed.
// Thread safety: UI thread only.
class X11HotKeys final : public HotKeyService, private QAbstractNativeEventFilter {
public:
    X11HotKeys();
    ~X11HotKeys() override;
    X11HotKeys(const X11HotKeys&) = delete;
    X11HotKeys& operator=(const X11HotKeys&) = delete;

    bool RegisterHotKey(HWND hWnd, int32_t id, uint32_t modifiers, uint32_t vk) override;
    bool UnregisterHotKey(HWND hWnd, int32_t id) override;
    // NoGlobalKeys off X11; TakenByOther while a key another client holds stays asked for;
    // TakenByDesktop when the desktop's own shortcuts use a registered key (GNOME).
    HotKeyReach reach() const override;

private:
    struct Grab {
        uint32_t root;
        uint8_t keycode;
        uint16_t xModifiers;
    };
    struct Registration {
        HWND hWnd;
        int32_t id;
        uint32_t modifiers;   // MOD_* as registered
        uint32_t vk;          // VK_* as registered
        uint16_t xModifiers;  // the X modifier mask that must be down, locks excluded
        std::vector<uint8_t> keycodes;
        std::vector<Grab> grabs;  // every grab this registration holds
        uint64_t serial;
        bool desktopBinds;  // the desktop's own shortcuts use this key
    };
    // A registration refused because another client holds the key.
    struct Refusal {
        HWND hWnd;
        int32_t id;
    };

    bool grabHotKey(HWND hWnd, int32_t id, uint32_t modifiers, uint32_t vk);
    bool releaseHotKey(HWND hWnd, int32_t id);
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
    bool grabAll(std::vector<Grab>& wanted);
    void ungrabAll(const std::vector<Grab>& grabs);
    void announceReach();
    bool isRegistered(uint64_t serial) const;

    xcb_connection_t* m_connection = nullptr;
    QObject m_context;  // receiver of queued deliveries; destroying it drops them
    std::vector<Registration> m_registrations;
    uint64_t m_nextSerial = 1;
    std::vector<Refusal> m_refused;
};

}  // namespace wsx::platform
