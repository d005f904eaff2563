#include "platform/files/AtomicFile.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace wsx::files {

WriteError classifyErrno(int err) {
    switch (err) {
    case 0: return WriteError::None;
    case ENOENT:
    case ENOTDIR: return WriteError::NoFolder;
    case EACCES:
    case EPERM:
    case EROFS: return WriteError::Permission;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return WriteError::DiskFull;
    case ENAMETOOLONG: return WriteError::NameTooLong;
    case EISDIR: return WriteError::NotRegular;
    default: return WriteError::Other;
    }
}

int writeAll(int fd, const void* data, size_t bytes) {
    const char* p = static_cast<const char*>(data);
    while (bytes > 0) {
        const ssize_t n = ::write(fd, p, bytes);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return EIO;
        p += n;
        bytes -= size_t(n);
    }
    return 0;
}

mode_t userFileMode() {
    const mode_t old = ::umask(022);
    ::umask(old);
    return 0666 & ~old;
}

int syncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    const int rc = ::fsync(fd) == 0 ? 0 : errno;
    ::close(fd);
    return rc;
}

namespace {

WriteResult failure(int err) { return WriteResult{classifyErrno(err), err}; }

// The file a save of `target` writes: `target` itself, or, when it is a symbolic link (or a
// chain of them), the file at the end, which need not exist yet. ELOOP for a circle.
int resolveLinks(std::filesystem::path& target) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return 0;
        std::error_code ec;
        const std::filesystem::path to = std::filesystem::read_symlink(target, ec);
        if (ec) return ec.value();
        target = to.is_absolute() ? to : target.parent_path() / to;
    }
    return ELOOP;
}

}  // namespace

WriteResult writeAtomically(const std::filesystem::path& name, mode_t modeForNewFile,
                            const std::function<int(int fd)>& writeContent) {
    if (name.empty() || !name.has_filename()) return failure(ENOENT);
    std::filesystem::path target = name;
    if (const int err = resolveLinks(target)) return failure(err);
    const std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();

    mode_t mode = modeForNewFile;
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) return WriteResult{WriteError::NotRegular, 0};
        mode = st.st_mode & 07777;
    } else if (errno != ENOENT) {
        return failure(errno);
    }
    // A name longer than the folder allows fails here, before anything is written.
    if (const long max = ::pathconf(folder.c_str(), _PC_NAME_MAX);
        max > 0 && target.filename().string().size() > size_t(max))
        return failure(ENAMETOOLONG);

    std::string temp = (folder / ".wsx-XXXXXX").string();
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return failure(errno);
    int err = writeContent(fd);
    if (err == 0 && ::fchmod(fd, mode) != 0) err = errno;
    if (err == 0 && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err == 0 && ::rename(temp.c_str(), target.c_str()) != 0) err = errno;
    if (err != 0) {
        ::unlink(temp.c_str());
        return failure(err);
    }
    (void)syncFolder(folder);  // the file is complete either way; this makes the name last
    return {};
}

}  // namespace wsx::files
