#include "TakeStore.h"

#include "platform/log/Log.h"

#include <algorithm>
#include <cstdlib>
#include <unistd.h>

namespace fs = std::filesystem;

namespace wsx::mci {

fs::path TakeStore::defaultFolder() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/')
        return fs::path(state) / "wanshengxia";
    if (const char* home = std::getenv("HOME"); home && *home)
        return fs::path(home) / ".local" / "state" / "wanshengxia";
    return fs::temp_directory_path() / "wanshengxia";
}

TakeInfo TakeStore::inspect(const fs::path& takeFolder) {
    TakeInfo info;
    info.folder = takeFolder;
    if (!Take::isTake(takeFolder)) {
        info.problem = "it is not a take folder of ours";
        return info;
    }
    // The generation "current" names; another one's files are a compaction's leftovers.
    const std::optional<TakeContents> contents = Take::read(takeFolder, info.problem);
    if (!contents) return info;
    const ReplayedTake take =
        recoverTake(contents->journal, contents->soundBytes, contents->format.format.blockAlign());
    info.format = contents->format;
    info.readable = true;
    info.intact = !contents->journal.damaged && !take.clipped;
    info.editsLost = take.editsLost;
    info.lengthBytes = take.wave.length();
    const uint64_t bps = contents->format.format.bytesPerSecond();
    info.lengthMs = (info.lengthBytes * 1000 + bps / 2) / bps;
    info.empty = info.lengthBytes == 0;
    info.savedUnchanged = take.savedUnchanged;
    return info;
}

std::vector<TakeInfo> TakeStore::orphans() const {
    std::vector<TakeInfo> out;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(m_folder, ec)) {
        if (e.is_symlink(ec) && e.path().filename().string().rfind("take-", 0) == 0) {
            log::warning(log::kEngine, e.path().string() +
                                           " is a symbolic link, not a take folder: left alone");
            continue;
        }
        if (!e.is_directory(ec) || e.is_symlink(ec) || !Take::isTake(e.path())) continue;
        const int lock = Take::lockFolder(e.path());
        if (lock < 0) continue;  // a running program's
        out.push_back(inspect(e.path()));
        if (!out.back().readable)
            log::warning(log::kEngine, "the take " + e.path().string() +
                                           " cannot be read: " + out.back().problem);
        ::close(lock);
    }
    // Newest first; takes whose format record cannot be read go last.
    std::stable_sort(out.begin(), out.end(), [](const TakeInfo& a, const TakeInfo& b) {
        if (a.readable != b.readable) return a.readable;
        return a.format.createdUnixSeconds > b.format.createdUnixSeconds;
    });
    return out;
}

bool TakeStore::remove(const fs::path& takeFolder) {
    std::error_code ec;
    if (fs::is_symlink(takeFolder, ec) || !Take::isTake(takeFolder)) return false;
    const int lock = Take::lockFolder(takeFolder);
    if (lock < 0) return false;
    const bool removed = Take::removeFiles(takeFolder);
    ::close(lock);
    return removed;
}

}  // namespace wsx::mci
