#pragma once

#include <cstdint>

namespace wsx::platform {

// Whether the desktop's own keyboard shortcuts use MOD_* `modifiers` + VK_* `vk`. Read
// through GSettings on GNOME sessions (XDG_CURRENT_DESKTOP names GNOME), from the window
// manager's, the shell's and the media keys' schemas where they are installed: GNOME binds
// Ctrl+Alt+Up/Down to switching workspaces, takes such keys before any X11 grab sees them,
// and lets the grab "succeed" all the same. False on other desktops and without the schemas.
// Thread safety: any thread.
bool desktopBindsKey(uint32_t modifiers, uint32_t vk);

}  // namespace wsx::platform
