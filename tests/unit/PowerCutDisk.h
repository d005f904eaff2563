#pragma once
// A disk that can lose power, for crash-consistency tests in the manner of SQLite's: the
// program writes to real files under a root folder, and this model remembers only what it
// made durable. fsync()/fdatasync() of a file make its content as it is then durable;
// fsync() of a folder makes its entries (names and the files they name) durable. Nothing
// else is: a write, a new file, a rename or an unlink that no later sync covered is lost
// when power goes. A cut builds the folder tree as it would be after the power came back:
// the durable entries with their durable content, each file's unsynced tail dropped, kept
// whole, torn (a random part of it) or left as zeros.
//
// It sees the syncs by defining fsync() and fdatasync() in the test program itself (the
// program's own calls bind to them; they forward to the C library's).
// Thread safety: syncs may come from any thread; arm(), cutNow() and disarm() from the
// test's.

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <sys/types.h>
#include <vector>

namespace wsx::test {

class PowerCutDisk {
public:
    // What a cut left: where its folder tree is, and how much of each file was durable.
    struct Cut {
        std::filesystem::path image;
        std::map<std::filesystem::path, uint64_t> durableBytes;  // by path in the image
        std::string when;                                        // for messages
    };

    static PowerCutDisk& instance();

    // Starts watching `root` (which exists, empty, and counts as durable): from now on a
    // sync under it may be a cut with probability `cutChance`, each cut imaged into a new
    // folder under `images`.
    void arm(const std::filesystem::path& root, const std::filesystem::path& images,
             double cutChance, uint32_t seed);
    // The power goes now (from the test's thread, between steps of a script).
    void cutNow(const std::string& when);
    // Stops watching; the cuts made.
    std::vector<Cut> disarm();

    // Called by the interposed fsync()/fdatasync(): true when the model took the sync (a
    // file under the root while armed), which then need not reach the real disk.
    bool beforeSync(int fd);
    // Called by the interposed unlink()/rename() before the real call: `path`'s file goes
    // from its name; a later file with the same inode number is another file.
    void beforeRemoval(const char* path);

private:
    using FileId = uint64_t;  // one file for as long as it lives (inode numbers are reused)
    FileId idOf(ino_t ino);
    bool underRoot(const std::filesystem::path& path) const;
    void recordDurable(int fd, const std::filesystem::path& path);
    void cutLocked(const std::string& when);
    void imageFolder(FileId folder, const std::filesystem::path& to, Cut& cut,
                     const std::map<FileId, std::filesystem::path>& now);

    std::mutex m_mutex;
    bool m_armed = false;
    std::filesystem::path m_root, m_images;
    FileId m_rootId = 0;
    std::map<ino_t, FileId> m_ids;
    FileId m_nextId = 1;
    double m_cutChance = 0;
    std::mt19937 m_random;
    uint64_t m_syncs = 0;
    std::map<FileId, std::string> m_durableFiles;
    std::map<FileId, std::map<std::string, FileId>> m_durableFolders;
    std::map<FileId, bool> m_isFolder;
    std::vector<Cut> m_cuts;
};

}  // namespace wsx::test
