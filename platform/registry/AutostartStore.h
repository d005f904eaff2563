#pragma once
// The values of the start-up ("Run") key, kept as autostart entries in one folder
// (normally $XDG_CONFIG_HOME/autostart). Only files named by autostart::fileNameFor are ever
// read, written or replaced; other programs' entries in the folder are never opened.
//
// Writes are atomic (files::writeAtomically): the entry is written to a hidden temporary file
// in the same folder and renamed over the old one, so a reader (or a session manager at log-in)
// sees either the old entry or the new one. The temporary name does not end in ".desktop", so
// session managers never pick up a half-written file.
//
// Thread safety: UI thread only; two processes writing the same value end with one of the two
// complete entries.

#include "platform/registry/RegistryTypes.h"

#include <filesystem>
#include <span>
#include <string_view>
#include <vector>

namespace wsx::registry {

class AutostartStore {
public:
    explicit AutostartStore(std::filesystem::path folder);

    struct ReadResult {
        LONG status = ERROR_FILE_NOT_FOUND;  // ERROR_SUCCESS, or why there is no data
        std::vector<BYTE> data;              // the stored bytes, when status is ERROR_SUCCESS
    };

    // ERROR_FILE_NOT_FOUND: no entry for this name. ERROR_ACCESS_DENIED: the entry exists but
    // cannot be read. ERROR_REGISTRY_CORRUPT: it is not a regular file or cannot be understood.
    [[nodiscard]] ReadResult read(std::string_view valueName) const;

    // ERROR_INVALID_PARAMETER: the name is too long or the data cannot be represented
    // (autostart::isStorable). ERROR_ACCESS_DENIED: the folder or the file could not be written.
    // Missing folders are created, each new one with mode 0700.
    [[nodiscard]] LONG write(std::string_view valueName, std::span<const BYTE> data);

    [[nodiscard]] const std::filesystem::path& folder() const { return m_folder; }

private:
    [[nodiscard]] bool ensureFolder() const;

    std::filesystem::path m_folder;
};

}  // namespace wsx::registry
