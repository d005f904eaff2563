#pragma once

#include <string>

namespace wsx::platform {

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;

// Hands files, web addresses and programs to the desktop.
// Thread safety: UI thread only.
class ShellService {
public:
    virtual ~ShellService() = default;
    // Opens a document or address with the desktop's default program; > 32 on success.
    virtual int ShellExecute(const std::string& target, int showCommand) = 0;
    // Starts a program by its full path without waiting for it; false when it cannot.
    virtual bool StartProgram(const std::string& path) = 0;
};

}  // namespace wsx::platform
