#include "SpoolFile.h"

#include "platform/log/Log.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace wsx::mci {

std::filesystem::path SpoolFile::defaultFolder() {
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && *cache == '/')
        return std::filesystem::path(cache) / "wanshengxia";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::filesystem::path(home) / ".cache" / "wanshengxia";
    return std::filesystem::temp_directory_path() / "wanshengxia";
}

std::unique_ptr<SpoolFile> SpoolFile::create(const std::filesystem::path& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    ::chmod(folder.c_str(), 0700);
    std::string name = (folder / "spool-XXXXXX").string();
    // mkstemp creates the file with mode 0600.
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        log::warning(log::kEngine, "cannot create a spool file in " + folder.string() + ": " +
                                       log::errnoText(errno));
        return nullptr;
    }
    return std::unique_ptr<SpoolFile>(new SpoolFile(fd, name));
}

SpoolFile::~SpoolFile() {
    ::close(m_fd);
    ::unlink(m_path.c_str());
}

bool SpoolFile::append(const void* data, size_t bytes) {
    const char* p = static_cast<const char*>(data);
    uint64_t at = m_size.load(std::memory_order_relaxed);
    size_t left = bytes;
    while (left > 0) {
        const ssize_t n = ::pwrite(m_fd, p, left, off_t(at));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            log::warning(log::kEngine, "cannot write the spool file " + m_path.string() + ": " +
                                           log::errnoText(n < 0 ? errno : EIO));
            return false;
        }
        p += n;
        at += uint64_t(n);
        left -= size_t(n);
    }
    m_size.store(at, std::memory_order_release);
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

}  // namespace wsx::mci
