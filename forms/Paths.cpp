#include "Paths.h"

namespace wsx {

std::string EnsureTrailingSlash(const std::string& path) {
    if (!path.empty() && path.back() == '/') return path;
    return path + "/";
}

std::string ProgramFolder(const std::string& programFile) {
    const size_t slash = programFile.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return programFile.substr(0, slash);
}

std::string ExePathFor(const std::string& programFile) {
    const size_t slash = programFile.rfind('/');
    std::string name = slash == std::string::npos ? programFile : programFile.substr(slash + 1);
    // A leading dot marks a hidden file, not an extension.
    if (const size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.resize(dot);
    return EnsureTrailingSlash(ProgramFolder(programFile)) + name;
}

}  // namespace wsx
