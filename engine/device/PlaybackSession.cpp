#include "PlaybackSession.h"

#include <algorithm>
#include <chrono>

namespace wsx::mci {

namespace {
// The ring holds a second of sound (at least two chunks). The audio thread wakes the
// feeder once it has drained the ring to half, and the feeder tops it up in 64 KiB reads,
// so it wakes a few times a second rather than polling. Should a wake-up ever be missed,
// the timeout still comes long before half a second of sound has run out.
constexpr size_t kReadChunk = 64 * 1024;
constexpr std::chrono::milliseconds kWakeTimeout{200};
size_t ringBytesFor(const audio::AudioFormat& f) {
    const size_t oneSecond = std::max<size_t>(f.bytesPerSecond(), kReadChunk * 2);
    return oneSecond - oneSecond % f.blockAlign();
}
}  // namespace

PlaybackSession::PlaybackSession(const SpoolFile& spool, const audio::AudioFormat& format,
                                 std::vector<Piece> pieces)
    : m_spool(spool),
      m_format(format),
      m_pieces(std::move(pieces)),
      m_ring(ringBytesFor(format)),
      m_readBuffer(new char[kReadChunk]) {
    for (const Piece& p : m_pieces) m_total += p.length;
}

PlaybackSession::~PlaybackSession() {
    m_stream.reset();  // no pull() after this
    m_stopFeeder.store(true, std::memory_order_release);
    m_wake.post();
    if (m_feeder.joinable()) m_feeder.join();
}

bool PlaybackSession::start(audio::AudioBackend& backend, audio::OpenError& error) {
    // Fill the ring before the stream asks for its first buffer, so playback never begins
    // with an underrun.
    while (m_ring.writable() >= kReadChunk && feedOnce()) {}
    m_feeder = std::thread([this] { feederLoop(); });
    m_stream = backend.openPlayback(m_format, *this, error);
    return m_stream != nullptr;
}

bool PlaybackSession::feedOnce() {
    if (m_pieceIndex >= m_pieces.size()) {
        m_fed.store(true, std::memory_order_release);
        return false;
    }
    const Piece& piece = m_pieces[m_pieceIndex];
    size_t n = size_t(std::min<uint64_t>(piece.length - m_pieceDone, kReadChunk));
    n = std::min(n, m_ring.writable());
    if (n == 0) return true;
    if (!m_spool.readAt(piece.offset + m_pieceDone, m_readBuffer.get(), n)) {
        // An unreadable spool ends the range here rather than playing garbage.
        m_pieceIndex = m_pieces.size();
        m_fed.store(true, std::memory_order_release);
        return false;
    }
    m_ring.push(m_readBuffer.get(), n);
    m_pieceDone += n;
    if (m_pieceDone == piece.length) {
        ++m_pieceIndex;
        m_pieceDone = 0;
    }
    return true;
}

void PlaybackSession::feederLoop() {
    while (!m_stopFeeder.load(std::memory_order_acquire)) {
        if (m_ring.writable() < kReadChunk && !m_fed.load(std::memory_order_relaxed)) {
            (void)m_wake.waitFor(kWakeTimeout);
            continue;
        }
        if (!feedOnce()) break;
    }
}

size_t PlaybackSession::pull(void* out, size_t bytes) {
    bytes -= bytes % m_format.blockAlign();
    const size_t got = m_ring.pop(out, bytes);
    m_level.note(audio::peakOf(out, got, m_format.bitsPerSample));
    if (m_ring.readable() <= m_ring.capacity() / 2 && !m_fed.load(std::memory_order_relaxed))
        m_wake.post();
    return got;
}

bool PlaybackSession::finished() const {
    return m_fed.load(std::memory_order_acquire) && m_ring.readable() == 0;
}

uint64_t PlaybackSession::playedBytes() const {
    if (!m_stream) return 0;
    if (m_stream->drained()) return m_total;
    const uint64_t played = std::min(m_stream->bytesPlayed(), m_total);
    return played - played % m_format.blockAlign();
}

}  // namespace wsx::mci
