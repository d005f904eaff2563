#pragma once

#include "audio/AudioFormat.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace wsx::test {

struct WavContents {
    audio::AudioFormat format;
    uint16_t formatTag = 0;
    uint32_t fmtChunkSize = 0;
    std::vector<std::string> chunkIds;  // in file order
    std::vector<uint8_t> data;
};

// Reads a RIFF/WAVE file strictly: sizes must agree with the file length.
std::optional<WavContents> readWav(const std::filesystem::path& path);

// 16-bit little-endian samples of a byte buffer.
std::vector<int16_t> samples16(const std::vector<uint8_t>& bytes);

// The strongest frequency of a mono signal among whole-hertz candidates in [lo, hi]
// (Goertzel), for checking a recorded tone.
double dominantFrequency(const std::vector<int16_t>& mono, uint32_t rate, double lo, double hi);

}  // namespace wsx::test
