#pragma once

#include "Take.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace wsx::mci {

// What a take left on disk holds, as far as it can be read without opening it.
struct TakeInfo {
    std::filesystem::path folder;
    TakeFormat format;         // meaningful when `readable`
    uint64_t lengthBytes = 0;  // of the sound the journal rebuilds
    uint64_t lengthMs = 0;
    bool savedUnchanged = false;  // the last change was a save
    bool empty = false;           // no sound to offer
    bool readable = false;        // format record understood: "open" can adopt it
    bool intact = false;          // readable, and no journal record or sound was missing
    bool editsLost = false;       // readable, but the journal could not be read to its end:
                                  // what is offered is its intact records or the whole sound
    std::string problem;          // why it is not readable, for a log line
};

// The takes left behind by programs that ended without closing their elements (killed,
// crashed, or ended by a signal with unsaved sound), in the folder of takes. Only "take-*"
// folders holding our format record (or, when it is damaged, exactly our three files) are
// ever looked at or removed. A take is read at the generation its "current" file names
// (Take.h), whatever a compaction cut short left beside it.
// To reopen one as an element: "open \"<folder>\" type waveaudio alias NAME".
// Thread safety: none kept; any thread, one call at a time per take.
class TakeStore {
public:
    // $XDG_STATE_HOME/wanshengxia, else ~/.local/state/wanshengxia.
    static std::filesystem::path defaultFolder();

    explicit TakeStore(std::filesystem::path folder = defaultFolder())
        : m_folder(std::move(folder)) {}

    // The takes no running program holds, newest first. A "take-*" entry that is a symbolic
    // link is logged and left alone.
    std::vector<TakeInfo> orphans() const;
    // What `takeFolder` holds; readable is false when it is not one of ours or cannot be read.
    static TakeInfo inspect(const std::filesystem::path& takeFolder);
    // Deletes a take no program holds; false when it is not ours, is in use, or stays.
    static bool remove(const std::filesystem::path& takeFolder);

private:
    std::filesystem::path m_folder;
};

}  // namespace wsx::mci
