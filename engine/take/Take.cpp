#include "Take.h"

#include "ElementFormat.h"
#include "platform/files/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <fstream>
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

constexpr const char* kFormatMagic = "wanshengxia take 1";
constexpr uintmax_t kMaxFormatBytes = 4096;

std::string formatRecordText(const TakeFormat& f) {
    std::ostringstream out;
    out << kFormatMagic << "\nrate " << f.format.sampleRate << "\nbits " << f.format.bitsPerSample
        << "\nchannels " << f.format.channels << "\ncreated " << f.createdUnixSeconds
        << "\nversion " << f.programVersion << "\n";
    return out.str();
}

bool makeFolders(const fs::path& folder) {
    std::error_code ec;
    std::vector<fs::path> missing;
    for (fs::path p = folder; !p.empty() && p != p.parent_path(); p = p.parent_path()) {
        if (fs::symlink_status(p, ec).type() != fs::file_type::not_found) break;
        missing.push_back(p);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it)
        if (::mkdir(it->c_str(), 0700) != 0 && errno != EEXIST) return false;
    return fs::is_directory(folder, ec);
}

// A file of ours: the format record, the generation pointer, any generation's sound or
// journal, or an atomic write of "current" that never got its name.
bool isOurFileName(const std::string& name) {
    if (name == Take::kFormatName || name == Take::kCurrentName) return true;
    if (name.rfind(".wsx-", 0) == 0) return true;
    for (const std::string stem : {Take::kSoundName, Take::kJournalName}) {
        if (name == stem) return true;
        if (name.rfind(stem + ".", 0) != 0 || name.size() == stem.size() + 1) continue;
        if (name.find_first_not_of("0123456789", stem.size() + 1) == std::string::npos) return true;
    }
    return false;
}

std::vector<fs::path> ourFiles(const fs::path& folder) {
    std::vector<fs::path> out;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec))
        if (isOurFileName(e.path().filename().string())) out.push_back(e.path());
    return out;
}

bool readWhole(const fs::path& file, std::vector<uint8_t>& out) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    out.assign(s.begin(), s.end());
    return !in.bad();
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
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::optional<TakeFormat> Take::readFormat(const fs::path& folder) {
    const fs::path file = folder / kFormatName;
    std::error_code ec;
    if (!fs::is_regular_file(file, ec) || fs::file_size(file, ec) > kMaxFormatBytes || ec)
        return std::nullopt;
    std::ifstream in(file);
    std::string line;
    if (!std::getline(in, line) || line != kFormatMagic) return std::nullopt;
    TakeFormat f;
    int seen = 0;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string key;
        words >> key;
        long long value = 0;
        if (key == "version") {
            std::getline(words >> std::ws, f.programVersion);
            continue;
        }
        if (!(words >> value)) return std::nullopt;
        // A negative value wraps to one no check accepts.
        if (key == "rate" && elementTakesRate(uint64_t(value)))
            f.format.sampleRate = uint32_t(value);
        else if (key == "bits" && elementTakesBits(uint64_t(value)))
            f.format.bitsPerSample = uint16_t(value);
        else if (key == "channels" && elementTakesChannels(uint64_t(value)))
            f.format.channels = uint16_t(value);
        else if (key == "created") f.createdUnixSeconds = value;
        else return std::nullopt;
        if (key != "created") ++seen;
    }
    if (seen != 3) return std::nullopt;
    return f;
}

bool Take::isTake(const fs::path& folder) {
    if (folder.filename().string().rfind("take-", 0) != 0) return false;
    std::ifstream in(folder / kFormatName);
    std::string line;
    if (std::getline(in, line) && line == kFormatMagic) return true;
    // A damaged format record: still ours when the folder holds only files of ours, a
    // format record and a sound file and journal among them.
    std::error_code ec;
    size_t entries = 0;
    bool format = false;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
        const std::string name = e.path().filename().string();
        if (!isOurFileName(name) || !e.is_regular_file(ec) || e.is_symlink(ec)) return false;
        format = format || name == kFormatName;
        ++entries;
    }
    return !ec && format && entries >= 3;
}

bool Take::removeFiles(const fs::path& folder) {
    bool ok = true;
    for (const fs::path& file : ourFiles(folder))
        if (::unlink(file.c_str()) != 0 && errno != ENOENT) ok = false;
    if (::rmdir(folder.c_str()) != 0) ok = false;
    return ok;
}

std::optional<uint64_t> Take::readGeneration(const fs::path& folder) {
    std::error_code ec;
    const fs::path file = folder / kCurrentName;
    if (fs::symlink_status(file, ec).type() == fs::file_type::not_found) return 0;
    if (!fs::is_regular_file(file, ec) || fs::file_size(file, ec) > 32 || ec) return std::nullopt;
    std::ifstream in(file);
    std::string line;
    if (!std::getline(in, line) || line.empty() || line.size() > 19 ||
        line.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stoull(line);
}

fs::path Take::soundFile(const fs::path& folder, uint64_t gen) {
    return folder / (gen == 0 ? std::string(kSoundName) : kSoundName + ("." + std::to_string(gen)));
}

fs::path Take::journalFile(const fs::path& folder, uint64_t gen) {
    return folder /
           (gen == 0 ? std::string(kJournalName) : kJournalName + ("." + std::to_string(gen)));
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
    if (!fs::is_directory(folder, ec) || !isTake(folder)) return nullptr;
    const int lockFd = lockFolder(folder);
    if (lockFd < 0) {
        error = TakeError::Locked;
        return nullptr;
    }
    std::unique_ptr<Take> take(new Take(folder, lockFd, -1));
    error = TakeError::Unreadable;
    const std::optional<TakeFormat> format = readFormat(folder);
    const std::optional<uint64_t> generation = readGeneration(folder);
    std::vector<uint8_t> journal;
    if (!format || !generation || !readWhole(journalFile(folder, *generation), journal))
        return nullptr;
    take->m_format = *format;
    take->m_generation = *generation;
    take->m_sound = SpoolFile::open(soundFile(folder, *generation), false);
    take->m_journalFd =
        ::open(journalFile(folder, *generation).c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (!take->m_sound || take->m_journalFd < 0) return nullptr;
    take->removeLeftovers();

    const JournalContents contents = readJournal(journal);
    // New records go right after the intact ones.
    if (contents.damaged && ::ftruncate(take->m_journalFd, off_t(contents.intactBytes)) != 0)
        return nullptr;
    take->m_journalBytes = contents.intactBytes;
    replayed = replayJournal(contents.records, take->m_sound->size(), format->format.blockAlign());
    take->m_savedUnchanged = replayed.savedUnchanged;
    if (replayed.unfinished && !take->log(*replayed.unfinished)) return nullptr;
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
    const int journalFd =
        ::open(m_compactor->plan().journal.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
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
