#pragma once

#include "platform/shell/ShellService.h"

namespace wsx::platform {

// ShellService over the desktop's opener (xdg-open), its MIME database (GIO) and QProcess.
//
// ShellExecute takes a local path (absolute, or relative to the current folder) or an
// address with a scheme (http://, https://, mailto:, file://, ...). A local file goes to the
// program the MIME database names for it (FindExecutable's), otherwise, like an address, to
// xdg-open. It returns 42 when the program was started or the opener said it opened the
// target, SE_ERR_FNF for a missing local file and SE_ERR_NOASSOC when nothing could be
// opened: no opener installed, or an opener that ended with a failure status ("no method
// available") within 1.5 s. An opener still running then counts as opened (it may be
// running the program itself); the call blocks for at most that long.
// showCommand is not used: the desktop decides how the program's window appears.
//
// Thread safety: UI thread only.
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
