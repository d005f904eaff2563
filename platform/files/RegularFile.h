#pragma once
// Opening a file that must be a plain file, in a folder a stranger's hand (or a damaged disk)
// may have filled with something else: a symbolic link is never followed, a FIFO never
// blocks the open, and a device node is never opened at all.
//
// Thread safety: none needed; plain system calls.

#include <filesystem>
#include <string>

namespace wsx::files {

// Opens the existing regular file `file` with `flags` (O_RDONLY, O_RDWR, O_WRONLY | O_APPEND,
// …; O_NOFOLLOW, O_NONBLOCK and O_CLOEXEC are added, O_NONBLOCK taken off again once it is
// open). The last path component is looked at with lstat first, so nothing but a regular
// file is opened, and checked again with fstat against a swap in between. Returns the
// descriptor, or -1 with errno: ENOENT when missing, ELOOP for a symbolic link, EINVAL for
// anything else that is not a regular file (a folder, FIFO, device or socket).
int openRegularFile(const std::filesystem::path& file, int flags);

// Why `file` could not be opened after openRegularFile failed with `err`, for a log line:
// "is a symbolic link", "is a FIFO", "is a folder", … or the errno text.
std::string regularFileProblem(const std::filesystem::path& file, int err);

}  // namespace wsx::files
