#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>

namespace wsx::mci {

// The append-only file that holds every byte an element has recorded. Private to the user
// (mode 0600, in a 0700 folder) and removed when the element closes. Sound is never
// rewritten in place, so readers may read any byte below size() while a writer appends.
// Thread safety: append() from one thread at a time; readAt() and size() from any thread.
class SpoolFile {
public:
    // Creates a new spool in `folder` (made if missing). nullptr when it cannot.
    static std::unique_ptr<SpoolFile> create(const std::filesystem::path& folder);
    ~SpoolFile();
    SpoolFile(const SpoolFile&) = delete;
    SpoolFile& operator=(const SpoolFile&) = delete;

    // Appends all `bytes` or reports failure (disk full, I/O error); on failure the bytes
    // that did get written are not counted.
    bool append(const void* data, size_t bytes);
    bool readAt(uint64_t offset, void* out, size_t bytes) const;
    uint64_t size() const { return m_size.load(std::memory_order_acquire); }
    const std::filesystem::path& path() const { return m_path; }

    // The folder spools go to: $XDG_CACHE_HOME/wanshengxia, else ~/.cache/wanshengxia.
    static std::filesystem::path defaultFolder();

private:
    SpoolFile(int fd, std::filesystem::path path) : m_fd(fd), m_path(std::move(path)) {}
    int m_fd;
    std::filesystem::path m_path;
    std::atomic<uint64_t> m_size{0};
};

}  // namespace wsx::mci
