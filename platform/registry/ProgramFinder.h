#pragma once
// Finds installed programs by name along a PATH-style list of folders, the way a shell would:
// the first folder that holds an executable regular file of that name wins. The list is given
// to the constructor so tests can search a folder of their own.
//
// Thread safety: const member functions only read the file system; safe from any thread.

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace wsx::registry {

class ProgramFinder {
public:
    // `searchPath`: folders separated by ':'. Empty entries (which a shell would read as the
    // current folder) are skipped: nothing found here is ever started from the working folder.
    explicit ProgramFinder(std::string searchPath);

    // Absolute file name of the program `name` (as found along the list, symbolic links not
    // resolved), or nullopt. A name containing '/' is never searched.
    [[nodiscard]] std::optional<std::filesystem::path> find(std::string_view name) const;

    // The first of `names`, in that order of preference, that find() finds.
    [[nodiscard]] std::optional<std::filesystem::path> findFirst(
        std::span<const std::string_view> names) const;

private:
    std::string m_searchPath;
};

}  // namespace wsx::registry
