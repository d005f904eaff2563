// The element's take on disk: making it, journalling each change, adopting a take left by
// an earlier run, what stays when the element goes, and the reasons failures report.
#include "WaveAudioDevice.h"
#include "engine/command/MciError.h"
#include "platform/log/Log.h"

#include <algorithm>
#include <cerrno>

namespace wsx::mci {

const char* WaveAudioDevice::reasonWord(Reason reason) {
    static constexpr const char* kWords[] = {"none",       "noserver",    "nodevice",   "folder",
                                             "diskfull",   "serverlost",  "sizelimit",  "nofolder",
                                             "permission", "nametoolong", "notregular", "ioerror"};
    return kWords[int(reason)];
}

WaveAudioDevice::Reason WaveAudioDevice::openErrorReason(audio::OpenError e) {
    if (e == audio::OpenError::NoServer) return Reason::NoServer;
    if (e == audio::OpenError::NoDevice) return Reason::NoDevice;
    return Reason::None;  // a format the device refuses is the command's error, not a failure
}

namespace {

bool diskIsFull(int err) { return err == ENOSPC || err == EDQUOT || err == EFBIG; }

}  // namespace

WaveAudioDevice::Reason WaveAudioDevice::saveFailureReason(files::WriteError error) {
    static constexpr Reason kReasons[] = {Reason::None,     Reason::NoFolder,    Reason::Permission,
                                          Reason::DiskFull, Reason::NameTooLong, Reason::NotRegular,
                                          Reason::IoError};
    return kReasons[int(error)];
}

const char* WaveAudioDevice::saveFailureText(files::WriteError error) {
    static constexpr const char* kTexts[] = {"",
                                             "no such folder",
                                             "no permission",
                                             "the disk is full",
                                             "the name is too long",
                                             "something that is not a file is there",
                                             "cannot write"};
    return kTexts[int(error)];
}

bool WaveAudioDevice::beginTakeRecording(uint64_t from, bool insert) {
    if (!m_take) {
        TakeError error = TakeError::None;
        errno = 0;
        m_take = Take::create(m_options.takeFolder, m_format, error);
        if (!m_take) {
            const int err = errno;
            log::warning(log::kEngine, "cannot record: cannot make a take in " +
                                           m_options.takeFolder.string() + ": " +
                                           log::errnoText(err));
            m_reason = diskIsFull(err) ? Reason::DiskFull : Reason::Folder;
            return false;
        }
    }
    // Journalled before any sound arrives, so a kill mid-take recovers all that reached the
    // sound file; a start that fails closes it again with an empty piece.
    const JournalRecord start{
        JournalRecord::Kind::RecordStart, from, 0, insert, {m_take->sound().size(), 0}};
    if (logChange(start)) return true;
    const int err = errno;
    log::warning(log::kEngine, "cannot record: cannot write the journal of the take in " +
                                   m_take->folder().string() + ": " + log::errnoText(err));
    m_reason = diskIsFull(err) ? Reason::DiskFull : Reason::Folder;
    return false;
}

bool WaveAudioDevice::logChange(const JournalRecord& record) {
    if (record.kind != JournalRecord::Kind::Saved) ++m_edits;
    return !m_take || m_take->log(record);
}

void WaveAudioDevice::noteCaptureStop() {
    switch (m_capture->stopCause()) {
    case CaptureSession::StopCause::None: break;
    case CaptureSession::StopCause::Budget:
        if (m_budgetIsLimit) m_reason = Reason::SizeLimit;
        break;
    case CaptureSession::StopCause::WriteFailed:
        m_reason = diskIsFull(m_take->sound().lastError()) ? Reason::DiskFull : Reason::Folder;
        break;
    case CaptureSession::StopCause::StreamFailed: m_reason = Reason::ServerLost; break;
    }
}

void WaveAudioDevice::closeTake() {
    m_save.reset();  // it reads the take's sound file
    if (!m_take) return;
    const bool keep = !m_discard && m_wave.length() > 0 && !m_take->savedUnchanged();
    m_take->finish(keep ? Take::Ending::Keep : Take::Ending::Remove);
    m_take.reset();
}

void WaveAudioDevice::tendTake() {
    refresh();
    // A save reads the current sound file: no switch to another while it runs.
    if (!m_take || m_capture || m_playback || m_save) return;
    if (m_take->compacting()) {
        if (const std::optional<Piece> all = m_take->finishCompaction()) {
            m_wave = PieceTable();
            m_wave.insert(0, *all);
        }
        return;
    }
    const uint64_t size = m_take->sound().size();
    const uint64_t garbage = size - std::min(size, m_wave.length());
    if (garbage > m_options.compactMinBytes && garbage * 100 > size * m_options.compactPercent)
        m_take->startCompaction(m_wave.pieces(), m_options.compactPause);
}

uint32_t WaveAudioDevice::adoptTake(const std::filesystem::path& folder) {
    ReplayedTake replayed;
    TakeError error = TakeError::None;
    std::unique_ptr<Take> take = Take::adopt(folder, replayed, error);
    // Take::adopt logs why an unreadable take cannot be opened.
    switch (error) {
    case TakeError::None: break;
    case TakeError::Locked:
        log::warning(log::kEngine, "cannot open the take " + folder.string() +
                                       ": another running program holds it");
        return MCIERR_DEVICE_LOCKED;
    case TakeError::NotATake:
        log::warning(log::kEngine, "cannot open " + folder.string() +
                                       ": it is not a take folder of this recorder");
        return MCIERR_FILE_NOT_FOUND;
    case TakeError::FolderUnusable:
    case TakeError::Unreadable: return MCIERR_INVALID_FILE;
    }
    m_take = std::move(take);
    m_format = m_take->format().format;
    m_wave = std::move(replayed.wave);
    m_holdsSound = true;
    m_mode = Mode::Stopped;
    m_position = 0;
    return MCI_OK;
}

}  // namespace wsx::mci
