#include "Take.h"

#include "platform/files/AtomicFile.h"
#include "platform/files/RegularFile.h"
#include "platform/log/Log.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#ifndef WSX_VERSION
#define WSX_VERSION "unknown"
#endif

namespace fs = std::filesystem;

namespace wsx::mci {

namespace {

std::string formatRecordText(const TakeFormat& f) {
    std::ostringstream out;
    out << Take::kFormatMagic << "\nrate " << f.format.sampleRate << "\nbits "
        << f.format.bitsPerSample << "\nchannels " << f.format.channels << "\ncreated "
        << f.createdUnixSeconds << "\nversion " << f.programVersion << "\n";
    return out.str();
}

bool makeFolders(const fs::path& folder) {
    std::error_code ec;
    std::vector<fs::path> missing;
    for (fs::path p = folder; !p.empty() && p != p.parent_path(); p = p.parent_path()) {
        if (fs::symlink_status(p, ec).type() != fs::file_type::not_found) break;
        missing.push_back(p);
    }
    // Each new folder's name is flushed in its parent, or a power cut could take the whole
    // folder of takes with every take in it.
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (::mkdir(it->c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (files::syncFolder(it->parent_path().empty() ? "." : it->parent_path()) != 0)
            return false;
    }
    return fs::is_directory(folder, ec);
}

}  // namespace

Take::Take(fs::path folder, int lockFd, int journalFd)
    : m_folder(std::move(folder)), m_lockFd(lockFd), m_journalFd(journalFd) {}

Take::~Take() {
    m_compactor.reset();  // before the sound file it reads
    if (m_sweeper.joinable()) m_sweeper.join();
    m_sound.reset();
    if (m_journalFd >= 0) ::close(m_journalFd);
    if (m_ending == Ending::Remove) removeFiles(m_folder);
    if (m_lockFd >= 0) ::close(m_lockFd);  // releases the flock
}

int Take::lockFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void Take::removeLeftovers() const {
    const fs::path keep[] = {m_folder / kFormatName, m_folder / kCurrentName,
                             soundFile(m_folder, m_generation),
                             journalFile(m_folder, m_generation)};
    for (const fs::path& file : ourFiles(m_folder))
        if (std::find(std::begin(keep), std::end(keep), file) == std::end(keep))
            ::unlink(file.c_str());
}

std::unique_ptr<Take> Take::create(const fs::path& parent, const audio::AudioFormat& format,
                                   TakeError& error) {
    error = TakeError::FolderUnusable;
    if (!makeFolders(parent)) return nullptr;
    ::chmod(parent.c_str(), 0700);
    std::string name = (parent / "take-XXXXXX").string();
    if (!::mkdtemp(name.data())) return nullptr;  // made 0700
    const fs::path folder = name;
    const int lockFd = lockFolder(folder);
    std::unique_ptr<Take> take(new Take(folder, lockFd, -1));
    take->m_ending = Ending::Remove;  // until it is complete
    if (lockFd < 0) return nullptr;
    take->m_format = TakeFormat{format, int64_t(std::time(nullptr)), WSX_VERSION};
    const std::string text = formatRecordText(take->m_format);
    if (!files::writeAtomically(folder / kFormatName, 0600, [&](int fd) {
            return files::writeAll(fd, text.data(), text.size());
        }))
        return nullptr;
    take->m_sound = SpoolFile::open(folder / kSoundName, true);
    take->m_journalFd = ::open((folder / kJournalName).c_str(),
                               O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
    if (!take->m_sound || take->m_journalFd < 0) return nullptr;
    if (files::syncFolder(folder) != 0) return nullptr;
    (void)files::syncFolder(parent);
    take->m_ending = Ending::Keep;
    error = TakeError::None;
    return take;
}

std::unique_ptr<Take> Take::adopt(const fs::path& folder, ReplayedTake& replayed,
                                  TakeError& error) {
    std::error_code ec;
    error = TakeError::NotATake;
    if (fs::symlink_status(folder, ec).type() == fs::file_type::symlink) {
        log::warning(log::kEngine, "cannot open the take " + folder.string() +
                                       ": it is a symbolic link; open the folder itself");
        error = TakeError::Unreadable;
        return nullptr;
    }
    if (!fs::is_directory(folder, ec) || !isTake(folder)) return nullptr;
    const int lockFd = lockFolder(folder);
    if (lockFd < 0) {
        error = TakeError::Locked;
        return nullptr;
    }
    std::unique_ptr<Take> take(new Take(folder, lockFd, -1));
    error = TakeError::Unreadable;
    std::string problem;
    const std::optional<TakeContents> contents = read(folder, problem);
    if (!contents) {
        log::warning(log::kEngine, "cannot open the take " + folder.string() + ": " + problem);
        return nullptr;
    }
    take->m_format = contents->format;
    take->m_generation = contents->generation;
    const fs::path journal = journalFile(folder, contents->generation);
    take->m_sound = SpoolFile::open(soundFile(folder, contents->generation), false);
    take->m_journalFd =
        contents->journalMissing
            ? ::open(journal.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600)
            : files::openRegularFile(journal, O_WRONLY | O_APPEND);
    if (!take->m_sound || take->m_journalFd < 0) {
        log::warning(log::kEngine, "cannot open the take " + folder.string() + ": " +
                                       log::errnoText(errno));
        return nullptr;
    }
    take->removeLeftovers();

    // New records go right after the intact ones.
    if (contents->journal.damaged &&
        ::ftruncate(take->m_journalFd, off_t(contents->journal.intactBytes)) != 0)
        return nullptr;
    take->m_journalBytes = contents->journal.intactBytes;
    replayed = recoverTake(contents->journal, take->m_sound->size(),
                           contents->format.format.blockAlign());
    if (replayed.editsLost)
        log::warning(log::kEngine, "the journal of the take " + folder.string() +
                                       " could not be read to its end: its last edits are lost");
    take->m_savedUnchanged = replayed.savedUnchanged;
    if (replayed.unfinished && !take->log(*replayed.unfinished)) return nullptr;
    if (contents->journalMissing && files::syncFolder(folder) != 0) return nullptr;
    error = TakeError::None;
    return take;
}

bool Take::log(const JournalRecord& record) {
    m_compactor.reset();
    m_compactionFailed = false;
    if (m_journalBroken || m_journalFd < 0) return false;
    const std::vector<uint8_t> bytes = encodeJournalRecord(record);
    int err = files::writeAll(m_journalFd, bytes.data(), bytes.size());
    if (err == 0 && ::fdatasync(m_journalFd) != 0) err = errno;
    if (err != 0) {
        (void)::ftruncate(m_journalFd, off_t(m_journalBytes));
        m_journalBroken = true;
        errno = err;
        return false;
    }
    m_journalBytes += bytes.size();
    m_savedUnchanged = record.kind == JournalRecord::Kind::Saved;
    return true;
}

void Take::startCompaction(std::vector<Piece> pieces, std::chrono::milliseconds pause) {
    if (m_compactor || m_compactionFailed || m_journalBroken || !m_sound) return;
    TakeCompactor::Plan plan{soundFile(m_folder, m_generation + 1),
                             journalFile(m_folder, m_generation + 1), std::move(pieces),
                             m_savedUnchanged, pause};
    m_compactor = std::make_unique<TakeCompactor>(*m_sound, std::move(plan));
}

std::optional<Piece> Take::finishCompaction() {
    if (!m_compactor || m_compactor->state() == TakeCompactor::State::Copying) return std::nullopt;
    if (m_compactor->state() == TakeCompactor::State::Failed) {
        m_compactor.reset();
        m_compactionFailed = true;
        return std::nullopt;
    }
    // Everything that can fail is opened before the switch, so a failure keeps the old
    // generation whole.
    const uint64_t next = m_generation + 1;
    std::unique_ptr<SpoolFile> sound = SpoolFile::open(m_compactor->plan().sound, false);
    const int journalFd = files::openRegularFile(m_compactor->plan().journal, O_WRONLY | O_APPEND);
    struct stat journal {};
    const std::string text = std::to_string(next) + "\n";
    if (!sound || journalFd < 0 || ::fstat(journalFd, &journal) != 0 ||
        !files::writeAtomically(m_folder / kCurrentName, 0600, [&](int fd) {
            return files::writeAll(fd, text.data(), text.size());
        })) {
        if (journalFd >= 0) ::close(journalFd);
        m_compactor.reset();
        m_compactionFailed = true;
        return std::nullopt;
    }
    // The take is generation `next` from here on; the old files are leftovers.
    m_compactor->keep();
    const Piece all{0, m_compactor->liveBytes()};
    m_compactor.reset();
    ::close(m_journalFd);
    m_journalFd = journalFd;
    m_journalBytes = uint64_t(journal.st_size);
    m_sound = std::move(sound);
    // Freeing gigabytes can take the filesystem most of a second: not on this thread.
    if (m_sweeper.joinable()) m_sweeper.join();
    m_sweeper = std::thread([old = soundFile(m_folder, m_generation),
                             oldJournal = journalFile(m_folder, m_generation)] {
        ::unlink(old.c_str());
        ::unlink(oldJournal.c_str());
    });
    m_generation = next;
    return all;
}

}  // namespace wsx::mci
