#include "WavReader.h"

#include "engine/take/ElementFormat.h"
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace wsx::mci {

namespace {

constexpr uint16_t kTagPcm = 1;
constexpr uint16_t kTagExtensible = 0xFFFE;
constexpr size_t kPlainFmtBytes = 16;
constexpr size_t kExtensibleFmtBytes = 40;  // the plain part, cbSize 22, and its 22 bytes
// KSDATAFORMAT_SUBTYPE_PCM as it is stored in a file.
constexpr std::array<uint8_t, 16> kPcmSubFormat = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                                   0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// Real files hold a handful of chunks; a file of millions of empty ones is not worth walking.
constexpr int kMaxChunks = 4096;

uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
bool isTag(const uint8_t* p, const char (&tag)[5]) { return std::memcmp(p, tag, 4) == 0; }

// The element's format from the body of a "fmt " chunk of `size` bytes (`fmt` holds its
// first min(size, 40) bytes).
std::optional<audio::AudioFormat> parseFmt(const uint8_t* fmt, uint32_t size) {
    const uint16_t tag = le16(fmt);
    if (tag == kTagExtensible) {
        if (size < kExtensibleFmtBytes || le16(fmt + 16) < kExtensibleFmtBytes - 18) return {};
        if (std::memcmp(fmt + 24, kPcmSubFormat.data(), kPcmSubFormat.size()) != 0) return {};
        // The valid bits may be fewer than the container's (12 in 16); never more.
        if (le16(fmt + 18) > le16(fmt + 14)) return {};
    } else if (tag != kTagPcm) {
        return {};
    }
    audio::AudioFormat f;
    f.channels = le16(fmt + 2);
    f.sampleRate = le32(fmt + 4);
    f.bitsPerSample = le16(fmt + 14);
    const uint16_t blockAlign = le16(fmt + 12);
    // The bytes-per-second field (fmt + 8) is only a hint players ignore; some writers
    // get it wrong.
    if (!elementTakes(f) || blockAlign != f.blockAlign()) return {};
    return f;
}

}  // namespace

std::optional<WavLayout> parseWav(const ReadAt& read, uint64_t fileBytes) {
    uint8_t riff[12];
    if (fileBytes < sizeof riff || !read(0, riff, sizeof riff)) return {};
    // The RIFF size is not checked: writers that were cut short leave it wrong.
    if (!isTag(riff, "RIFF") || !isTag(riff + 8, "WAVE")) return {};
    std::optional<audio::AudioFormat> format;
    std::optional<WavLayout> found;
    uint64_t at = sizeof riff;
    for (int chunks = 0; at + 8 <= fileBytes && chunks < kMaxChunks; ++chunks) {
        uint8_t header[8];
        if (!read(at, header, sizeof header)) return {};
        const uint32_t size = le32(header + 4);
        const uint64_t body = at + 8;
        if (isTag(header, "fmt ") && !format) {
            if (size < kPlainFmtBytes || body + size > fileBytes) return {};
            uint8_t fmt[kExtensibleFmtBytes] = {};
            if (!read(body, fmt, std::min<size_t>(size, sizeof fmt))) return {};
            format = parseFmt(fmt, size);
            if (!format) return {};
        } else if (isTag(header, "data") && !found) {
            found = WavLayout{{}, body, std::min<uint64_t>(size, fileBytes - body)};
        }
        // The sound is the last thing needed; a data size that overstates the file (a
        // recording cut short) would end the walk here anyway.
        if (format && found) break;
        at = body + size + (size & 1u);
    }
    if (!format || !found) return {};
    found->format = *format;
    found->dataBytes -= found->dataBytes % format->blockAlign();
    return found;
}

WavFileReader::~WavFileReader() {
    if (m_fd >= 0) ::close(m_fd);
}

bool WavFileReader::readAt(uint64_t offset, void* out, size_t bytes) const {
    auto* to = static_cast<uint8_t*>(out);
    while (bytes > 0) {
        const ssize_t n = ::pread(m_fd, to, bytes, off_t(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        to += n;
        offset += uint64_t(n);
        bytes -= size_t(n);
    }
    return true;
}

bool WavFileReader::readSound(uint64_t offset, void* out, size_t bytes) const {
    if (offset > m_layout.dataBytes || bytes > m_layout.dataBytes - offset) return false;
    return readAt(m_layout.dataOffset + offset, out, bytes);
}

WavOpenError WavFileReader::open(const std::filesystem::path& path) {
    if (m_fd >= 0) ::close(m_fd);
    // Non-blocking, so a FIFO given as the name does not hang the open.
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (m_fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? WavOpenError::NotFound : WavOpenError::Invalid;
    struct stat st {};
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) return WavOpenError::Invalid;
    const std::optional<WavLayout> parsed = parseWav(
        [this](uint64_t offset, void* out, size_t bytes) { return readAt(offset, out, bytes); },
        uint64_t(st.st_size));
    if (!parsed) return WavOpenError::Invalid;
    m_layout = *parsed;
    return WavOpenError::None;
}

}  // namespace wsx::mci
