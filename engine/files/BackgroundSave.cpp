#include "BackgroundSave.h"

namespace wsx::mci {

BackgroundSave::BackgroundSave(std::filesystem::path target, SoundFileType type,
                               audio::AudioFormat format, const SpoolFile* spool,
                               std::vector<Piece> pieces)
    : m_target(std::move(target)),
      m_type(type),
      m_format(format),
      m_spool(spool),
      m_pieces(std::move(pieces)) {
    for (const Piece& p : m_pieces) m_total += p.length;
    m_thread = std::thread([this] { run(); });
}

BackgroundSave::~BackgroundSave() {
    cancel();
    if (m_thread.joinable()) m_thread.join();
}

unsigned BackgroundSave::percent() const {
    if (done() || m_total == 0) return done() ? 100 : 0;
    return unsigned(m_doneBytes.load(std::memory_order_relaxed) * 100 / m_total);
}

void BackgroundSave::run() {
    m_result = exportSound(
        m_target, m_type, m_format, m_spool, m_pieces,
        [this](uint64_t bytes) { m_doneBytes.store(bytes, std::memory_order_relaxed); }, m_cancel);
    m_done.store(true, std::memory_order_release);
}

}  // namespace wsx::mci
