#pragma once

#include "platform/messages/WindowMessages.h"

#include <cstdint>
#include <functional>
#include <string>

namespace wsx::platform {

constexpr uint32_t MOD_ALT = 1;
constexpr uint32_t MOD_CONTROL = 2;
constexpr uint32_t MOD_SHIFT = 4;
constexpr uint32_t MOD_WIN = 8;
constexpr uint32_t VK_LEFT = 0x25;
constexpr uint32_t VK_UP = 0x26;
constexpr uint32_t VK_RIGHT = 0x27;
constexpr uint32_t VK_DOWN = 0x28;

// Whether the desktop delivers the program's global keys.
enum class HotKeyReach {
    Pending,         // asked, no answer yet
    Working,         // the keys fire wherever the focus is
    NoGlobalKeys,    // this desktop gives programs no global keys (or refused them)
    TakenByOther,    // another program holds one of the keys
    TakenByDesktop,  // the desktop's own shortcuts use one of the keys
};

// System-wide hot keys. A registered key, pressed anywhere on the desktop, arrives as
// hWnd->WindowProc(hWnd, WM_HOTKEY, id, modifiers | vk << 16). RegisterHotKey fails when
// the key is taken by another program or the desktop offers no global keys.
// Thread safety: UI thread only.
class HotKeyService {
public:
    virtual ~HotKeyService() = default;
    virtual bool RegisterHotKey(HWND hWnd, int32_t id, uint32_t modifiers, uint32_t vk) = 0;
    virtual bool UnregisterHotKey(HWND hWnd, int32_t id) = 0;

    // Names hot key `id` for desktops that show and bind the keys themselves (a short ASCII
    // name and a caption); call before RegisterHotKey. Others ignore it.
    virtual void NameHotKey(int32_t /*id*/, const std::string& /*name*/,
                            const std::string& /*description*/) {}

    // Whether registered keys can fire, as far as the desktop lets the program know. A
    // desktop may answer later than RegisterHotKey returns: onReachChanged then runs from
    // the event loop.
    virtual HotKeyReach reach() const = 0;
    // The keys the desktop reports it binds to hot key `id`, in its own words
    // ("Ctrl+Alt+Down"), where the desktop binds the keys itself and the user may change
    // them there; "" where it reports none. A change of them runs onReachChanged as well.
    virtual std::string desktopTrigger(int32_t /*id*/) const { return {}; }
    std::function<void()> onReachChanged;
};

}  // namespace wsx::platform
