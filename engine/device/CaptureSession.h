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

namespace wsx::mci {

// One stretch of recording: the backend's audio thread hands sound to onCaptured(), which
// only copies it into a lock-free ring; a writer thread moves it from the ring to the end
// of the spool and flushes it to disk about once a second, so a crash loses little. Memory
// stays at the ring's size however long the take.
// Sound the take did not get keeps its place as silence, so the take stays as long as the
// time it took: holes, quiet time and sound a full ring could not take, as the stream
// reports them (onSilence). Silence does not go through the ring (a stall can be longer than the ring
// holds): the audio thread marks where it belongs in the captured stream and how long it is,
// and the writer writes it there, between the sound before and after.
// Thread safety: start(), capturedBytes(), stopped() and finish() belong to the engine
// thread; onCaptured() to the audio thread.
class CaptureSession final : public audio::CaptureSink {
public:
    // `budgetBytes`: the most this stretch may keep (the WAV size limit, or a "record to").
    CaptureSession(SpoolFile& spool, const audio::AudioFormat& format, uint64_t budgetBytes);
    ~CaptureSession() override;

    bool start(audio::AudioBackend& backend, const audio::CaptureSource& source,
               audio::OpenError& error);

    // Bytes taken from the audio thread so far, silence kept for lost sound included; what
    // the position follows while recording.
    uint64_t capturedBytes() const { return m_captured.load(std::memory_order_acquire); }
    // Of those, the bytes of silence that stand in for sound that never came.
    uint64_t silenceBytes() const { return m_silence.load(std::memory_order_acquire); }
    // The take cannot go on: budget used up, the stream broke, or the spool cannot grow.
    // The loudest sample since the last call (16-bit scale), for a level meter.
    uint32_t takeLevel() { return m_level.take(); }
    bool stopped() const { return stopCause() != StopCause::None; }
    enum class StopCause { None, Budget, WriteFailed, StreamFailed };
    StopCause stopCause() const;

    struct Result {
        Piece piece;  // what reached the spool
        bool writeFailed = false;
        uint64_t droppedBytes = 0;  // offered by the audio thread while the ring was full
        uint64_t silenceBytes = 0;  // silence written for sound that never came
    };
    // Ends the stream, writes out everything captured, flushes it to disk, and says where it
    // lies in the spool.
    Result finish();

    size_t onCaptured(const void* data, size_t bytes) override;
    size_t onSilence(size_t bytes) override;

private:
    void writerLoop();
    bool drainOnce();
    // Audio thread: keeps `bytes` of silence at the end of what was captured so far; false
    // when it cannot (the writer has not yet written an earlier gap that is not right
    // before this one, or the budget is used up).
    bool queueSilence(uint64_t bytes);
    // Writer: appends sound, counting it as consumed from the captured stream.
    void appendSound(const char* data, size_t bytes);
    // Writer: writes the pending gap's silence once the sound before it is written; true
    // when it wrote any.
    bool writeDueSilence();

    SpoolFile& m_spool;
    const uint32_t m_blockAlign;
    const audio::AudioFormat m_format;
    const uint64_t m_budget;
    const uint64_t m_spoolStart;
    audio::SpscRing m_ring;
    std::unique_ptr<char[]> m_writeBuffer;
    const size_t m_wakeBytes;  // a quarter second of sound
    std::unique_ptr<audio::AudioStream> m_stream;
    audio::PeakLevel m_level;
    std::thread m_writer;
    std::atomic<bool> m_stopWriter{false};
    // Wakes the writer early when m_wakeBytes wait in the ring (a burst, as from the
    // virtual clock), and at once when the take finishes.
    audio::WakeSignal m_wake;
    std::atomic<bool> m_writeFailed{false};
    std::atomic<uint64_t> m_captured{0};
    std::atomic<uint64_t> m_dropped{0};
    // The pending gap: m_gapBytes of silence at byte m_gapAt of the captured stream. The
    // audio thread sets m_gapAt, then m_gapBytes (release), and may lengthen a gap that ends
    // where the captured stream ends; the writer clears m_gapBytes once all of it is written.
    std::atomic<uint64_t> m_gapAt{0};
    std::atomic<uint64_t> m_gapBytes{0};
    std::atomic<uint64_t> m_silence{0};
    std::unique_ptr<char[]> m_silenceBuffer;  // kWriteChunk of silence, for the writer
    uint64_t m_consumed = 0;  // writer thread: bytes of the captured stream handled so far
    uint64_t m_written = 0;   // writer thread until joined
    uint64_t m_synced = 0;   // writer thread: m_written at the last fdatasync
    bool m_finished = false;
};

}  // namespace wsx::mci
