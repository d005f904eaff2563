#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>

namespace wsx::mci {

// The append-only sound file of a take: every byte an element has recorded. Sound is never
// rewritten in place, so readers may read any byte below size() while a writer appends.
// The file belongs to its take (Take), which decides when it is removed.
// Thread safety: append() and sync() from one thread at a time (the capture writer);
// readAt(), size() and lastError() from any thread.
class SpoolFile {
public:
    // Opens `file`, creating it (mode 0600) when `create`; appends go after its current end.
    // nullptr when it cannot, with the reason in errno.
    static std::unique_ptr<SpoolFile> open(const std::filesystem::path& file, bool create);
    ~SpoolFile();
    SpoolFile(const SpoolFile&) = delete;
    SpoolFile& operator=(const SpoolFile&) = delete;

    // Appends all `bytes` or reports failure (disk full, I/O error) with lastError() saying
    // why; on failure the part that did get written is kept up to a whole multiple of
    // `unit` bytes (a frame), counted in `kept`, and the rest cut off.
    bool append(const void* data, size_t bytes, size_t unit, size_t& kept);
    bool readAt(uint64_t offset, void* out, size_t bytes) const;
    // Flushes the appended sound to disk (fdatasync); false on failure.
    bool sync();
    uint64_t size() const { return m_size.load(std::memory_order_acquire); }
    int lastError() const { return m_lastError.load(std::memory_order_acquire); }
    const std::filesystem::path& path() const { return m_path; }

private:
    SpoolFile(int fd, std::filesystem::path path, uint64_t size)
        : m_fd(fd), m_path(std::move(path)), m_size(size) {}
    int m_fd;
    std::filesystem::path m_path;
    std::atomic<uint64_t> m_size{0};
    std::atomic<int> m_lastError{0};
};

}  // namespace wsx::mci
