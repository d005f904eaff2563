#pragma once

#include "CaptureSession.h"
#include "PlaybackSession.h"
#include "audio/AudioBackend.h"
#include "engine/command/MciTokenizer.h"
#include "engine/files/BackgroundSave.h"
#include "engine/files/WavFile.h"
#include "engine/take/PieceTable.h"
#include "engine/take/SpoolFile.h"
#include "engine/take/Take.h"
#include "engine/take/TakeStore.h"
#include "platform/files/AtomicFile.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace wsx::mci {

struct EngineOptions {
    // Where takes are kept (each in its own take-XXXXXX folder; TakeStore).
    std::filesystem::path takeFolder = TakeStore::defaultFolder();
    uint64_t maxDataBytes = kMaxWavDataBytes;  // what one WAV file can hold
    // A take is compacted (its live sound copied to a new sound file, the rest dropped)
    // when more than compactPercent of its sound file and more than compactMinBytes of it
    // is sound no piece refers to (recorded over or deleted).
    uint64_t compactMinBytes = 64ull * 1024 * 1024;
    uint32_t compactPercent = 50;
    std::chrono::milliseconds compactPause{0};  // between chunks of the copy (tests slow it)
    // Called again and again while a command given "wait" waits for its play, record or
    // encoded save to end: lets about `step` pass and returns true to wait on, false to
    // give up, which stops the element where it got to as "stop" does. Unset: sleeps.
    std::function<bool(std::chrono::milliseconds step)> idle = nullptr;
};

// One open waveaudio element: its format, time format, transport mode and position, and
// the sound itself. Positions are kept in bytes on whole frames and converted to the time
// format only at the command boundary.
// Thread safety: engine (UI) thread only. Recording and playing run on the sessions' own
// threads; this object learns how far they got by asking them, never by being called.
class WaveAudioDevice {
public:
    enum class Mode { Stopped, Playing, Recording, Paused };
    enum class TimeFormat { Milliseconds, Bytes, Samples };
    // Why the last record, play or save failed, or why a take stopped by itself; reported
    // by "status NAME reason" as reasonWord() gives it. Reset to None by the next record or
    // play that starts and by the next save that succeeds.
    enum class Reason {
        None,
        NoServer,     // record/play: no sound server answered
        NoDevice,     // record/play: the server has no such device
        Folder,       // record: the take's folder cannot be made or written
        DiskFull,     // record: the take's disk filled; save: the target's disk is full
        ServerLost,   // the server went away while recording or playing
        SizeLimit,    // the take reached the largest size a WAV file can hold
        NoFolder,     // save: the target's folder does not exist
        Permission,   // save: no right to write there
        NameTooLong,  // save: the name is longer than the filesystem allows
        NotRegular,   // save: the target is a folder, device or other non-file
        IoError,      // save: anything else (a read or write error)
    };
    static const char* reasonWord(Reason reason);
    // "input" items (WaveAudioDeviceInput.cpp): default, monitor, both, or a source's name
    // (a quoted word is always a name).
    static audio::CaptureSource parseInput(const Token& token);
    static std::string inputText(const audio::CaptureSource& source);
    using Items = std::span<const Token>;

    // `engineInput`: what to record from until the element sets its own input ("set
    // waveaudio input"); it outlives the element.
    WaveAudioDevice(audio::AudioBackend& backend, const EngineOptions& options,
                    const audio::CaptureSource& engineInput);
    // Without discard() a take holding unsaved sound stays on disk for a later start;
    // an empty one or one saved and unchanged since is removed.
    ~WaveAudioDevice();

    // Makes this (new, empty) element the take in `folder`: stopped at 0 with the take's
    // sound and format. MCIERR_FILE_NOT_FOUND: not a take; MCIERR_DEVICE_LOCKED: another
    // program has it open; MCIERR_INVALID_FILE: it cannot be read.
    uint32_t adoptTake(const std::filesystem::path& folder);
    // Makes this (new, empty) element the sound of the WAV file at `file`: stopped at 0 with
    // the file's format and sound (WaveAudioDeviceFile.cpp). The sound is copied into a take
    // of its own, so edits never touch the file until a save, and a kill after an edit
    // leaves them in the take. MCIERR_FILE_NOT_FOUND: no such file; MCIERR_INVALID_FILE: not
    // a PCM WAV file the element can hold, or it cannot be read; MCIERR_HARDWARE: the take
    // cannot be made or written (disk full, take folder unusable).
    uint32_t openFile(const std::filesystem::path& file);
    // The element is closed on purpose: its take goes with it.
    void discard() { m_discard = true; }
    // Looks after the take between commands: starts a compaction when enough of its sound
    // file is garbage, and switches to a finished one while nothing plays or records.
    // The copy runs in the background; an edit while it runs cancels it (Take::log), and
    // the next tendTake() starts afresh from the edited piece table.
    void tendTake();

    uint32_t set(Items items);
    uint32_t status(Items items, std::string& reply);
    uint32_t play(Items items);
    uint32_t record(Items items);
    uint32_t pause(Items items);
    uint32_t resume(Items items);
    uint32_t stop(Items items);
    uint32_t seek(Items items);
    uint32_t erase(Items items);
    uint32_t save(Items items);
    // "cue NAME input|output" (WaveAudioDeviceCue.cpp): readies a stopped element, which
    // then reads "paused" until it is played, recorded, stopped, sought or edited.
    uint32_t cue(Items items);

