#include "WavReader.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>

namespace wsx::test {

namespace {
uint32_t le(const std::vector<uint8_t>& b, size_t at, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v |= uint32_t(b[at + size_t(i)]) << (8 * i);
    return v;
}
}  // namespace

std::optional<WavContents> readWav(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    const std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)),
                                 std::istreambuf_iterator<char>());
    if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF" ||
        std::string(b.begin() + 8, b.begin() + 12) != "WAVE" || le(b, 4, 4) + 8 != b.size())
        return std::nullopt;
    WavContents w;
    size_t at = 12;
    bool haveFmt = false, haveData = false;
    while (at + 8 <= b.size()) {
        const std::string id(b.begin() + std::ptrdiff_t(at), b.begin() + std::ptrdiff_t(at) + 4);
        const uint32_t size = le(b, at + 4, 4);
        if (at + 8 + size > b.size()) return std::nullopt;
        w.chunkIds.push_back(id);
        if (id == "fmt ") {
            w.fmtChunkSize = size;
            w.formatTag = uint16_t(le(b, at + 8, 2));
            w.format.channels = uint16_t(le(b, at + 10, 2));
            w.format.sampleRate = le(b, at + 12, 4);
            if (le(b, at + 16, 4) != w.format.sampleRate * le(b, at + 20, 2)) return std::nullopt;
            w.format.bitsPerSample = uint16_t(le(b, at + 22, 2));
            if (le(b, at + 20, 2) != w.format.blockAlign()) return std::nullopt;
            haveFmt = true;
        } else if (id == "data") {
            w.data.assign(b.begin() + std::ptrdiff_t(at) + 8,
                          b.begin() + std::ptrdiff_t(at + 8 + size));
            haveData = true;
        }
        at += 8 + size + (size & 1u);
    }
    if (!haveFmt || !haveData || at != b.size()) return std::nullopt;
    return w;
}

std::vector<int16_t> samples16(const std::vector<uint8_t>& bytes) {
    std::vector<int16_t> out(bytes.size() / 2);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = int16_t(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return out;
}

double dominantFrequency(const std::vector<int16_t>& mono, uint32_t rate, double lo, double hi) {
    double best = lo, bestPower = -1;
    for (double f = lo; f <= hi; f += 1.0) {
        const double w = 2 * std::numbers::pi * f / rate;
        const double coeff = 2 * std::cos(w);
        double s1 = 0, s2 = 0;
        for (int16_t x : mono) {
            const double s0 = x + coeff * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
        if (power > bestPower) {
            bestPower = power;
            best = f;
        }
    }
    return best;
}

}  // namespace wsx::test
