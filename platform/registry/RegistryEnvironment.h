#pragma once
// Where the registry stand-in keeps and finds things on this machine. main() takes it from the
// process environment; tests build one that points at temporary folders.

#include <filesystem>
#include <string>

namespace wsx::registry {

struct RegistryEnvironment {
    // Folder of the per-user autostart entries that back the start-up ("Run") key. Empty when
    // no configuration folder is known; that key then cannot be opened.
    std::filesystem::path autostartFolder;
    // PATH-style list of folders searched for the system-information program.
    std::string programSearchPath;

    // From $XDG_CONFIG_HOME, $HOME and $PATH.
    static RegistryEnvironment fromProcess();

    // $XDG_CONFIG_HOME/autostart when that variable holds an absolute path, otherwise
    // $HOME/.config/autostart (the XDG base directory rule: relative values are ignored);
    // empty when neither is usable. Null pointers stand for unset variables.
    static std::filesystem::path autostartFolderFor(const char* xdgConfigHome, const char* home);
};

}  // namespace wsx::registry
