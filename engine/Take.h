#pragma once

#include "SpoolFile.h"
#include "TakeJournal.h"
#include "audio/AudioFormat.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace wsx::mci {

// The format record of a take: what its sound file holds and who made it.
struct TakeFormat {
    audio::AudioFormat format;
    int64_t createdUnixSeconds = 0;
    std::string programVersion;
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
//   journal  every change to the piece table, each record checksummed (TakeJournal.h).
// The piece table can be rebuilt from these at any moment, so a take outlives a crash
// or a kill of the program. While a Take object exists it holds an exclusive flock on the
// folder: a take whose lock can be taken belongs to no running program.
// Thread safety: engine thread only, except sound(), which the sessions use as SpoolFile
// says.
class Take {
public:
    // A new, empty take under `parent` (made 0700 when missing).
    static std::unique_ptr<Take> create(const std::filesystem::path& parent,
                                        const audio::AudioFormat& format, TakeError& error);
    // Opens an existing take no program holds and rebuilds its piece table into `replayed`.
    // A damaged journal end is cut off; an unfinished capture is closed in the journal.
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
    bool log(const JournalRecord& record);

    // --- the files of a take, for TakeStore ----------------------------------------------
    static std::optional<TakeFormat> readFormat(const std::filesystem::path& folder);
    // True when `folder` looks like one of ours: "take-" name and a format record of ours.
    static bool isTake(const std::filesystem::path& folder);
    // Removes our three files and the folder; nothing else in it is touched.
    static bool removeFiles(const std::filesystem::path& folder);
    // Takes the folder's lock without waiting; -1 when another program holds it.
    static int lockFolder(const std::filesystem::path& folder);
    static constexpr const char* kSoundName = "sound";
    static constexpr const char* kJournalName = "journal";
    static constexpr const char* kFormatName = "format";

private:
    Take(std::filesystem::path folder, int lockFd, int journalFd);

    std::filesystem::path m_folder;
    int m_lockFd = -1;
    int m_journalFd = -1;
    uint64_t m_journalBytes = 0;
    bool m_journalBroken = false;
    bool m_savedUnchanged = false;
    TakeFormat m_format;
    std::unique_ptr<SpoolFile> m_sound;
    Ending m_ending = Ending::Keep;
};

}  // namespace wsx::mci