    Mode mode();
    uint64_t positionBytes();
    uint64_t lengthBytes();
    // Silence the element's recordings hold in place of sound that never came (a stalled or
    // suspended server, holes, overruns), the one under way included.
    uint64_t silenceBytes() const {
        return m_silenceBytes + (m_capture ? m_capture->silenceBytes() : 0);
    }
    const audio::AudioFormat& format() const { return m_format; }
    // An encoded save is under way.
    bool saving();
    Reason reason() const { return m_reason; }
    // The file the element was last saved to or opened from, as an absolute path; empty
    // until then ("info NAME file"; "save NAME" with no file name saves there).
    const std::filesystem::path& fileName() const { return m_fileName; }

private:
    // Notices what happened on the sessions' threads since the last command: playback that
    // reached its end, a take that cannot go on.
    void refresh();
    // Ends playing or recording; the position stays where the sound got to.
    void halt(Mode then);
    void finishRecording();
    uint32_t startPlaying(uint64_t from, uint64_t to);
    uint32_t startRecording(uint64_t from, uint64_t budget, bool insert);
    // Makes the take on the first recording and journals the start of a capture at `from`;
    // false (m_reason set) when it cannot.
    bool beginTakeRecording(uint64_t from, bool insert);
    // Saves as FLAC, Opus or MP3 on a BackgroundSave (WaveAudioDeviceSave.cpp); refresh()
    // collects the outcome, stop() cancels it.
    uint32_t startBackgroundSave(const std::string& target, SoundFileType type);
    void finishBackgroundSave();
    void cancelBackgroundSave();
    // The element is now named by `file`, which it was opened from or saved to.
    void nameAfter(const std::filesystem::path& file);
    // Notes a failed save of `target` in the log and in m_reason.
    void noteSaveFailure(const std::string& target, const files::WriteResult& written);
    static Reason saveFailureReason(files::WriteError error);
    // The same in words, for the log.
    static const char* saveFailureText(files::WriteError error);
    // Journals a change to the piece table when there is a take.
    bool logChange(const JournalRecord& record);
    void noteCaptureStop();
    void closeTake();
    static Reason openErrorReason(audio::OpenError e);
    // The loudest sample recorded or played since the last call, 0..32768; 0 when idle.
    uint32_t takeLevel();

    // Bytes as a value in the time format (milliseconds to the nearest one).
    uint64_t toReported(uint64_t bytes) const;
    // A value in the time format as bytes on a whole frame: milliseconds to the nearest
    // frame, bytes down to their frame, samples exactly; the reported `length` maps back to
    // exactly `length`. Every command that takes a time goes through here, so "seek to N",
    // "record to N", "play to N" and "delete from N" all land on the same frame.
    uint64_t fromReported(uint32_t value, uint64_t length) const;
    // Converts a position given in the time format to bytes: MCIERR_OUTOFRANGE past the
    // end, MCIERR_BAD_INTEGER for text that is not a number.
    uint32_t parsePosition(const std::string& text, uint64_t& bytes);
    // "time format" by its word or number (MciConstants.h): MCIERR_BAD_CONSTANT for a word
    // that is none, MCIERR_BAD_TIME_FORMAT for a number of a format the element lacks.
    static uint32_t parseTimeFormat(const Token& token, TimeFormat& format);
    // The most bytes the element may hold: what one WAV file can, on whole frames.
    uint64_t recordLimit() const;
    // "[from p] [to q]": p defaults to the position, q to the end; p after q is out of range.
    uint32_t parseRange(Items items, uint64_t& from, uint64_t& to);

    audio::AudioBackend& m_backend;
    const EngineOptions& m_options;
    audio::AudioFormat m_format;
    // What the next recording records from; unset: the engine's choice.
    std::optional<audio::CaptureSource> m_input;
    const audio::CaptureSource& m_engineInput;
    TimeFormat m_timeFormat = TimeFormat::Milliseconds;
    Mode m_mode = Mode::Stopped;
    Mode m_pausedFrom = Mode::Stopped;  // what a resume continues
    bool m_holdsSound = false;          // format is fixed once sound was recorded or saved
    uint64_t m_position = 0;            // bytes, while not running
    PieceTable m_wave;
    std::unique_ptr<Take> m_take;  // made on the first recording, or adopted
    Reason m_reason = Reason::None;
    bool m_discard = false;
    bool m_cued = false;  // "cue": stopped, but reads "paused"
    std::filesystem::path m_fileName;

    std::unique_ptr<CaptureSession> m_capture;
    uint64_t m_recordStart = 0;
    uint64_t m_lengthBeforeRecord = 0;
    bool m_recordInsert = false;
    bool m_budgetIsLimit = false;  // the take ends at the WAV size limit, not a "to" point

    std::unique_ptr<BackgroundSave> m_save;  // an encoded save under way
    uint64_t m_edits = 0;                    // changes journalled, saves aside
    uint64_t m_silenceBytes = 0;  // kept for sound that never came, by finished recordings
    uint64_t m_editsAtSave = 0;              // m_edits when m_save started

    std::unique_ptr<PlaybackSession> m_playback;
    uint64_t m_playFrom = 0;
    uint64_t m_playTo = 0;
};

}  // namespace wsx::mci
