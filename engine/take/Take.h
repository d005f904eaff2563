#pragma once

#include "SpoolFile.h"
#include "TakeCompactor.h"
#include "TakeJournal.h"
#include "audio/AudioFormat.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace wsx::mci {

// The format record of a take: what its sound file holds and who made it.
struct TakeFormat {
    audio::AudioFormat format;
    int64_t createdUnixSeconds = 0;
    std::string programVersion;
};

// What a take's files hold at the generation "current" names, read without changing them.
struct TakeContents {
    TakeFormat format;
    uint64_t generation = 0;
    uint64_t soundBytes = 0;
    JournalContents journal;      // damaged also when the journal is missing
    bool journalMissing = false;  // no journal file at all (only sound to salvage)
};

// Why a take could not be made or opened.
enum class TakeError {
    None,
    FolderUnusable,  // the folder for takes cannot be made or written (errno says more)
    NotATake,        // no such folder, or it holds no format record of ours
    Locked,          // a running program has it open
    Unreadable,      // the format record or the sound file cannot be read
};

// One element's take on disk, in its own folder (take-XXXXXX, mode 0700, files 0600):
//   format   the format record, written once, atomically;
//   sound    the append-only sound file (SpoolFile);
//   journal  every change to the piece table, each record checksummed (TakeJournal.h);
//   current  which generation of sound and journal is the take's, written atomically;
//            missing means generation 0 ("sound", "journal"); generation N is "sound.N"
//            and "journal.N", made by a compaction (TakeCompactor.h).
// The piece table can be rebuilt from these at any moment, so a take outlives a crash
// or a kill of the program. Files of any other generation are leftovers of a compaction
// cut short (or of one whose old files were not yet removed): adopt() removes them. While a Take object exists it holds an exclusive flock on the
// folder: a take whose lock can be taken belongs to no running program.
// Thread safety: engine thread only, except sound(), which the sessions use as SpoolFile
// says.
class Take {
public:
    // A new, empty take under `parent` (made 0700 when missing).
    static std::unique_ptr<Take> create(const std::filesystem::path& parent,
                                        const audio::AudioFormat& format, TakeError& error);
    // Opens an existing take no program holds and rebuilds its piece table into `replayed`
    // (recoverTake: a journal that cannot be read gives up its edits, never the sound).
    // A damaged journal end is cut off; an unfinished capture or a salvage of the whole
    // sound file is closed in the journal. A take folder that is a symbolic link, or one
    // with anything but a regular file in place of a file it needs, is refused (logged,
    // left as it is).
    static std::unique_ptr<Take> adopt(const std::filesystem::path& folder, ReplayedTake& replayed,
                                       TakeError& error);
    // What is left on disk follows the last finish(): Remove deletes the take, Keep leaves
    // it for a later start. Without a finish() the take is kept.
    enum class Ending { Keep, Remove };
    void finish(Ending ending) { m_ending = ending; }
    ~Take();
    Take(const Take&) = delete;
    Take& operator=(const Take&) = delete;

    SpoolFile& sound() { return *m_sound; }
    const TakeFormat& format() const { return m_format; }
    const std::filesystem::path& folder() const { return m_folder; }
    // The last change recorded was a save: the take holds nothing a file does not.
    bool savedUnchanged() const { return m_savedUnchanged; }

    // Appends a journal record and flushes it to disk. false when it cannot (the journal
    // then takes no further records, so what it holds stays a state the element was in).
    // Any record cancels a compaction under way: its copy no longer matches the element.
    bool log(const JournalRecord& record);

    // --- compaction: reclaiming sound no piece refers to ---------------------------------
    // Starts copying `pieces` (the element's piece table, which must match the journal)
    // into the next generation in the background. Not while the sound file is being
    // written; not again after a failed copy until the next change; not with a broken
    // journal.
    void startCompaction(std::vector<Piece> pieces, std::chrono::milliseconds pause);
    bool compacting() const { return m_compactor != nullptr; }
    // When the copy is ready, makes the new generation the take's (the switch is the atomic
    // rewrite of "current") and removes the old one; returns the one piece that now holds
    // the element's sound, or nothing when the copy is still running or failed. Only while
    // no session uses sound(): the old file goes.
    std::optional<Piece> finishCompaction();

    // --- the files of a take, for TakeStore (TakeFiles.cpp) ------------------------------
    // Every file is opened without following a link or blocking, and only when regular.
    static std::optional<TakeFormat> readFormat(const std::filesystem::path& folder);
    // The format record, generation, sound size and journal; nothing with `problem` saying
    // why (for a log line) when the take cannot be opened as it is.
    static std::optional<TakeContents> read(const std::filesystem::path& folder,
                                            std::string& problem);
    // True when `folder` (not a symbolic link) looks like one of ours: "take-" name and a
    // format record of ours, or, when that is damaged or missing, nothing but files of ours
    // with a sound file and a journal among them.
    static bool isTake(const std::filesystem::path& folder);
    // Removes our files (every generation) and the folder; nothing else in it is touched.
    static bool removeFiles(const std::filesystem::path& folder);
    // The generation "current" names: 0 when it is missing, nothing when it is damaged.
    static std::optional<uint64_t> readGeneration(const std::filesystem::path& folder);
    static std::filesystem::path soundFile(const std::filesystem::path& folder, uint64_t gen);
    static std::filesystem::path journalFile(const std::filesystem::path& folder, uint64_t gen);
    // Takes the folder's lock without waiting; -1 when another program holds it or the
    // folder is a symbolic link.
    static int lockFolder(const std::filesystem::path& folder);
    static constexpr const char* kSoundName = "sound";
    static constexpr const char* kJournalName = "journal";
    static constexpr const char* kFormatName = "format";
    static constexpr const char* kCurrentName = "current";
    static constexpr const char* kFormatMagic = "wanshengxia take 1";

private:
    Take(std::filesystem::path folder, int lockFd, int journalFd);
    // Removes the files of generations other than m_generation and unfinished atomic writes.
    void removeLeftovers() const;
    // The paths of every file of ours in `folder`, whatever its kind.
    static std::vector<std::filesystem::path> ourFiles(const std::filesystem::path& folder);

    std::filesystem::path m_folder;
    int m_lockFd = -1;
    int m_journalFd = -1;
    uint64_t m_journalBytes = 0;
    uint64_t m_generation = 0;
    bool m_journalBroken = false;
    bool m_savedUnchanged = false;
    TakeFormat m_format;
    std::unique_ptr<SpoolFile> m_sound;
    std::unique_ptr<TakeCompactor> m_compactor;  // a copy under way or ready to switch to
    bool m_compactionFailed = false;             // until the next change
    std::thread m_sweeper;                       // removes the files of the generation left
    Ending m_ending = Ending::Keep;
};

}  // namespace wsx::mci
