#include "platform/registry/ProgramFinder.h"

#include <utility>

namespace fs = std::filesystem;

namespace wsx::registry {

namespace {

bool isExecutableFile(const fs::path& path) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec || status.type() != fs::file_type::regular) return false;
    constexpr auto anyExec = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
    return (status.permissions() & anyExec) != fs::perms::none;
}

}  // namespace

ProgramFinder::ProgramFinder(std::string searchPath) : m_searchPath(std::move(searchPath)) {}

std::optional<fs::path> ProgramFinder::find(std::string_view name) const {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos)
        return std::nullopt;
    std::string_view rest = m_searchPath;
    while (!rest.empty()) {
        const auto colon = rest.find(':');
        const std::string_view folder = rest.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view{} : rest.substr(colon + 1);
        if (folder.empty()) continue;
        std::error_code ec;
        fs::path candidate = fs::absolute(fs::path(folder) / name, ec);
        if (!ec && isExecutableFile(candidate)) return candidate.lexically_normal();
    }
    return std::nullopt;
}

std::optional<fs::path> ProgramFinder::findFirst(std::span<const std::string_view> names) const {
    for (const std::string_view name : names) {
        if (auto found = find(name)) return found;
    }
    return std::nullopt;
}

}  // namespace wsx::registry
