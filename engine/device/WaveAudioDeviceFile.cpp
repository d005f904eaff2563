// "open <file>.wav": an existing WAV file as the element. Its sound is copied into the
// element's take, which from then on is the element's sound as for any recording.
#include "WaveAudioDevice.h"
#include "engine/command/MciError.h"
#include "engine/files/WavReader.h"
#include "platform/log/Log.h"

#include <cerrno>
#include <memory>
#include <unistd.h>

namespace wsx::mci {

namespace {

constexpr size_t kCopyChunk = 256 * 1024;

// Why a file WavFileReader refused cannot be opened, for the log.
std::string whyUnreadable(const std::filesystem::path& file) {
    std::error_code ec;
    if (std::filesystem::status(file, ec).type() != std::filesystem::file_type::regular)
        return "it is not a regular file";
    if (::access(file.c_str(), R_OK) != 0) return log::errnoText(errno);
    return "it is not a PCM WAV file in a format this recorder takes";
}

}  // namespace

uint32_t WaveAudioDevice::openFile(const std::filesystem::path& file) {
    WavFileReader reader;
    switch (reader.open(file)) {
    case WavOpenError::None: break;
    case WavOpenError::NotFound: return MCIERR_FILE_NOT_FOUND;
    case WavOpenError::Invalid:
        log::warning(log::kEngine, "cannot open " + file.string() + ": " + whyUnreadable(file));
        return MCIERR_INVALID_FILE;
    }
    const WavLayout& layout = reader.layout();
    m_format = layout.format;
    if (layout.dataBytes > recordLimit()) {
        log::warning(log::kEngine, "cannot open " + file.string() + ": its " +
                                       std::to_string(layout.dataBytes) +
                                       " bytes of sound are more than a take holds");
        return MCIERR_INVALID_FILE;
    }
    TakeError error = TakeError::None;
    m_take = Take::create(m_options.takeFolder, m_format, error);
    if (!m_take) {
        log::warning(log::kEngine, "cannot open " + file.string() + ": no take folder in " +
                                       m_options.takeFolder.string() + ": " +
                                       log::errnoText(errno));
        return MCIERR_HARDWARE;
    }
    // The take is complete before its journal names the sound: a kill during the copy
    // leaves an empty take, which is not offered back.
    const auto fail = [&](const std::string& why) {
        log::warning(log::kEngine, "cannot open " + file.string() + ": " + why);
        discard();
        return MCIERR_HARDWARE;
    };
    SpoolFile& sound = m_take->sound();
    const Piece piece{sound.size(), layout.dataBytes};
    std::unique_ptr<char[]> buffer(new char[kCopyChunk]);
    for (uint64_t done = 0; done < layout.dataBytes;) {
        const size_t n = size_t(std::min<uint64_t>(kCopyChunk, layout.dataBytes - done));
        if (!reader.readSound(done, buffer.get(), n)) {
            log::warning(log::kEngine, "cannot open " + file.string() +
                                           ": it was cut short or became unreadable");
            discard();
            return MCIERR_INVALID_FILE;  // cut short or unreadable since it was opened
        }
        size_t kept = 0;
        if (!sound.append(buffer.get(), n, m_format.blockAlign(), kept))
            return fail("cannot copy its sound: " + log::errnoText(sound.lastError()));
        done += n;
    }
    if (!sound.sync()) return fail("cannot copy its sound: " + log::errnoText(errno));
    // A whole capture of the file's sound, then a save: the take holds nothing the file
    // does not, so it goes when the element goes unless it is edited.
    if (!logChange({JournalRecord::Kind::RecordStart, 0, 0, true, {piece.offset, 0}}) ||
        !logChange({JournalRecord::Kind::RecordEnd, 0, 0, true, piece}) ||
        !logChange({JournalRecord::Kind::Saved, 0, 0, false, {}}))
        return fail("cannot write its take's journal: " + log::errnoText(errno));
    if (piece.length > 0) m_wave.insert(0, piece);
    nameAfter(file);
    m_holdsSound = true;
    m_mode = Mode::Stopped;
    m_position = 0;
    return MCI_OK;
}

}  // namespace wsx::mci
