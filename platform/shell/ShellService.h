#pragma once

#include <string>

namespace wsx::platform {

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;

// Results of ShellExecute and FindExecutable besides success (any value above 32).
constexpr int SE_ERR_FNF = 2;       // the local file does not exist
constexpr int SE_ERR_NOASSOC = 31;  // the desktop has no program to open it with

// Hands files, web addresses and programs to the desktop.
// Thread safety: UI thread only.
class ShellService {
public:
    virtual ~ShellService() = default;
    // Opens a document or address with the desktop's default program; > 32 on success.
    virtual int ShellExecute(const std::string& target, int showCommand) = 0;
    // Whether the desktop names a program to open the local file `file` with: > 32 when it
    // does (`program` then names it), SE_ERR_NOASSOC when it names none, SE_ERR_FNF when the
    // file does not exist. Opens nothing.
    virtual int FindExecutable(const std::string& file, std::string& program) = 0;
    // Starts a program by its full path without waiting for it; false when it cannot.
    virtual bool StartProgram(const std::string& path) = 0;
};

}  // namespace wsx::platform
