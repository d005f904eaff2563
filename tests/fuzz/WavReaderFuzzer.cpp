// A file given to "open <file>.wav", as any program or a hostile hand may have written it.
// The input is the whole file. Properties:
//   - reading it from memory (parseWav) and from disk (WavFileReader) agree, and neither
//     reads more than a header's worth at a time, whatever the sizes in the file claim;
//   - what is accepted lies inside the file, in whole frames;
//   - what is accepted, written back as the element saves it (writeWavFile) and read again,
//     gives the same format and the same sound, byte for byte.
#include "FuzzFolder.h"
#include "engine/files/WavFile.h"
#include "engine/files/WavReader.h"
#include "engine/take/SpoolFile.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

bool writeFile(const std::filesystem::path& file, const uint8_t* data, size_t size) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const bool ok = size == 0 || ::write(fd, data, size) == ssize_t(size);
    ::close(fd);
    return ok;
}

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace wsx::mci;
    size_t largestRead = 0;
    const std::optional<WavLayout> layout = parseWav(
        [&](uint64_t offset, void* out, size_t bytes) {
            largestRead = std::max(largestRead, bytes);
            if (offset > size || bytes > size - offset) return false;
            std::memcpy(out, data + offset, bytes);
            return true;
        },
        size);
    check(largestRead <= 40);

    const auto& root = wsx::fuzz::quietFolder().root();
    const std::filesystem::path in = root / "in.wav";
    if (!writeFile(in, data, size)) std::abort();
    WavFileReader reader;
    const WavOpenError opened = reader.open(in);
    check((opened == WavOpenError::None) == layout.has_value());
    if (layout) {
        const WavLayout& l = *layout;
        check(reader.layout() == l);
        check(l.dataOffset <= size && l.dataBytes <= size - l.dataOffset);
        check(l.dataBytes % l.format.blockAlign() == 0);
        check(std::memcmp(data + l.dataOffset - 8, "data", 4) == 0);

        // Written back as a save writes it, then read again.
        std::vector<uint8_t> sound(l.dataBytes);
        check(reader.readSound(0, sound.data(), sound.size()));
        check(sound.empty() || std::memcmp(sound.data(), data + l.dataOffset, sound.size()) == 0);
        const auto spool = SpoolFile::open(root / "sound", true);
        size_t kept = 0;
        if (!spool || !spool->append(sound.data(), sound.size(), 1, kept)) std::abort();
        const std::filesystem::path out = root / "out.wav";
        if (!writeWavFile(out, l.format, spool.get(), {{0, sound.size()}})) std::abort();
        WavFileReader again;
        check(again.open(out) == WavOpenError::None);
        check(again.layout() == (WavLayout{l.format, 44, l.dataBytes}));
        std::vector<uint8_t> back(sound.size());
        check(again.readSound(0, back.data(), back.size()));
        check(back == sound);
    }
    wsx::fuzz::quietFolder().clear();
    return 0;
}
