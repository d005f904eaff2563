#include "TakeCompactor.h"

#include "TakeJournal.h"
#include "platform/files/AtomicFile.h"
#include "platform/log/Log.h"

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace wsx::mci {

namespace {
// 256 KiB per read and write keeps system calls few; a flush every 32 MiB keeps the last
// one (and so a cancel that waits for it) short however long the take.
constexpr size_t kChunkBytes = 256 * 1024;
constexpr uint64_t kSyncEveryBytes = 32ull * 1024 * 1024;

// Opens `file` for writing from scratch; -1 with errno when it cannot.
int createFresh(const std::filesystem::path& file) {
    return ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
}

}  // namespace

TakeCompactor::TakeCompactor(const SpoolFile& from, Plan plan)
    : m_from(from), m_plan(std::move(plan)) {
    for (const Piece& p : m_plan.pieces) m_liveBytes += p.length;
    m_thread = std::thread([this] { run(); });
}

TakeCompactor::~TakeCompactor() {
    m_cancel.store(true, std::memory_order_release);
    m_wake.post();
    m_thread.join();
    if (m_keep) return;
    ::unlink(m_plan.sound.c_str());
    ::unlink(m_plan.journal.c_str());
}

void TakeCompactor::run() {
    const bool done =
        copySound() && writeJournal() && files::syncFolder(m_plan.sound.parent_path()) == 0;
    if (!done && !m_cancel.load(std::memory_order_acquire))
        log::warning(log::kEngine, "cannot compact the take in " +
                                       m_plan.sound.parent_path().string() + ": " +
                                       log::errnoText(errno));
    m_state.store(done ? State::Ready : State::Failed, std::memory_order_release);
}

bool TakeCompactor::copySound() {
    const int fd = createFresh(m_plan.sound);
    if (fd < 0) return false;
    const std::unique_ptr<char[]> buffer(new char[kChunkBytes]);
    uint64_t unsynced = 0;
    int err = 0;
    for (const Piece& piece : m_plan.pieces) {
        for (uint64_t done = 0; done < piece.length && err == 0;) {
            if (m_cancel.load(std::memory_order_acquire)) err = ECANCELED;
            const size_t n = size_t(std::min<uint64_t>(kChunkBytes, piece.length - done));
            if (err == 0 && !m_from.readAt(piece.offset + done, buffer.get(), n)) err = EIO;
            if (err == 0) err = files::writeAll(fd, buffer.get(), n);
            done += n;
            unsynced += n;
            if (err == 0 && unsynced >= kSyncEveryBytes) {
                if (::fdatasync(fd) != 0) err = errno;
                unsynced = 0;
            }
            if (err == 0 && m_plan.pause.count() > 0) (void)m_wake.waitFor(m_plan.pause);
        }
    }
    if (err == 0 && m_cancel.load(std::memory_order_acquire)) err = ECANCELED;
    if (err == 0 && ::fdatasync(fd) != 0) err = errno;
    ::close(fd);
    errno = err;
    return err == 0;
}

bool TakeCompactor::writeJournal() {
    std::vector<uint8_t> bytes;
    if (m_liveBytes > 0)
        bytes = encodeJournalRecord(
            {JournalRecord::Kind::RecordEnd, 0, 0, true, Piece{0, m_liveBytes}});
    if (m_plan.savedUnchanged) {
        const std::vector<uint8_t> saved = encodeJournalRecord({});
        bytes.insert(bytes.end(), saved.begin(), saved.end());
    }
    const int fd = createFresh(m_plan.journal);
    if (fd < 0) return false;
    int err = files::writeAll(fd, bytes.data(), bytes.size());
    if (err == 0 && ::fdatasync(fd) != 0) err = errno;
    ::close(fd);
    errno = err;
    return err == 0;
}

}  // namespace wsx::mci
