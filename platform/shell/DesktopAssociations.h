#pragma once

#include <string>

namespace wsx::platform {

// The desktop entry ("xchm.desktop") of the program the desktop's MIME database names for
// opening the local file `path`, or "" when it names none. The file's type comes from its
// name (shared-mime-info's globs); the answer is GIO's default application for that type:
// the user's or the desktop's choice in mimeapps.list, else a program whose entry lists the
// type or one of its aliases (application/x-chm for application/vnd.ms-htmlhelp), as listed
// in the applications folders' mimeinfo.cache. GIO reads the XDG folders once per process
// and follows later changes to them from the GLib main loop (Qt's event loop on Linux).
// Thread safety: UI thread only.
std::string defaultProgramFor(const std::string& path);

// Starts that program on the local file `path`, without waiting for it; false when the
// database names none or it cannot start. Asking and opening through the same database
// keeps the two in agreement, which xdg-open's own look-up on desktops it does not know
// (no GNOME, no KDE) is not: it misses a viewer listed under a type's alias.
// Thread safety: UI thread only.
bool openWithDefaultProgram(const std::string& path);

}  // namespace wsx::platform
