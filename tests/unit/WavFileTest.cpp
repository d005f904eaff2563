#include "engine/files/WavFile.h"
#include "support/EngineFixture.h"
#include "support/WavReader.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>

using namespace wsx;
using wsx::test::EngineTest;

namespace {
std::string run(const std::string& command) {
    std::string out;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return out;
    std::array<char, 256> buf{};
    while (fgets(buf.data(), int(buf.size()), p)) out += buf.data();
    ::pclose(p);
    return out;
}
}  // namespace

TEST(WavFile, HeaderIsCanonicalPcm) {
    const auto h = mci::wavHeader({22050, 2, 16}, 1000);
    ASSERT_EQ(h.size(), 44u);
    EXPECT_EQ(std::string(h.begin(), h.begin() + 4), "RIFF");
    EXPECT_EQ(h[4] | h[5] << 8, 1036);
    EXPECT_EQ(std::string(h.begin() + 8, h.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(h[16], 16);  // 16-byte fmt chunk
    EXPECT_EQ(h[20], 1);   // PCM
    EXPECT_EQ(h[28] | h[29] << 8 | h[30] << 16, 88200);
    EXPECT_EQ(h[32], 4);
    EXPECT_EQ(std::string(h.begin() + 36, h.begin() + 40), "data");
}

// Every format the window offers, read back by Python's wave module sample for sample.
class WavFormats : public EngineTest, public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(WavFormats, IndependentReaderSeesExactlyWhatWasRecorded) {
    const auto [rate, channels] = GetParam();
    openA(rate, channels);
    backend.setSignal(audio::sineSignal(440, 12000));
    ASSERT_EQ(send("record A overwrite"), 0u);
    backend.advance(750);
    ASSERT_EQ(send("pause A"), 0u);
    const auto file = tmp.path() / "take.wav";
    ASSERT_EQ(send("save A \"" + file.string() + "\""), 0u);
    const auto raw = tmp.path() / "frames.raw";
    const std::string info = run("python3 " + std::string(WSX_TEST_SUPPORT_DIR) + "/wavcheck.py '" +
                                 file.string() + "' '" + raw.string() + "'");
    const size_t frames = size_t(rate) * 750 / 1000;
    EXPECT_EQ(info, std::to_string(channels) + " 2 " + std::to_string(rate) + " " +
                        std::to_string(frames) + "\n");

    // What the virtual microphone produced, generated afresh.
    std::vector<int16_t> expected(frames * size_t(channels));
    audio::sineSignal(440, 12000)(expected.data(), 0, frames,
                                  {uint32_t(rate), uint16_t(channels), 16});
    std::ifstream in(raw, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    EXPECT_EQ(test::samples16(bytes), expected);
    const auto wav = test::readWav(file);
    ASSERT_TRUE(wav.has_value());
    EXPECT_EQ(wav->chunkIds, (std::vector<std::string>{"fmt ", "data"}));
    EXPECT_EQ(wav->fmtChunkSize, 16u);
}

INSTANTIATE_TEST_SUITE_P(AllFormats, WavFormats,
                         ::testing::Values(std::pair{11025, 1}, std::pair{11025, 2},
                                           std::pair{22050, 1}, std::pair{22050, 2}));

TEST_F(EngineTest, EightBitOddLengthGetsItsPadByte) {
    openA(8000, 1, 8);
    ASSERT_EQ(send("record A"), 0u);
    backend.advance(1);  // 8 bytes
    ASSERT_EQ(send("pause A"), 0u);
    ASSERT_EQ(send("delete A from 0 to 0"), 0u);
    ASSERT_EQ(send("set A time format bytes"), 0u);
    ASSERT_EQ(send("delete A from 7"), 0u);  // leaves 7 bytes
    const auto file = tmp.path() / "odd.wav";
    ASSERT_EQ(send("save A " + file.string()), 0u);
    const auto wav = test::readWav(file);
    ASSERT_TRUE(wav.has_value());
    EXPECT_EQ(wav->data.size(), 7u);
    EXPECT_EQ(std::filesystem::file_size(file), 44u + 8u);
}
