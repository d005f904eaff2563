#pragma once

#include "CaptureSession.h"
#include "MciTokenizer.h"
#include "PlaybackSession.h"
#include "SpoolFile.h"
#include "WavFile.h"
#include "Waveform.h"
#include "audio/AudioBackend.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

namespace wsx::mci {

struct EngineOptions {
    std::filesystem::path spoolFolder = SpoolFile::defaultFolder();
    uint64_t maxDataBytes = kMaxWavDataBytes;  // what one WAV file can hold
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
    using Items = std::span<const Token>;

    WaveAudioDevice(audio::AudioBackend& backend, const EngineOptions& options);
    ~WaveAudioDevice();

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

    Mode mode();
    uint64_t positionBytes();
    uint64_t lengthBytes();
    const audio::AudioFormat& format() const { return m_format; }

private:
    // Notices what happened on the sessions' threads since the last command: playback that
    // reached its end, a take that cannot go on.
    void refresh();
    // Ends playing or recording; the position stays where the sound got to.
    void halt(Mode then);
    void finishRecording();
    uint32_t startPlaying(uint64_t from, uint64_t to);
    uint32_t startRecording(uint64_t from, uint64_t budget, bool insert);

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
    // The most bytes the element may hold: what one WAV file can, on whole frames.
    uint64_t recordLimit() const;
    // "[from p] [to q]": p defaults to the position, q to the end; p after q is out of range.
    uint32_t parseRange(Items items, uint64_t& from, uint64_t& to);

    audio::AudioBackend& m_backend;
    const EngineOptions& m_options;
    audio::AudioFormat m_format;
    TimeFormat m_timeFormat = TimeFormat::Milliseconds;
    Mode m_mode = Mode::Stopped;
    Mode m_pausedFrom = Mode::Stopped;  // what a resume continues
    bool m_holdsSound = false;          // format is fixed once sound was recorded or saved
    uint64_t m_position = 0;            // bytes, while not running
    Waveform m_wave;
    std::unique_ptr<SpoolFile> m_spool;

    std::unique_ptr<CaptureSession> m_capture;
    uint64_t m_recordStart = 0;
    uint64_t m_lengthBeforeRecord = 0;
    bool m_recordInsert = false;

    std::unique_ptr<PlaybackSession> m_playback;
    uint64_t m_playFrom = 0;
    uint64_t m_playTo = 0;
};

}  // namespace wsx::mci
