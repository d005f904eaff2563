#pragma once
// Replacing a file so that a reader, a crash or a power cut sees either the old file or the
// complete new one: the content goes to a short hidden temporary name in the target's
// folder (so a target name up to the filesystem's limit still works), is flushed to disk,
// renamed over the target, and the folder is flushed so the rename itself lasts.
//
// A replaced file keeps its permission bits; a target that exists and is not a regular
// file (a folder, a device node, a fifo, a socket) is refused and left alone. A target that
// is a symbolic link stays one: the file it points to (through any chain of links) is the
// one written, the same atomic way in that file's own folder.
//
// Thread safety: none needed; each call works on its own temporary file.

#include <cstddef>
#include <filesystem>
#include <functional>
#include <sys/types.h>

namespace wsx::files {

enum class WriteError {
    None,
    NoFolder,     // the target's folder does not exist (or a part of the path is not a folder)
    Permission,   // no right to write there, or a read-only filesystem
    DiskFull,     // no space left, quota reached, or the file size limit
    NameTooLong,  // the name or the path is longer than the filesystem allows
    NotRegular,   // the target exists and is not a regular file
    Other,        // see WriteResult::errnoValue
};

struct WriteResult {
    WriteError error = WriteError::None;
    int errnoValue = 0;  // the failing call's errno, 0 on success or for NotRegular
    explicit operator bool() const { return error == WriteError::None; }
};

// The category of an errno value from open/write/fsync/rename.
WriteError classifyErrno(int err);

// Writes all of `data` to `fd`, retrying short writes; 0 or the errno that stopped it.
int writeAll(int fd, const void* data, size_t bytes);

// Fills the file through `writeContent(fd)`, which returns 0 or an errno. `modeForNewFile`
// is applied exactly (not masked by the umask) when the target does not exist yet.
WriteResult writeAtomically(const std::filesystem::path& target, mode_t modeForNewFile,
                            const std::function<int(int fd)>& writeContent);

// The usual mode of a file a user saves: 0666 less the process's umask.
mode_t userFileMode();

// Flushes a folder's entries (a rename or a new file in it) to disk; 0 or errno.
int syncFolder(const std::filesystem::path& folder);

}  // namespace wsx::files
