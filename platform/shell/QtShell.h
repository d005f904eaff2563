#pragma once

#include "platform/shell/ShellService.h"

namespace wsx::platform {

// Results of ShellExecute besides success (any value above 32).
constexpr int SE_ERR_FNF = 2;       // the local file does not exist
constexpr int SE_ERR_NOASSOC = 31;  // the desktop has no program to open it with

// ShellService over the desktop's opener (QDesktopServices: xdg-open on X11 desktops) and
// QProcess.
//
// ShellExecute takes a local path (absolute, or relative to the current folder) or an
// address with a scheme (http://, https://, mailto:, file://, ...). It returns 42 when the
// opener was started, SE_ERR_FNF for a missing local file and SE_ERR_NOASSOC when nothing
// could be started (no opener installed, or a platform without one such as offscreen).
// The opener runs on its own: whether it then finds a program is not known here.
// showCommand is not used: the desktop decides how the program's window appears.
//
// Thread safety: UI thread only (QDesktopServices needs the QGuiApplication).
class QtShell final : public ShellService {
public:
    int ShellExecute(const std::string& target, int showCommand) override;
    // Starts the program file at `path` with no arguments and without a shell, so any
    // characters in the path are taken literally.
    bool StartProgram(const std::string& path) override;
};

}  // namespace wsx::platform
