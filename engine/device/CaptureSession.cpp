#include "CaptureSession.h"

#include "audio/CaptureClock.h"

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
                                     m_ring.capacity() / 2)),
      m_silenceBuffer(new char[kWriteChunk]) {
    audio::fillSilence(m_silenceBuffer.get(), kWriteChunk, format);
}

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

size_t CaptureSession::onSilence(size_t bytes) {
    if (m_writeFailed.load(std::memory_order_relaxed)) return bytes;
    return queueSilence(bytes) ? bytes : 0;
}

bool CaptureSession::queueSilence(uint64_t bytes) {
    const uint64_t captured = m_captured.load(std::memory_order_relaxed);
    bytes = std::min(bytes, m_budget - std::min(m_budget, captured));
    bytes -= bytes % m_blockAlign;
    if (bytes == 0) return false;
    const uint64_t pending = m_gapBytes.load(std::memory_order_acquire);
    if (pending == 0) m_gapAt.store(captured, std::memory_order_relaxed);
    else if (m_gapAt.load(std::memory_order_relaxed) + pending != captured) return false;
    m_gapBytes.store(pending + bytes, std::memory_order_release);
    m_silence.fetch_add(bytes, std::memory_order_relaxed);
    m_captured.store(captured + bytes, std::memory_order_release);
    m_wake.post();
    return true;
}

void CaptureSession::appendSound(const char* data, size_t bytes) {
    m_consumed += bytes;
    if (bytes == 0 || m_writeFailed.load(std::memory_order_relaxed)) return;
    size_t kept = 0;
    if (!m_spool.append(data, bytes, m_blockAlign, kept))
        m_writeFailed.store(true, std::memory_order_release);
    m_written += kept;
}

bool CaptureSession::writeDueSilence() {
    bool wrote = false;
    for (;;) {
        uint64_t pending = m_gapBytes.load(std::memory_order_acquire);
        const uint64_t at = m_gapAt.load(std::memory_order_relaxed);
        if (pending == 0 || m_consumed < at) return wrote;
        // Part of it may be written already: the gap grew while the writer wrote it.
        for (uint64_t done = m_consumed - at; done < pending;) {
            const size_t n = size_t(std::min<uint64_t>(kWriteChunk, pending - done));
            appendSound(m_silenceBuffer.get(), n);
            done += n;
            wrote = true;
        }
        if (m_gapBytes.compare_exchange_strong(pending, 0, std::memory_order_acq_rel))
            return wrote;
    }
}

bool CaptureSession::drainOnce() {
    const bool silence = writeDueSilence();
    const size_t n = m_ring.pop(m_writeBuffer.get(), kWriteChunk);
    // Sound pushed after a gap was marked is popped only after the mark is visible here: the
    // part of this chunk before the gap goes first, then the gap, then the rest.
    size_t before = n;
    if (m_gapBytes.load(std::memory_order_acquire) != 0) {
        const uint64_t at = m_gapAt.load(std::memory_order_relaxed);
        before = at <= m_consumed ? 0 : size_t(std::min<uint64_t>(n, at - m_consumed));
    }
    appendSound(m_writeBuffer.get(), before);
    if (before < n) {
        writeDueSilence();
        appendSound(m_writeBuffer.get() + before, n - before);
    }
    return n > 0 || silence;
}

void CaptureSession::writerLoop() {
    using Clock = std::chrono::steady_clock;
    auto lastSync = Clock::now();
    for (;;) {
        const bool stopping = m_stopWriter.load(std::memory_order_acquire);
        while (drainOnce()) {}
        // Sound reaches the file within one wake-up (200 ms) and the disk within about a
        // second; the flush runs here, never on the audio thread. The last one comes before
        // finish() returns, so the journal record that names the sound never names sound
        // a power cut could take.
        if (m_written != m_synced && (stopping || Clock::now() - lastSync >= kSyncPeriod)) {
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
    return Result{Piece{m_spoolStart, m_written}, m_writeFailed.load(), m_dropped.load(),
                  m_silence.load()};
}

}  // namespace wsx::mci
