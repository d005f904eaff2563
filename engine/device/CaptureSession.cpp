#include "CaptureSession.h"

#include <algorithm>
#include <chrono>

namespace wsx::mci {

namespace {
// Two seconds of sound absorb any stall of the writer. It wakes as soon as a quarter second
// of sound waits in the ring, and otherwise every 200 ms (for sound that trickles in below
// that), so sound reaches the file within a quarter second however it arrives: what a kill
// can take is what waits in the ring. Few wake-ups keep the recorder as light as a plain
// command-line recorder. 64 KiB per write keeps system calls few without holding much
// memory.
constexpr size_t kWriteChunk = 64 * 1024;
constexpr std::chrono::milliseconds kWakePeriod{200};
constexpr std::chrono::milliseconds kSyncPeriod{1000};
size_t ringBytesFor(const audio::AudioFormat& f) {
    return std::max<size_t>(size_t(f.bytesPerSecond()) * 2, kWriteChunk * 2);
}
}  // namespace

CaptureSession::CaptureSession(SpoolFile& spool, const audio::AudioFormat& format,
                               uint64_t budgetBytes)
    : m_spool(spool),
      m_blockAlign(format.blockAlign()),
      m_format(format),
      m_budget(budgetBytes - budgetBytes % format.blockAlign()),
      m_spoolStart(spool.size()),
      m_ring(ringBytesFor(format) - ringBytesFor(format) % format.blockAlign()),
      m_writeBuffer(new char[kWriteChunk]),
      m_wakeBytes(std::clamp<size_t>(format.bytesPerSecond() / 4, format.blockAlign(),
                                     m_ring.capacity() / 2)) {}

CaptureSession::~CaptureSession() { finish(); }

bool CaptureSession::start(audio::AudioBackend& backend, const audio::CaptureSource& source,
                           audio::OpenError& error) {
    m_writer = std::thread([this] { writerLoop(); });
    m_stream = backend.openCaptureFrom(source, m_format, *this, error);
    return m_stream != nullptr;
}

CaptureSession::StopCause CaptureSession::stopCause() const {
    if (m_writeFailed.load(std::memory_order_acquire)) return StopCause::WriteFailed;
    if (m_stream && m_stream->failed()) return StopCause::StreamFailed;
    if (capturedBytes() >= m_budget) return StopCause::Budget;
    return StopCause::None;
}

size_t CaptureSession::onCaptured(const void* data, size_t bytes) {
    const uint64_t captured = m_captured.load(std::memory_order_relaxed);
    const uint64_t room = m_budget - std::min(m_budget, captured);
    if (room == 0 || m_writeFailed.load(std::memory_order_relaxed)) return bytes;  // discarded
    size_t take = size_t(std::min<uint64_t>(bytes, room));
    take = std::min(take, m_ring.writable());
    take -= take % m_blockAlign;
    const size_t pushed = m_ring.push(data, take);
    m_level.note(audio::peakOf(data, pushed, m_format.bitsPerSample));
    m_captured.store(captured + pushed, std::memory_order_release);
    if (m_ring.readable() >= m_wakeBytes) m_wake.post();
    if (pushed < bytes && uint64_t(pushed) < room)
        m_dropped.fetch_add(bytes - pushed, std::memory_order_relaxed);
    return pushed;
}

bool CaptureSession::drainOnce() {
    const size_t n = m_ring.pop(m_writeBuffer.get(), kWriteChunk);
    if (n == 0) return false;
    if (!m_writeFailed.load(std::memory_order_relaxed)) {
        size_t kept = 0;
        if (!m_spool.append(m_writeBuffer.get(), n, m_blockAlign, kept))
            m_writeFailed.store(true, std::memory_order_release);
        m_written += kept;
    }
    return true;
}

void CaptureSession::writerLoop() {
    using Clock = std::chrono::steady_clock;
    auto lastSync = Clock::now();
    for (;;) {
        const bool stopping = m_stopWriter.load(std::memory_order_acquire);
        while (drainOnce()) {}
        // Sound reaches the file within one wake-up (200 ms) and the disk within about a
        // second; the flush runs here, never on the audio thread.
        if (m_written != m_synced && Clock::now() - lastSync >= kSyncPeriod) {
            if (!m_spool.sync()) m_writeFailed.store(true, std::memory_order_release);
            m_synced = m_written;
            lastSync = Clock::now();
        }
        if (stopping) break;
        // A post made while draining (a burst, or the finish) cuts this wait short.
        (void)m_wake.waitFor(kWakePeriod);
    }
}

CaptureSession::Result CaptureSession::finish() {
    if (!m_finished) {
        m_finished = true;
        m_stream.reset();  // no onCaptured() after this
        m_stopWriter.store(true, std::memory_order_release);
        m_wake.post();
        if (m_writer.joinable()) m_writer.join();
    }
    // A virtual stream counts only what the ring took, so a drop here means a real-time
    // stream outran the writer for more than the ring's two seconds.
    return Result{Piece{m_spoolStart, m_written}, m_writeFailed.load(), m_dropped.load()};
}

}  // namespace wsx::mci
