#include "SpoolFile.h"

#include "platform/files/RegularFile.h"
#include "platform/log/Log.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wsx::mci {

std::unique_ptr<SpoolFile> SpoolFile::open(const std::filesystem::path& file, bool create) {
    // An existing file is opened only when it is a regular file: a link, FIFO or device
    // put in its place is refused, never followed or waited on.
    const int fd = create ? ::open(file.c_str(), O_RDWR | O_CLOEXEC | O_CREAT | O_EXCL, 0600)
                          : files::openRegularFile(file, O_RDWR);
    if (fd < 0) {
        const int err = errno;
        log::warning(log::kEngine, std::string(create ? "cannot create " : "cannot open ") +
                                       file.string() + ": " + files::regularFileProblem(file, err));
        errno = err;
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int err = errno ? errno : EINVAL;
        ::close(fd);
        errno = err;
        return nullptr;
    }
    return std::unique_ptr<SpoolFile>(new SpoolFile(fd, file, uint64_t(st.st_size)));
}

SpoolFile::~SpoolFile() { ::close(m_fd); }

bool SpoolFile::append(const void* data, size_t bytes, size_t unit, size_t& kept) {
    const char* p = static_cast<const char*>(data);
    const uint64_t start = m_size.load(std::memory_order_relaxed);
    uint64_t at = start;
    size_t left = bytes;
    while (left > 0) {
        const ssize_t n = ::pwrite(m_fd, p, left, off_t(at));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            m_lastError.store(n < 0 ? errno : EIO, std::memory_order_release);
            log::warning(log::kEngine, "cannot write the sound file " + m_path.string() + ": " +
                                           log::errnoText(n < 0 ? errno : EIO));
            // Keep the whole frames that fit and cut off the rest, so the file ends where
            // size() says.
            kept = size_t(at - start) - size_t(at - start) % unit;
            (void)::ftruncate(m_fd, off_t(start + kept));
            m_size.store(start + kept, std::memory_order_release);
            return false;
        }
        p += n;
        at += uint64_t(n);
        left -= size_t(n);
    }
    m_size.store(at, std::memory_order_release);
    kept = bytes;
    return true;
}

bool SpoolFile::readAt(uint64_t offset, void* out, size_t bytes) const {
    char* p = static_cast<char*>(out);
    while (bytes > 0) {
        const ssize_t n = ::pread(m_fd, p, bytes, off_t(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            log::warning(log::kEngine, "cannot read the spool file " + m_path.string() +
                                           " at byte " + std::to_string(offset) + ": " +
                                           (n < 0 ? log::errnoText(errno) : "it ends there"));
            return false;
        }
        p += n;
        offset += uint64_t(n);
        bytes -= size_t(n);
    }
    return true;
}

bool SpoolFile::sync() {
    if (::fdatasync(m_fd) == 0) return true;
    m_lastError.store(errno, std::memory_order_release);
    return false;
}

}  // namespace wsx::mci
