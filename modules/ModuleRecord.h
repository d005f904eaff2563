#pragma once

#include "engine/command/MciInterface.h"
#include "platform/capture/CaptureSource.h"

#include <cstdint>
#include <optional>
#include <string>

namespace wsx {

// Rounds to the nearest whole number, an exact half going to the even neighbour
// (1.5 → 2, 2.5 → 2). Every seconds value the window shows goes through this.
int64_t roundHalfEven(double value);

// A device reply in milliseconds as a number; empty or garbled replies (no device) are not.
std::optional<int64_t> parseMilliseconds(const std::string& text);

// The only code that talks to the sound device: every operation builds exactly one MCI
// command string (two for MciOpenNew) and hands back the result code or the reply text.
// Keeps no state besides the device it talks to.
// Thread safety: UI thread only, like the device.
class ModuleRecord {
public:
    explicit ModuleRecord(mci::MciInterface& mci) : m_mci(mci) {}

    // Index 0 "frames", 1 "hms", 2 "milliseconds", 3 "msf"; any other index appends nothing.
    int16_t MciSetTimeFormat(const std::string& device, int32_t formatIndex);
    int32_t MciSetSamplesPerSec(const std::string& device, const std::string& rate);
    int32_t MciSetChannels(const std::string& device, const std::string& channels);
    // Replies in milliseconds as decimal text; empty text when the query fails.
    std::string MciGetPosition(const std::string& device);
    std::string MciGetLength(const std::string& device);
    int32_t MciPlay(const std::string& device);
    int32_t MciPlayFrom(const std::string& device, const std::string& position);
    int32_t MciPause(const std::string& device);
    int32_t MciClose(const std::string& device);
    int32_t MciRecordOverwrite(const std::string& device);
    // Opens a new, empty element under "RecordDev" at 16 bits per sample; reports nothing.
    void MciOpenNew();
    int32_t MciSeek(const std::string& device, const std::string& position);
    // The file name goes in double quotes (inner quotes doubled), so paths with blanks save.
    int32_t MciSave(const std::string& device, const std::string& fileName);
    int32_t MciDeleteFrom(const std::string& device);
    // Reopens a take an earlier run left (mci::TakeStore::orphans) as "RecordDev": stopped
    // at 0 with the take's sound and format. 0, or 275 (not a take), 288 (another running
    // program holds it), 296 (unreadable). The folder is quoted like MciSave's name.
    int32_t MciOpenTake(const std::string& takeFolder);
    // Why the last record, play or save failed, or why a take stopped by itself: one word,
    // "none", "noserver", "nodevice", "folder", "diskfull", "serverlost", "sizelimit",
    // and after a save "nofolder", "permission", "nametoolong", "notregular", "ioerror";
    // empty when the query fails (no device).
    std::string MciStatusReason(const std::string& device);
    // "stopped", "playing", "recording" or "paused"; empty when the query fails. A take that
    // stopped by itself (disk full, server gone) or a playback cut off is "paused".
    std::string MciGetMode(const std::string& device);
    int32_t MciDeleteTo(const std::string& device);
    // What every element records from until it chooses its own: "default", "monitor",
    // "both", or an input's name (sent quoted like MciSave's name).
    int32_t MciSetInput(const audio::CaptureSource& input);
    // Milliseconds of silence the element's recordings hold for sound that never came (a
    // stalled or suspended server); empty when the query fails.
    std::string MciGetSilence(const std::string& device);
    // The loudest sample since the last query, 0..32768; empty when the query fails.
    std::string MciGetLevel(const std::string& device);
    // A FLAC, Opus or MP3 save runs in the background: "true" while it does, "false" after
    // (its outcome is then in MciStatusReason), empty when the query fails.
    std::string MciGetSaving(const std::string& device);
    // How far that save got, "0".."100"; empty when the query fails.
    std::string MciGetSaveProgress(const std::string& device);
    // Stops playing or recording, and cancels a save running in the background.
    int32_t MciStop(const std::string& device);

    // Milliseconds as decimal text → "mm:ss", nearest second with halves to even; minutes
    // are not limited to two digits. Text that is not a whole non-negative number (the
    // empty reply of a failed query) gives "--:--".
    static std::string FormatTime(const std::string& milliseconds);

private:
    int32_t send(const std::string& command);
    std::string query(const std::string& command);

    mci::MciInterface& m_mci;
};

}  // namespace wsx
