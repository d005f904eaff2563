#pragma once

#include "platform/shell/ShellService.h"

namespace wsx::platform {

// ShellService over the desktop's opener (QDesktopServices: xdg-open on X11 desktops), its
// MIME database (GIO) and QProcess.
//
// ShellExecute takes a local path (absolute, or relative to the current folder) or an
// address with a scheme (http://, https://, mailto:, file://, ...). A local file goes to the
// program the MIME database names for it (FindExecutable's), otherwise, like an address, to
// the desktop's opener. It returns 42 when the program or the opener was started,
// SE_ERR_FNF for a missing local file and SE_ERR_NOASSOC when nothing could be started (no
// opener installed, or a platform without one such as offscreen).
// The opener runs on its own: whether it then finds a program is not known here.
// showCommand is not used: the desktop decides how the program's window appears.
//
// Thread safety: UI thread only (QDesktopServices needs the QGuiApplication).
class QtShell final : public ShellService {
public:
    int ShellExecute(const std::string& target, int showCommand) override;
    // Asks the MIME database through GIO (see DesktopAssociations.h); `program` is the
    // desktop entry's name ("xchm.desktop").
    int FindExecutable(const std::string& file, std::string& program) override;
    // Starts the program file at `path` with no arguments and without a shell, so any
    // characters in the path are taken literally.
    bool StartProgram(const std::string& path) override;
};

}  // namespace wsx::platform
