// The files of a take as recovery sees them: what is ours, what each file holds, and what
// a take left on disk can be rebuilt from. Every file is opened through openRegularFile, so
// a symbolic link, FIFO, device or folder in place of one is reported, never followed,
// waited on or opened.
#include "Take.h"

#include "ElementFormat.h"
#include "platform/files/RegularFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace wsx::mci {

namespace {

constexpr uintmax_t kMaxFormatBytes = 4096;
constexpr uintmax_t kMaxCurrentBytes = 32;

// Reads the whole regular file `file`, at most `maxBytes`; 0 or the errno (EFBIG when
// longer).
int readRegular(const fs::path& file, uintmax_t maxBytes, std::string& out) {
    const int fd = files::openRegularFile(file, O_RDONLY);
    if (fd < 0) return errno;
    out.clear();
    char buffer[64 * 1024];
    int err = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) err = errno;
        if (n <= 0) break;
        out.append(buffer, size_t(n));
        if (out.size() > maxBytes) {
            err = EFBIG;
            break;
        }
    }
    ::close(fd);
    return err;
}

std::string problemWith(const fs::path& file, int err) {
    return file.filename().string() + " " +
           (err == EFBIG ? std::string("is too long") : files::regularFileProblem(file, err));
}

bool isGenerationOf(const std::string& name, const std::string& stem) {
    if (name == stem) return true;
    if (name.rfind(stem + ".", 0) != 0 || name.size() == stem.size() + 1) return false;
    return name.find_first_not_of("0123456789", stem.size() + 1) == std::string::npos;
}

// A file of ours: the format record, the generation pointer, any generation's sound or
// journal, or an atomic write of "current" that never got its name.
bool isOurFileName(const std::string& name) {
    if (name == Take::kFormatName || name == Take::kCurrentName) return true;
    if (name.rfind(".wsx-", 0) == 0) return true;
    return isGenerationOf(name, Take::kSoundName) || isGenerationOf(name, Take::kJournalName);
}

std::optional<TakeFormat> parseFormat(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != Take::kFormatMagic) return std::nullopt;
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

}  // namespace

std::vector<fs::path> Take::ourFiles(const fs::path& folder) {
    std::vector<fs::path> out;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec))
        if (isOurFileName(e.path().filename().string())) out.push_back(e.path());
    return out;
}

std::optional<TakeFormat> Take::readFormat(const fs::path& folder) {
    std::string text;
    if (readRegular(folder / kFormatName, kMaxFormatBytes, text) != 0) return std::nullopt;
    return parseFormat(text);
}

bool Take::isTake(const fs::path& folder) {
    if (folder.filename().string().rfind("take-", 0) != 0) return false;
    std::error_code ec;
    if (fs::symlink_status(folder, ec).type() != fs::file_type::directory) return false;
    std::string text;
    if (readRegular(folder / kFormatName, kMaxFormatBytes, text) == 0 &&
        text.rfind(std::string(kFormatMagic) + "\n", 0) == 0)
        return true;
    // A damaged or missing format record: still ours when the folder holds only files of
    // ours, a sound file and a journal among them, so that it is reported, not passed over.
    bool sound = false, journal = false;
    for (const fs::directory_entry& e : fs::directory_iterator(folder, ec)) {
        const std::string name = e.path().filename().string();
        if (!isOurFileName(name)) return false;
        sound = sound || isGenerationOf(name, kSoundName);
        journal = journal || isGenerationOf(name, kJournalName);
    }
    return !ec && sound && journal;
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
    std::string text;
    if (readRegular(file, kMaxCurrentBytes, text) != 0) return std::nullopt;
    const std::string line = text.substr(0, text.find('\n'));
    if (line.empty() || line.size() > 19 || line.find_first_not_of("0123456789") != std::string::npos)
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

std::optional<TakeContents> Take::read(const fs::path& folder, std::string& problem) {
    TakeContents c;
    std::string text;
    int err = readRegular(folder / kFormatName, kMaxFormatBytes, text);
    std::optional<TakeFormat> format = err == 0 ? parseFormat(text) : std::nullopt;
    if (!format) {
        problem = err ? problemWith(folder / kFormatName, err) : "its format record is damaged";
        return std::nullopt;
    }
    c.format = *format;
    const std::optional<uint64_t> generation = readGeneration(folder);
    if (!generation) {
        problem = "its file \"current\" is damaged or not a file";
        return std::nullopt;
    }
    c.generation = *generation;
    const fs::path sound = soundFile(folder, c.generation);
    const int fd = files::openRegularFile(sound, O_RDONLY);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        problem = problemWith(sound, errno);
        if (fd >= 0) ::close(fd);
        return std::nullopt;
    }
    ::close(fd);
    c.soundBytes = uint64_t(st.st_size);
    const fs::path journal = journalFile(folder, c.generation);
    err = readRegular(journal, UINTMAX_MAX, text);
    if (err != 0 && err != ENOENT) {
        problem = problemWith(journal, err);
        return std::nullopt;
    }
    c.journalMissing = err == ENOENT;
    c.journal = readJournal(std::span(reinterpret_cast<const uint8_t*>(text.data()),
                                      c.journalMissing ? 0 : text.size()));
    c.journal.damaged = c.journal.damaged || c.journalMissing;
    return c;
}

}  // namespace wsx::mci
