#include "PowerCutDisk.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

template <class F>
F real(const char* name) {
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace

// The program's own calls bind to these; they tell the model, then do the real thing. A
// sync the model takes does not reach the real disk: the model decides what lasts, and the
// test stays fast on a busy disk.
extern "C" int fsync(int fd) {
    if (wsx::test::PowerCutDisk::instance().beforeSync(fd)) return 0;
    static const auto sync = real<int (*)(int)>("fsync");
    return sync(fd);
}

extern "C" int fdatasync(int fd) {
    if (wsx::test::PowerCutDisk::instance().beforeSync(fd)) return 0;
    static const auto sync = real<int (*)(int)>("fdatasync");
    return sync(fd);
}

extern "C" int unlink(const char* path) noexcept {
    wsx::test::PowerCutDisk::instance().beforeRemoval(path);
    static const auto remove = real<int (*)(const char*)>("unlink");
    return remove(path);
}

extern "C" int rename(const char* from, const char* to) noexcept {
    struct stat a {}, b {};
    if (::lstat(from, &a) == 0 && ::lstat(to, &b) == 0 && a.st_ino != b.st_ino)
        wsx::test::PowerCutDisk::instance().beforeRemoval(to);
    static const auto move = real<int (*)(const char*, const char*)>("rename");
    return move(from, to);
}

namespace wsx::test {

PowerCutDisk& PowerCutDisk::instance() {
    static PowerCutDisk disk;
    return disk;
}

PowerCutDisk::FileId PowerCutDisk::idOf(ino_t ino) {
    const auto [it, added] = m_ids.try_emplace(ino, m_nextId);
    if (added) ++m_nextId;
    return it->second;
}

bool PowerCutDisk::underRoot(const fs::path& path) const {
    const std::string p = path.string(), r = m_root.string();
    return p.size() > r.size() && p.compare(0, r.size(), r) == 0 && p[r.size()] == '/';
}

void PowerCutDisk::arm(const fs::path& root, const fs::path& images, double cutChance,
                       uint32_t seed) {
    std::lock_guard lock(m_mutex);
    m_root = fs::canonical(root);
    m_images = images;
    m_cutChance = cutChance;
    m_random.seed(seed);
    m_ids.clear();
    m_durableFiles.clear();
    m_durableFolders.clear();
    m_isFolder.clear();
    m_cuts.clear();
    // What is there already counts as durable.
    struct stat st {};
    ::stat(m_root.c_str(), &st);
    m_rootId = idOf(st.st_ino);
    std::error_code ec;
    std::vector<fs::path> folders = {m_root};
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(m_root, ec))
        folders.push_back(e.path());
    for (const fs::path& f : folders) {
        const int fd = ::open(f.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) recordDurable(fd, f);
        if (fd >= 0) ::close(fd);
    }
    m_armed = true;
}

std::vector<PowerCutDisk::Cut> PowerCutDisk::disarm() {
    std::lock_guard lock(m_mutex);
    m_armed = false;
    return std::move(m_cuts);
}

void PowerCutDisk::cutNow(const std::string& when) {
    std::lock_guard lock(m_mutex);
    if (m_armed) cutLocked(when);
}

void PowerCutDisk::beforeRemoval(const char* path) {
    std::lock_guard lock(m_mutex);
    struct stat st {};
    if (!m_armed || ::lstat(path, &st) != 0) return;
    if (st.st_nlink <= 1) m_ids.erase(st.st_ino);  // the number may come back for another file
}

bool PowerCutDisk::beforeSync(int fd) {
    std::lock_guard lock(m_mutex);
    if (!m_armed) return false;
    std::error_code ec;
    const fs::path path = fs::read_symlink("/proc/self/fd/" + std::to_string(fd), ec);
    if (ec || (!underRoot(path) && path != m_root)) return false;
    ++m_syncs;
    if (std::uniform_real_distribution<double>(0, 1)(m_random) < m_cutChance)
        cutLocked("before sync " + std::to_string(m_syncs) + " of " +
                  path.lexically_relative(m_root).string());
    recordDurable(fd, path);
    return true;
}

void PowerCutDisk::recordDurable(int fd, const fs::path& path) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return;
    const FileId id = idOf(st.st_ino);
    m_isFolder[id] = S_ISDIR(st.st_mode);
    if (!S_ISDIR(st.st_mode)) {
        m_durableFiles[id] = readAll(path);
        return;
    }
    std::map<std::string, FileId>& entries = m_durableFolders[id];
    entries.clear();
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(path, ec)) {
        struct stat es {};
        if (::lstat(e.path().c_str(), &es) != 0) continue;
        const FileId entry = idOf(es.st_ino);
        entries[e.path().filename().string()] = entry;
        m_isFolder[entry] = S_ISDIR(es.st_mode);
    }
}

void PowerCutDisk::cutLocked(const std::string& when) {
    // Where each file the model knows is now, for the tails that were never synced.
    std::map<FileId, fs::path> now;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(m_root, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
        struct stat st {};
        if (::lstat(it->path().c_str(), &st) == 0 && m_ids.count(st.st_ino))
            now[m_ids[st.st_ino]] = it->path();
    }
    Cut cut;
    cut.image = m_images / ("cut-" + std::to_string(m_cuts.size()));
    cut.when = when;
    imageFolder(m_rootId, cut.image, cut, now);
    m_cuts.push_back(std::move(cut));
}

void PowerCutDisk::imageFolder(FileId folder, const fs::path& to, Cut& cut,
                               const std::map<FileId, fs::path>& now) {
    fs::create_directories(to);
    for (const auto& [name, id] : m_durableFolders[folder]) {
        const fs::path target = to / name;
        if (m_isFolder[id]) {
            imageFolder(id, target, cut, now);
            continue;
        }
        const std::string durable = m_durableFiles.count(id) ? m_durableFiles[id] : "";
        std::string content = durable;
        const auto found = now.find(id);
        const std::string current = found != now.end() ? readAll(found->second) : durable;
        if (current.size() > durable.size() && current.compare(0, durable.size(), durable) == 0) {
            // The unsynced tail: dropped, kept, torn, or zeros where the sound would be.
            const size_t tail = current.size() - durable.size();
            const size_t kept = std::uniform_int_distribution<size_t>(0, tail)(m_random);
            switch (std::uniform_int_distribution<int>(0, 3)(m_random)) {
            case 0: break;
            case 1: content = current; break;
            case 2: content = current.substr(0, durable.size() + kept); break;
            case 3: content.append(kept, '\0'); break;
            }
        } else if (current != durable && std::bernoulli_distribution(0.5)(m_random)) {
            content = current;  // rewritten or cut short since: that may have reached the disk
        }
        std::ofstream(target, std::ios::binary) << content;
        cut.durableBytes[target] = durable.size();
    }
}

}  // namespace wsx::test
