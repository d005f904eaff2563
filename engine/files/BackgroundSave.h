#pragma once

#include "SoundExport.h"

#include <atomic>
#include <thread>

namespace wsx::mci {

// One encoded save running on its own thread, so an hour of sound never holds up the
// engine thread (and with it the window) or the capture of a take recorded meanwhile.
// It reads a copy of the piece table over the append-only sound file, which stays valid
// whatever is recorded or edited meanwhile; the take must not switch sound files (a
// compaction) until it is done.
// Thread safety: every member from the engine thread; the work runs on the save's thread.
class BackgroundSave {
public:
    BackgroundSave(std::filesystem::path target, SoundFileType type, audio::AudioFormat format,
                   const SpoolFile* spool, std::vector<Piece> pieces);
    // Cancels a save still running and waits for it (a fraction of a second).
    ~BackgroundSave();
    BackgroundSave(const BackgroundSave&) = delete;
    BackgroundSave& operator=(const BackgroundSave&) = delete;

    void cancel() { m_cancel.store(true, std::memory_order_relaxed); }
    bool done() const { return m_done.load(std::memory_order_acquire); }
    // 0..100 of the sound encoded; 100 once done.
    unsigned percent() const;
    // Once done(): the outcome (ECANCELED as Other after cancel()).
    const files::WriteResult& result() const { return m_result; }
    const std::filesystem::path& target() const { return m_target; }

private:
    void run();

    const std::filesystem::path m_target;
    const SoundFileType m_type;
    const audio::AudioFormat m_format;
    const SpoolFile* const m_spool;
    const std::vector<Piece> m_pieces;
    uint64_t m_total = 0;
    std::atomic<uint64_t> m_doneBytes{0};
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_done{false};
    files::WriteResult m_result;  // written by the thread before m_done
    std::thread m_thread;         // last: started once everything above is set
};

}  // namespace wsx::mci
