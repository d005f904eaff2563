#pragma once

#include "audio/AudioFormat.h"
#include "engine/take/PieceTable.h"
#include "engine/take/SpoolFile.h"
#include "platform/files/AtomicFile.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace wsx::mci {

// The largest `data` chunk a RIFF file can describe: its size field and the RIFF size
// (36 header bytes + data + pad byte) must both fit 32 bits.
constexpr uint64_t kMaxWavDataBytes = 0xFFFFFFFFull - 36 - 1;

// The 44-byte header of a canonical PCM WAV: RIFF, a 16-byte "fmt " chunk (tag 1), "data".
std::vector<uint8_t> wavHeader(const audio::AudioFormat& format, uint32_t dataBytes);

// Streams `pieces` of `spool` into a WAV file at `target`, atomically (files::writeAtomically):
// the target is either the complete new file or left as it was. A sound file that cannot be
// read fails as Other/EIO; more sound than a WAV holds as DiskFull/EFBIG.
files::WriteResult writeWavFile(const std::filesystem::path& target,
                                const audio::AudioFormat& format, const SpoolFile* spool,
                                const std::vector<Piece>& pieces);

}  // namespace wsx::mci
