#pragma once

#include "audio/AudioBackend.h"
#include "audio/PeakLevel.h"
#include "audio/SpscRing.h"
#include "audio/WakeSignal.h"
#include "engine/take/PieceTable.h"
#include "engine/take/SpoolFile.h"

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace wsx::mci {

// Plays a range of an element: a feeder thread reads the range's pieces from the spool
// into a lock-free ring, and the backend's audio thread pulls from it and wakes the feeder
// when the ring runs half empty.
// Thread safety: start(), playedBytes(), done(), failed() and the destructor belong to the
// engine thread; pull() and finished() to the audio thread.
class PlaybackSession final : public audio::PlaybackSource {
public:
    PlaybackSession(const SpoolFile& spool, const audio::AudioFormat& format,
                    std::vector<Piece> pieces);
    ~PlaybackSession() override;

    bool start(audio::AudioBackend& backend, audio::OpenError& error);

    // Bytes of the range the listener has heard, on whole frames; the whole range once done().
    uint64_t playedBytes() const;
    // The loudest sample since the last call (16-bit scale), for a level meter.
    uint32_t takeLevel() { return m_level.take(); }
    bool done() const { return m_stream && m_stream->drained(); }
    bool failed() const { return m_stream && m_stream->failed(); }

    size_t pull(void* out, size_t bytes) override;
    bool finished() const override;

private:
    void feederLoop();
    // Reads the next chunk of the range into the ring; false once the range is exhausted.
    bool feedOnce();

    const SpoolFile& m_spool;
    const audio::AudioFormat m_format;
    const std::vector<Piece> m_pieces;
    uint64_t m_total = 0;
    audio::SpscRing m_ring;
    std::unique_ptr<char[]> m_readBuffer;
    std::unique_ptr<audio::AudioStream> m_stream;
    audio::PeakLevel m_level;
    std::thread m_feeder;
    std::atomic<bool> m_stopFeeder{false};
    audio::WakeSignal m_wake;        // posted by pull() and the destructor
    std::atomic<bool> m_fed{false};  // every byte of the range is in the ring
    size_t m_pieceIndex = 0;         // feeder thread
    uint64_t m_pieceDone = 0;        // feeder thread
};

}  // namespace wsx::mci
