#include "platform/registry/RegistryEnvironment.h"

#include <cstdlib>

namespace fs = std::filesystem;

namespace wsx::registry {

namespace {

// The search list a shell uses when PATH is unset.
constexpr const char* kDefaultSearchPath = "/usr/local/bin:/usr/bin:/bin";

bool isAbsolute(const char* value) { return value != nullptr && value[0] == '/'; }

}  // namespace

fs::path RegistryEnvironment::autostartFolderFor(const char* xdgConfigHome, const char* home) {
    if (isAbsolute(xdgConfigHome)) return fs::path(xdgConfigHome) / "autostart";
    if (isAbsolute(home)) return fs::path(home) / ".config" / "autostart";
    return {};
}

RegistryEnvironment RegistryEnvironment::fromProcess() {
    const char* path = std::getenv("PATH");
    return RegistryEnvironment{
        autostartFolderFor(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME")),
        path != nullptr ? std::string(path) : std::string(kDefaultSearchPath)};
}

}  // namespace wsx::registry
