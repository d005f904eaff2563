// The two-stream mixer: sums saturate instead of wrapping, two clocks 100 ppm apart stay in
// step over an hour, and a stream that stalls does not hold the take back.
#include "audio/CaptureMixer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

using wsx::audio::AudioFormat;
using wsx::audio::CaptureMixer;
using wsx::audio::CaptureSink;

namespace {

struct CollectingSink final : CaptureSink {
    std::vector<uint8_t> bytes;
    std::function<void(const uint8_t*, size_t)> each;  // instead of keeping, when set
    size_t onCaptured(const void* data, size_t n) override {
        const auto* at = static_cast<const uint8_t*>(data);
        if (each) each(at, n);
        else bytes.insert(bytes.end(), at, at + n);
        return n;
    }
};

std::vector<int16_t> samples16(const std::vector<uint8_t>& bytes) {
    std::vector<int16_t> out(bytes.size() / 2);
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    return out;
}

}  // namespace

TEST(CaptureMixer, SumsSaturateInsteadOfWrappingIn16And8Bits) {
    {
        const AudioFormat format{22050, 1, 16};
        CollectingSink out;
        CaptureMixer mixer(format, out);
        const int16_t mic[] = {30000, -30000, 20000, 32767, -32768, 0, 100};
        const int16_t computer[] = {30000, -30000, -5000, 1, -1, -32768, -100};
        mixer.onCaptured(0, mic, sizeof mic);
        EXPECT_TRUE(out.bytes.empty()) << "nothing is mixed before both have delivered";
        mixer.onCaptured(1, computer, sizeof computer);
        EXPECT_EQ(samples16(out.bytes),
                  (std::vector<int16_t>{32767, -32768, 15000, 32767, -32768, -32768, 0}));
    }
    {
        const AudioFormat format{11025, 2, 8};
        CollectingSink out;
        CaptureMixer mixer(format, out);
        const uint8_t mic[] = {250, 5, 128, 200, 0, 255};
        const uint8_t computer[] = {250, 5, 128, 56, 0, 1};
        mixer.onCaptured(1, computer, sizeof computer);
        mixer.onCaptured(0, mic, sizeof mic);
        EXPECT_EQ(out.bytes, (std::vector<uint8_t>{255, 0, 128, 128, 0, 128}));
    }
}

// Input 0 runs 50 ppm fast and starts first, input 1 runs 50 ppm slow and starts 100 ms
// later; each delivers what its clock made since its last delivery, every 25 ms and every
// 20 ms. Input 0 writes the number of each of its frames into the left channel, input 1 into
// the right, so every mixed frame says which frame of each it holds, and so when each was
// captured. After the start has been trimmed the two must stay within 20 ms of each other
// for the whole hour, and no silence may stand in for either.
TEST(CaptureMixer, ClocksHundredPpmApartStayInStepForAnHour) {
    constexpr uint32_t kRate = 22050;
    const AudioFormat format{kRate, 2, 16};
    const double rate[2] = {kRate * (1 + 50e-6), kRate * (1 - 50e-6)};
    const double startSeconds[2] = {0.0, 0.1};
    const int periodMs[2] = {25, 20};

    uint64_t framesOut = 0;
    uint64_t index[2] = {0, 0};  // unwrapped frame numbers in the last mixed frame
    double worstSkewMs = 0, lastSkewMs = 0;
    CollectingSink out;
    out.each = [&](const uint8_t* bytes, size_t n) {
        for (size_t at = 0; at + 4 <= n; at += 4, ++framesOut) {
            for (int i = 0; i < 2; ++i) {
                const auto code = uint16_t(bytes[at + 2 * i] | (bytes[at + 2 * i + 1] << 8));
                index[i] += uint16_t(code - uint16_t(index[i] & 0x7fff)) & 0x7fff;
            }
            const double skew = (double(index[0]) / rate[0] - startSeconds[0]) -
                                (double(index[1]) / rate[1] + startSeconds[1]);
            lastSkewMs = skew * 1000;
            if (framesOut > 30ull * kRate)
                worstSkewMs = std::max(worstSkewMs, std::fabs(lastSkewMs));
        }
    };
    CaptureMixer mixer(format, out);

    uint64_t made[2] = {0, 0};
    std::vector<int16_t> buffer;
    for (int ms = 0; ms <= 3600 * 1000; ++ms) {
        for (int i = 0; i < 2; ++i) {
            if (ms % periodMs[i] != 0) continue;
            const double t = ms / 1000.0 - startSeconds[i];
            if (t < 0) continue;
            const auto due = uint64_t(t * rate[i]);
            buffer.assign(size_t(due - made[i]) * 2, 0);
            for (uint64_t f = made[i]; f < due; ++f)
                buffer[size_t(f - made[i]) * 2 + size_t(i)] = int16_t(f & 0x7fff);
            mixer.onCaptured(i, buffer.data(), buffer.size() * 2);
            made[i] = due;
        }
    }
    RecordProperty("worst_skew_us", int(worstSkewMs * 1000));
    EXPECT_LE(worstSkewMs, 20.0);
    EXPECT_LE(std::fabs(lastSkewMs), 20.0);
    EXPECT_EQ(mixer.silentFrames(0) + mixer.silentFrames(1), 0u);
    // The fast input loses its 100 ms head start and 100 ppm of an hour; the slow one at most
    // a little jitter.
    const double expectedDrops = 0.1 * rate[0] + 100e-6 * 3600 * kRate;
    EXPECT_NEAR(double(mixer.droppedFrames(0)), expectedDrops, 0.01 * kRate);
    EXPECT_LT(mixer.droppedFrames(1), uint64_t(0.01 * kRate));
    // The take runs at the slow clock: nothing of it is lost beyond what still waits.
    EXPECT_NEAR(double(mixer.mixedFrames()), double(made[1]), 0.05 * kRate);
    EXPECT_EQ(framesOut, mixer.mixedFrames());
}

TEST(CaptureMixer, AStalledInputStandsInAsSilenceAndTheTakeGoesOn) {
    constexpr uint32_t kRate = 8000;
    const AudioFormat format{kRate, 1, 16};
    CollectingSink out;
    CaptureMixer mixer(format, out);
    const std::vector<int16_t> tone(kRate / 100, 1000);                               // 10 ms
    for (int i = 0; i < 200; ++i) mixer.onCaptured(0, tone.data(), tone.size() * 2);  // 2 s
    const uint64_t stallFrames = uint64_t(kRate * CaptureMixer::kStallSeconds);
    EXPECT_GE(mixer.mixedFrames(), 2 * kRate - stallFrames);
    EXPECT_EQ(mixer.silentFrames(1), mixer.mixedFrames());
    const std::vector<int16_t> mixed = samples16(out.bytes);
    ASSERT_FALSE(mixed.empty());
    EXPECT_TRUE(std::all_of(mixed.begin(), mixed.end(), [](int16_t v) { return v == 1000; }));

    // The stalled input comes back: both are mixed again from then on.
    out.bytes.clear();
    const std::vector<int16_t> other(kRate / 100, 500);
    for (int i = 0; i < 100; ++i) {
        mixer.onCaptured(1, other.data(), other.size() * 2);
        mixer.onCaptured(0, tone.data(), tone.size() * 2);
    }
    const std::vector<int16_t> later = samples16(out.bytes);
    ASSERT_GE(later.size(), size_t(kRate / 2));
    EXPECT_TRUE(
        std::all_of(later.end() - kRate / 2, later.end(), [](int16_t v) { return v == 1500; }));
}
