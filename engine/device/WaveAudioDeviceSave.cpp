// "save": a WAV file at once on the engine thread (fast: a copy), FLAC, Opus or MP3 in the
// background (encoding an hour takes a minute), observed with "status NAME saving".
#include "WaveAudioDevice.h"
#include "engine/command/MciError.h"
#include "platform/log/Log.h"

#include <cerrno>

namespace wsx::mci {

uint32_t WaveAudioDevice::save(Items items) {
    // No name: the file the element was opened from or last saved to; a new element has
    // none, and the name is then a missing parameter.
    if (items.empty() && m_fileName.empty()) return MCIERR_MISSING_PARAMETER;
    if (items.size() > 1) return MCIERR_UNRECOGNIZED_KEYWORD;
    refresh();
    if (m_save) return MCIERR_NONAPPLICABLE_FUNCTION;  // one save at a time
    halt(Mode::Stopped);
    const std::string target = items.empty() ? m_fileName.string() : items[0].text;
    if (m_wave.length() > m_options.maxDataBytes) {
        log::warning(log::kEngine, "cannot save " + target + ": the recording is over " +
                                       std::to_string(m_options.maxDataBytes) + " bytes");
        m_reason = Reason::IoError;
        return MCIERR_FILE_NOT_SAVED;
    }
    const SoundFileType type = typeFromExtension(target).value_or(SoundFileType::Wav);
    if (type != SoundFileType::Wav) return startBackgroundSave(target, type);
    const files::WriteResult written =
        writeWavFile(target, m_format, m_take ? &m_take->sound() : nullptr, m_wave.pieces());
    if (!written) {
        noteSaveFailure(target, written);
        return MCIERR_FILE_NOT_SAVED;
    }
    m_reason = Reason::None;
    nameAfter(target);
    logChange({JournalRecord::Kind::Saved, 0, 0, false, {}});
    m_holdsSound = true;
    return MCI_OK;
}

bool WaveAudioDevice::saving() {
    refresh();
    return m_save != nullptr;
}

uint32_t WaveAudioDevice::startBackgroundSave(const std::string& target, SoundFileType type) {
    m_editsAtSave = m_edits;
    m_save = std::make_unique<BackgroundSave>(target, type, m_format,
                                              m_take ? &m_take->sound() : nullptr, m_wave.pieces());
    m_holdsSound = true;  // the format is what the file says from now on
    return MCI_OK;
}

void WaveAudioDevice::finishBackgroundSave() {
    const std::unique_ptr<BackgroundSave> save = std::move(m_save);
    const files::WriteResult& written = save->result();
    if (written.errnoValue == ECANCELED) {
        log::debug(log::kEngine, "save of " + save->target().string() + " cancelled");
        return;
    }
    if (!written) {
        noteSaveFailure(save->target().string(), written);
        return;
    }
    m_reason = Reason::None;
    nameAfter(save->target());
    // Sound recorded or edited while it ran is not in the file: the take stays unsaved.
    if (m_edits == m_editsAtSave) logChange({JournalRecord::Kind::Saved, 0, 0, false, {}});
}

void WaveAudioDevice::cancelBackgroundSave() {
    if (!m_save) return;
    m_save->cancel();
    m_save.reset();  // waits for the encoder to stop, and its temporary file is gone
}

void WaveAudioDevice::nameAfter(const std::filesystem::path& file) {
    // Made absolute but not tidied: "link/../x.wav" is not "x.wav" when link is a symbolic
    // link, and a save without a name must write the file that was opened.
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(file, ec);
    m_fileName = ec ? file : full;
}

void WaveAudioDevice::noteSaveFailure(const std::string& target,
                                      const files::WriteResult& written) {
    log::warning(log::kEngine, "cannot save " + target + ": " + saveFailureText(written.error) +
                                   (written.errnoValue ? ": " + log::errnoText(written.errnoValue)
                                                       : std::string()));
    m_reason = saveFailureReason(written.error);
}

}  // namespace wsx::mci
