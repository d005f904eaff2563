#include "platform/hotkeys/DesktopHotKeys.h"

#include "platform/hotkeys/PortalHotKeys.h"
#include "platform/hotkeys/X11HotKeys.h"

#include <cstdlib>
#include <cstring>

namespace wsx::platform {

bool isWaylandSession() {
    const char* type = std::getenv("XDG_SESSION_TYPE");
    if (type != nullptr && std::strcmp(type, "wayland") == 0) return true;
    const char* display = std::getenv("WAYLAND_DISPLAY");
    return display != nullptr && *display != '\0';
}

std::unique_ptr<HotKeyService> makeDesktopHotKeys(const QString& applicationId) {
    if (isWaylandSession()) return std::make_unique<PortalHotKeys>(applicationId);
    return std::make_unique<X11HotKeys>();
}

}  // namespace wsx::platform
