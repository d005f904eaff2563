#pragma once

#include "PieceTable.h"
#include "SpoolFile.h"
#include "audio/WakeSignal.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

namespace wsx::mci {

// Copies the live sound of a take into the files of its next generation, on a thread of its
// own, so reclaiming the sound that was recorded over or deleted never stalls the window:
//   sound.N    the pieces, back to back in element order, flushed to disk;
//   journal.N  one record: the whole new sound file as one piece at 0 (and a Saved record
//              when the take was saved and unchanged), flushed, and the folder flushed.
// Until the take names generation N in its "current" file (Take::finishCompaction) these
// files are leftovers that recovery removes, so a kill at any moment keeps the old take.
// Memory stays at one copy buffer however long the take.
// Thread safety: every member belongs to the engine thread; the copy reads `from` below
// its size, which the append-only sound file allows while nothing else is written.
class TakeCompactor {
public:
    struct Plan {
        std::filesystem::path sound;    // sound.N
        std::filesystem::path journal;  // journal.N
        std::vector<Piece> pieces;      // the element's piece table when the copy began
        bool savedUnchanged = false;
        std::chrono::milliseconds pause{0};  // between chunks of the copy (tests spread it out)
    };
    TakeCompactor(const SpoolFile& from, Plan plan);
    // Stops a copy under way (waiting at most for the chunk or flush in progress) and
    // removes the new files unless keep() was called.
    ~TakeCompactor();
    TakeCompactor(const TakeCompactor&) = delete;
    TakeCompactor& operator=(const TakeCompactor&) = delete;

    enum class State { Copying, Ready, Failed };
    State state() const { return m_state.load(std::memory_order_acquire); }
    // Bytes of sound in the new generation: the element's length when the copy began.
    uint64_t liveBytes() const { return m_liveBytes; }
    const Plan& plan() const { return m_plan; }
    // The take now uses the new files: they stay when this object goes.
    void keep() { m_keep = true; }

private:
    void run();
    bool copySound();
    bool writeJournal();

    const SpoolFile& m_from;
    const Plan m_plan;
    uint64_t m_liveBytes = 0;
    std::atomic<State> m_state{State::Copying};
    std::atomic<bool> m_cancel{false};
    audio::WakeSignal m_wake;  // cuts a pause short when the copy is cancelled
    bool m_keep = false;
    std::thread m_thread;
};

}  // namespace wsx::mci
