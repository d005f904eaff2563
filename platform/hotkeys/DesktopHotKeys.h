#pragma once

#include "platform/hotkeys/HotKeys.h"

#include <QString>

#include <memory>

namespace wsx::platform {

// Whether the desktop session is a Wayland one (XDG_SESSION_TYPE=wayland or WAYLAND_DISPLAY
// set), even when Qt itself runs on XWayland.
bool isWaylandSession();

// The hot keys that can work on this desktop: the GlobalShortcuts portal on Wayland
// sessions, X11 key grabs otherwise. `applicationId` is the installed desktop file's base
// name, under which the portal knows the program.
// Lifetime: create after the QApplication, destroy before it.
std::unique_ptr<HotKeyService> makeDesktopHotKeys(const QString& applicationId);

}  // namespace wsx::platform
