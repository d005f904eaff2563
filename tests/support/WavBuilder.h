#pragma once

// Builds WAV files byte by byte, the way other programs lay them out, for tests of the
// engine's WAV reading: chunks in any order, odd sizes with their pad byte, sizes that lie.
#include <cstdint>
#include <vector>

namespace wsx::test {

using Bytes = std::vector<uint8_t>;

inline void putLe(Bytes& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

// A chunk: its id, its size (the body's unless `claimed` says otherwise), the body, and the
// pad byte of an odd-sized body.
inline Bytes chunk(const char* id, const Bytes& body, uint32_t claimed = UINT32_MAX) {
    Bytes out(id, id + 4);
    putLe(out, claimed == UINT32_MAX ? uint32_t(body.size()) : claimed, 4);
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() & 1u) out.push_back(0);
    return out;
}

// The 16 bytes of a plain "fmt " body; `align` < 0 takes the block align the rest implies.
inline Bytes fmtBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
                     int align = -1) {
    Bytes b;
    const uint16_t blockAlign = uint16_t(align >= 0 ? align : channels * bits / 8);
    putLe(b, tag, 2);
    putLe(b, channels, 2);
    putLe(b, rate, 4);
    putLe(b, rate * blockAlign, 4);
    putLe(b, blockAlign, 2);
    putLe(b, bits, 2);
    return b;
}

// "RIFF" size "WAVE" and the chunks; the RIFF size is the true one unless `claimed` is given.
inline Bytes riff(const std::vector<Bytes>& chunks, uint32_t claimed = UINT32_MAX) {
    Bytes body = {'W', 'A', 'V', 'E'};
    for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
    Bytes out = {'R', 'I', 'F', 'F'};
    putLe(out, claimed == UINT32_MAX ? uint32_t(body.size()) : claimed, 4);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

}  // namespace wsx::test
