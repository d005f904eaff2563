#pragma once

#include "audio/AudioFormat.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

namespace wsx::mci {

// Where the sound of a PCM WAV file lies, and its format.
struct WavLayout {
    audio::AudioFormat format;
    uint64_t dataOffset = 0;  // of the first sample byte in the file
    uint64_t dataBytes = 0;   // whole frames only, all of them inside the file
    bool operator==(const WavLayout&) const = default;
};

// Reads `bytes` at `offset` of the file into `out`; false when they are not all there.
using ReadAt = std::function<bool(uint64_t offset, void* out, size_t bytes)>;

// Finds the format and the sound of a RIFF/WAVE file of `fileBytes` bytes, reading only
// chunk headers and the "fmt " chunk (never more than a few dozen bytes at a time, whatever
// the sizes in the file claim). Accepts what the element plays: PCM (tag 1, or
// WAVE_FORMAT_EXTENSIBLE with the PCM sub-format), 8 or 16 bits, 1 or 2 channels,
// 8000-48000 Hz, block align consistent with these. Tolerates what real files hold: other
// chunks before or after the sound (LIST, fact, ...), odd-sized chunks followed by their pad
// byte, a RIFF size that disagrees with the file, a "data" size reaching past the end of the
// file (the sound is what is there, as players take it) or not a whole number of frames.
// Nothing when it is not such a file.
std::optional<WavLayout> parseWav(const ReadAt& read, uint64_t fileBytes);

enum class WavOpenError { None, NotFound, Invalid };

// A WAV file open for reading its sound.
// Thread safety: readSound() from any thread; the rest from the one that opened it.
class WavFileReader {
public:
    WavFileReader() = default;
    ~WavFileReader();
    WavFileReader(const WavFileReader&) = delete;
    WavFileReader& operator=(const WavFileReader&) = delete;

    // parseWav() on the file at `path`. NotFound: no such file (or a folder on the way is
    // missing); Invalid: anything else that cannot be read, or not a file parseWav() accepts.
    WavOpenError open(const std::filesystem::path& path);
    const WavLayout& layout() const { return m_layout; }
    // Reads `bytes` of sound from byte `offset` of the sound (not of the file).
    bool readSound(uint64_t offset, void* out, size_t bytes) const;

private:
    bool readAt(uint64_t offset, void* out, size_t bytes) const;
    int m_fd = -1;
    WavLayout m_layout;
};

}  // namespace wsx::mci
