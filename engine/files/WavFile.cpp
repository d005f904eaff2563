#include "WavFile.h"

#include "platform/log/Log.h"

#include <algorithm>
#include <cerrno>
#include <memory>

namespace wsx::mci {

namespace {

void putLe(std::vector<uint8_t>& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
void putTag(std::vector<uint8_t>& out, const char (&tag)[5]) {
    out.insert(out.end(), tag, tag + 4);
}

}  // namespace

std::vector<uint8_t> wavHeader(const audio::AudioFormat& f, uint32_t dataBytes) {
    std::vector<uint8_t> h;
    h.reserve(44);
    putTag(h, "RIFF");
    putLe(h, 36 + dataBytes + (dataBytes & 1u), 4);
    putTag(h, "WAVE");
    putTag(h, "fmt ");
    putLe(h, 16, 4);
    putLe(h, 1, 2);  // PCM
    putLe(h, f.channels, 2);
    putLe(h, f.sampleRate, 4);
    putLe(h, f.bytesPerSecond(), 4);
    putLe(h, f.blockAlign(), 2);
    putLe(h, f.bitsPerSample, 2);
    putTag(h, "data");
    putLe(h, dataBytes, 4);
    return h;
}

files::WriteResult writeWavFile(const std::filesystem::path& target,
                                const audio::AudioFormat& format, const SpoolFile* spool,
                                const std::vector<Piece>& pieces) {
    uint64_t total = 0;
    for (const Piece& p : pieces) total += p.length;
    if (total > kMaxWavDataBytes) return {files::WriteError::DiskFull, EFBIG};
    return files::writeAtomically(target, files::userFileMode(), [&](int fd) {
        const std::vector<uint8_t> header = wavHeader(format, uint32_t(total));
        if (int err = files::writeAll(fd, header.data(), header.size())) return err;
        constexpr size_t kChunk = 256 * 1024;
        std::unique_ptr<char[]> buffer(new char[kChunk]);
        for (const Piece& p : pieces) {
            for (uint64_t done = 0; done < p.length;) {
                const size_t n = size_t(std::min<uint64_t>(kChunk, p.length - done));
                if (!spool || !spool->readAt(p.offset + done, buffer.get(), n)) return EIO;
                if (int err = files::writeAll(fd, buffer.get(), n)) return err;
                done += n;
            }
        }
        const char pad = 0;
        return (total & 1u) ? files::writeAll(fd, &pad, 1) : 0;
    });
}

}  // namespace wsx::mci
