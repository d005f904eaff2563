#include "platform/files/RegularFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wsx::files {

int openRegularFile(const std::filesystem::path& file, int flags) {
    struct stat before {};
    if (::lstat(file.c_str(), &before) != 0) return -1;
    if (S_ISLNK(before.st_mode)) {
        errno = ELOOP;
        return -1;
    }
    if (!S_ISREG(before.st_mode)) {
        errno = EINVAL;
        return -1;
    }
    const int fd = ::open(file.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat after {};
    if (::fstat(fd, &after) != 0 || !S_ISREG(after.st_mode) || after.st_ino != before.st_ino ||
        after.st_dev != before.st_dev) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    (void)::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

std::string regularFileProblem(const std::filesystem::path& file, int err) {
    struct stat st {};
    if (err != ENOENT && ::lstat(file.c_str(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) return "is a symbolic link";
        if (S_ISDIR(st.st_mode)) return "is a folder";
        if (S_ISFIFO(st.st_mode)) return "is a FIFO";
        if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return "is a device";
        if (S_ISSOCK(st.st_mode)) return "is a socket";
    }
    return std::strerror(err);
}

}  // namespace wsx::files
