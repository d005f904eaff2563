#include "WavFile.h"

#include "platform/log/Log.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace wsx::mci {

namespace {

void putLe(std::vector<uint8_t>& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
void putTag(std::vector<uint8_t>& out, const char (&tag)[5]) {
    out.insert(out.end(), tag, tag + 4);
}

bool writeAll(int fd, const void* data, size_t bytes) {
    const char* p = static_cast<const char*>(data);
    while (bytes > 0) {
        const ssize_t n = ::write(fd, p, bytes);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        bytes -= size_t(n);
    }
    return true;
}

// Closes and removes the temporary file unless released after a successful rename.
class TempFile {
public:
    explicit TempFile(std::string path) : m_path(std::move(path)) {
        m_fd = ::mkstemp(m_path.data());
    }
    ~TempFile() {
        if (m_fd >= 0) ::close(m_fd);
        if (!m_renamed && m_fd >= 0) ::unlink(m_path.c_str());
    }
    int fd() const { return m_fd; }
    bool closeAndRename(const std::filesystem::path& target) {
        const int rc = ::close(m_fd);
        m_fd = -1;
        if (rc != 0 || ::rename(m_path.c_str(), target.c_str()) != 0) {
            const int error = errno;  // the caller says why
            ::unlink(m_path.c_str());
            errno = error;
            return false;
        }
        m_renamed = true;
        return true;
    }

private:
    std::string m_path;
    int m_fd = -1;
    bool m_renamed = false;
};

mode_t currentUmask() {
    const mode_t old = ::umask(022);
    ::umask(old);
    return old;
}

}  // namespace

std::vector<uint8_t> wavHeader(const audio::AudioFormat& f, uint32_t dataBytes) {
    std::vector<uint8_t> h;
    h.reserve(44);
    putTag(h, "RIFF");
    putLe(h, 36 + dataBytes + (dataBytes & 1u), 4);
    putTag(h, "WAVE");
    putTag(h, "fmt ");
    putLe(h, 16, 4);
    putLe(h, 1, 2);  // PCM
    putLe(h, f.channels, 2);
    putLe(h, f.sampleRate, 4);
    putLe(h, f.bytesPerSecond(), 4);
    putLe(h, f.blockAlign(), 2);
    putLe(h, f.bitsPerSample, 2);
    putTag(h, "data");
    putLe(h, dataBytes, 4);
    return h;
}

bool writeWavFile(const std::filesystem::path& target, const audio::AudioFormat& format,
                  const SpoolFile* spool, const std::vector<Piece>& pieces) {
    // Logs why, with the text of errno when a system call failed; errno is read before the
    // temporary file is cleaned up.
    const auto fail = [&target](const std::string& why) {
        log::warning(log::kEngine, "cannot save " + target.string() + ": " + why);
        return false;
    };
    const auto failErrno = [&fail](const char* what) {
        return fail(what + (": " + log::errnoText(errno)));
    };
    uint64_t total = 0;
    for (const Piece& p : pieces) total += p.length;
    if (total > kMaxWavDataBytes) return fail("more sound than a WAV file can hold");
    if (target.empty() || !target.has_filename()) return fail("no file name");

    const std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();
    TempFile temp((folder / ("." + target.filename().string() + ".XXXXXX")).string());
    if (temp.fd() < 0) return failErrno("cannot create a file in its folder");

    const std::vector<uint8_t> header = wavHeader(format, uint32_t(total));
    if (!writeAll(temp.fd(), header.data(), header.size())) return failErrno("cannot write");

    constexpr size_t kChunk = 256 * 1024;
    std::unique_ptr<char[]> buffer(new char[kChunk]);
    for (const Piece& p : pieces) {
        for (uint64_t done = 0; done < p.length;) {
            const size_t n = size_t(std::min<uint64_t>(kChunk, p.length - done));
            if (!spool || !spool->readAt(p.offset + done, buffer.get(), n))
                return fail("the recorded sound cannot be read");
            if (!writeAll(temp.fd(), buffer.get(), n)) return failErrno("cannot write");
            done += n;
        }
    }
    if (total & 1u) {
        const char pad = 0;
        if (!writeAll(temp.fd(), &pad, 1)) return failErrno("cannot write");
    }
    // mkstemp made the file 0600; a saved recording gets the user's usual file mode.
    ::fchmod(temp.fd(), 0666 & ~currentUmask());
    if (::fsync(temp.fd()) != 0) return failErrno("cannot flush it to disk");
    return temp.closeAndRename(target) || failErrno("cannot put it in place");
}

}  // namespace wsx::mci
