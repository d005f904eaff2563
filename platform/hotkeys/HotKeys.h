#pragma once

#include "platform/messages/WindowMessages.h"

#include <cstdint>

namespace wsx::platform {

constexpr uint32_t MOD_ALT = 1;
constexpr uint32_t MOD_CONTROL = 2;
constexpr uint32_t MOD_SHIFT = 4;
constexpr uint32_t MOD_WIN = 8;
constexpr uint32_t VK_LEFT = 0x25;
constexpr uint32_t VK_UP = 0x26;
constexpr uint32_t VK_RIGHT = 0x27;
constexpr uint32_t VK_DOWN = 0x28;

// System-wide hot keys. A registered key, pressed anywhere on the desktop, arrives as
// hWnd->WindowProc(hWnd, WM_HOTKEY, id, modifiers | vk << 16). RegisterHotKey fails when
// the key is taken by another program or the desktop offers no global keys.
// Thread safety: UI thread only.
class HotKeyService {
public:
    virtual ~HotKeyService() = default;
    virtual bool RegisterHotKey(HWND hWnd, int32_t id, uint32_t modifiers, uint32_t vk) = 0;
    virtual bool UnregisterHotKey(HWND hWnd, int32_t id) = 0;
};

}  // namespace wsx::platform
