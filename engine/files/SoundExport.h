#pragma once
// Saving a take's sound as FLAC, Ogg Opus or MP3 through libsndfile. The WAV path stays in
// WavFile.cpp: it is written byte for byte by hand and needs no codec.

#include "audio/AudioFormat.h"
#include "engine/take/PieceTable.h"
#include "engine/take/SpoolFile.h"
#include "platform/files/AtomicFile.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wsx::mci {

enum class SoundFileType { Wav, Flac, Opus, Mp3 };

// The type a file name asks for by its extension, ignoring case (".FLAC" is FLAC); nullopt
// for a name without an extension or with another one.
std::optional<SoundFileType> typeFromExtension(std::string_view fileName);
// ".wav", ".flac", ".opus", ".mp3".
std::string_view extensionOf(SoundFileType type);

// What a save writes, from the name the user typed and the type of the filter selected in
// the dialog: a known extension chooses the type whichever filter is selected; a name
// without an extension gets the selected filter's; another extension keeps the name and
// takes the selected filter's type.
struct SaveTarget {
    std::string fileName;
    SoundFileType type = SoundFileType::Wav;
};
SaveTarget chooseSaveTarget(std::string fileName, SoundFileType selected);

// The quality every encoded save uses. FLAC is lossless (level 5 of 0..8: libFLAC's own
// default, nearly the smallest at a fraction of level 8's time). Opus is coded at the
// lowest rate it supports at or above the take's (11025 → 12000, 22050 → 24000, 44100 →
// 48000: libsndfile refuses other rates) at about 32 kbit/s per channel, variable. MP3 is
// LAME's variable bit rate at quality 4 of 0 (best) to 9, at the take's own rate when MPEG
// has it (MPEG 2 and 2.5 cover 11025 and 22050), else at the next MPEG rate up.
constexpr double kFlacLevel = 5.0 / 8.0;
constexpr int kOpusBitsPerChannel = 32000;
constexpr double kMp3VbrQuality = 0.4;
// The rate a take at `rate` frames per second is coded at in `type`: the take's own, or the
// lowest the codec supports at or above it (at most 48000), which the take is resampled to.
// The codec must never be asked for another: libsndfile then fails to open, and for MP3
// leaves LAME's encoder state behind.
uint32_t codedRateFor(SoundFileType type, uint32_t rate);

// Streams `pieces` of `spool` (sound in `format`) into an encoded file at `target`,
// atomically (files::writeAtomically): the target is the complete new file or left as it
// was, and no temporary stays behind. `progress(doneBytes)` is called after each chunk
// with how much of the sound was encoded; `cancel` set from another thread stops it within
// a chunk (a fraction of a second), failing with ECANCELED. A codec that refuses the
// format fails as Other/EINVAL, a sound file that cannot be read as Other/EIO.
// Thread safety: none shared; runs on whichever thread calls it (BackgroundSave's).
files::WriteResult exportSound(const std::filesystem::path& target, SoundFileType type,
                               const audio::AudioFormat& format, const SpoolFile* spool,
                               const std::vector<Piece>& pieces,
                               const std::function<void(uint64_t doneBytes)>& progress,
                               const std::atomic<bool>& cancel);

}  // namespace wsx::mci
