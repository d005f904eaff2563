#pragma once

#include "platform/messages/WindowMessages.h"

#include <QObject>

#include <cstdint>
#include <functional>

namespace wsx::platform {

// A press of a registered key, as a back end saw it: the registration's window, id and keys,
// and the serial the back end gave that registration when it was made.
struct HotKeyPress {
    HWND hWnd;
    int32_t id;
    uint32_t modifiers;  // MOD_* as registered
    uint32_t vk;         // VK_* as registered
    uint64_t serial;
};

// Every back end hands its presses here. The press arrives as hWnd->WindowProc(hWnd,
// WM_HOTKEY, id, modifiers | vk << 16), posted through the event loop of `context` (and
// dropped with it), so WindowProc never runs inside the dispatch that saw the press.
// A press is stale, and dropped, when the registration it came from no longer stands by
// then: `registered(serial)` is asked at delivery, and a key unregistered, or registered
// afresh for the same id, in between has another serial or none.
// Thread safety: UI thread only.
void postHotKeyPress(QObject& context, const HotKeyPress& press,
                     std::function<bool(uint64_t serial)> registered);

}  // namespace wsx::platform
