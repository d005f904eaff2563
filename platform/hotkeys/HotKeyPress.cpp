#include "HotKeyPress.h"

#include <utility>

namespace wsx::platform {

void postHotKeyPress(QObject& context, const HotKeyPress& press,
                     std::function<bool(uint64_t serial)> registered) {
    QMetaObject::invokeMethod(
        &context,
        [press, registered = std::move(registered)] {
            if (!registered(press.serial)) return;
            const auto lParam = static_cast<int32_t>(press.modifiers | press.vk << 16);
            press.hWnd->WindowProc(press.hWnd, WM_HOTKEY, press.id, lParam);
        },
        Qt::QueuedConnection);
}

}  // namespace wsx::platform
