#pragma once

#include <cstdint>

namespace wsx::platform {

// The window messages our platform stand-ins deliver to the recorder window: mouse events
// on the tray icon and global hot keys, with the numbers and argument layout the
// recorder's message handler expects.
constexpr uint32_t WM_HOTKEY = 0x312;
constexpr uint32_t WM_MOUSEMOVE = 0x200;
constexpr uint32_t WM_LBUTTONDOWN = 0x201;
constexpr uint32_t WM_LBUTTONUP = 0x202;
constexpr uint32_t WM_LBUTTONDBLCLK = 0x203;
constexpr uint32_t WM_RBUTTONDOWN = 0x204;
constexpr uint32_t WM_RBUTTONUP = 0x205;

// A window that receives platform messages. Thread safety: messages are delivered on the
// UI thread only, from the Qt event loop.
class WindowMessageTarget {
public:
    virtual ~WindowMessageTarget() = default;
    virtual int32_t WindowProc(WindowMessageTarget* hWnd, uint32_t uMsg, int32_t wParam,
                               int32_t lParam) = 0;
};

// The "window handle" the stand-ins take: the window that gets the messages.
using HWND = WindowMessageTarget*;

}  // namespace wsx::platform
