#include "platform/registry/AutostartStore.h"

#include "platform/files/AtomicFile.h"
#include "platform/registry/AutostartEntry.h"

#include <fstream>
#include <string>
#include <utility>

namespace fs = std::filesystem;

namespace wsx::registry {

namespace {

// Our own entries are a few hundred bytes; anything far larger is not one of ours.
constexpr std::uintmax_t kMaxEntryBytes = 64 * 1024;

}  // namespace

AutostartStore::AutostartStore(fs::path folder) : m_folder(std::move(folder)) {}

AutostartStore::ReadResult AutostartStore::read(std::string_view valueName) const {
    const std::string name = autostart::fileNameFor(valueName);
    if (name.empty()) return {ERROR_FILE_NOT_FOUND, {}};
    const fs::path path = m_folder / name;

    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (status.type() == fs::file_type::not_found) return {ERROR_FILE_NOT_FOUND, {}};
    if (ec) return {ERROR_ACCESS_DENIED, {}};
    if (status.type() != fs::file_type::regular) return {ERROR_REGISTRY_CORRUPT, {}};
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec) return {ERROR_ACCESS_DENIED, {}};
    if (size > kMaxEntryBytes) return {ERROR_REGISTRY_CORRUPT, {}};

    std::ifstream in(path, std::ios::binary);
    if (!in) return {ERROR_ACCESS_DENIED, {}};
    std::string text(static_cast<std::size_t>(size), '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad()) return {ERROR_ACCESS_DENIED, {}};
    text.resize(static_cast<std::size_t>(in.gcount()));

    auto data = autostart::parse(text);
    if (!data) return {ERROR_REGISTRY_CORRUPT, {}};
    return {ERROR_SUCCESS, std::move(*data)};
}

LONG AutostartStore::write(std::string_view valueName, std::span<const BYTE> data) {
    const std::string name = autostart::fileNameFor(valueName);
    if (name.empty()) return ERROR_INVALID_PARAMETER;
    const auto text = autostart::format(data);
    if (!text) return ERROR_INVALID_PARAMETER;
    if (!ensureFolder()) return ERROR_ACCESS_DENIED;

    // New entries are 0644 like any desktop entry; a replaced one keeps its mode.
    const files::WriteResult written = files::writeAtomically(m_folder / name, 0644, [&](int fd) {
        return files::writeAll(fd, text->data(), text->size());
    });
    return written ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

bool AutostartStore::ensureFolder() const {
    std::error_code ec;
    if (fs::is_directory(m_folder, ec)) return true;
    // Create the missing levels from the top down so that each new one gets mode 0700
    // (the XDG base directory rule for folders we create), whatever the umask.
    std::vector<fs::path> missing;
    for (fs::path p = m_folder; !p.empty(); p = p.parent_path()) {
        if (fs::symlink_status(p, ec).type() != fs::file_type::not_found) break;
        missing.push_back(p);
        if (p == p.parent_path()) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (fs::create_directory(*it, ec)) fs::permissions(*it, fs::perms::owner_all, ec);
        else if (ec) return false;
    }
    return fs::is_directory(m_folder, ec);
}

}  // namespace wsx::registry
