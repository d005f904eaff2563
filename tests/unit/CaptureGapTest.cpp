// A take keeps the time it took: sound that never came (a stalled or suspended server, on the
// virtual clock as stallCapture) becomes silence of the format's own kind in its place, and
// the element says how much of it there is.
#include "support/EngineFixture.h"
#include "support/WavReader.h"

#include <map>

using wsx::test::EngineTest;

namespace {

class CaptureGaps : public EngineTest {
protected:
    // Runs of equal bytes in the saved sound of A, as (byte, milliseconds) at 8000 frames a
    // second of `frameBytes`.
    std::vector<std::pair<int, int>> savedRuns(size_t frameBytes) {
        const auto file = tmp.path() / "gap.wav";
        EXPECT_EQ(send("save A \"" + file.string() + "\""), 0u);
        const auto wav = wsx::test::readWav(file);
        EXPECT_TRUE(wav.has_value());
        std::vector<std::pair<int, int>> runs;
        if (!wav) return runs;
        const std::vector<uint8_t>& d = wav->data;
        for (size_t i = 0; i < d.size();) {
            size_t j = i;
            while (j < d.size() && d[j] == d[i]) ++j;
            runs.push_back({d[i], int((j - i) / frameBytes / 8)});
            i = j;
        }
        return runs;
    }
};

}  // namespace

TEST_F(CaptureGaps, AStallBecomesSilenceOfTheFormatsKindWhereItWasAtBothSampleWidths) {
    // 0x0303 as 16-bit sound is the byte 3 throughout; as 8-bit it is 3 + 128.
    const std::map<int, std::pair<int, int>> soundAndSilence = {{16, {3, 0x00}}, {8, {131, 0x80}}};
    for (const auto& [bits, bytes] : soundAndSilence) {
        SCOPED_TRACE(bits);
        openA(8000, 1, bits);
        backend.setSignal(wsx::test::constantSignal(0x0303));
        ASSERT_EQ(send("record A"), 0u);
        backend.advance(1000);
        backend.stallCapture(3000);  // longer than the capture ring holds
        backend.advance(1000);
        EXPECT_EQ(ask("status A silence"), "3000") << "while recording";
        ASSERT_EQ(send("stop A"), 0u);
        EXPECT_EQ(ask("status A length"), "5000");
        EXPECT_EQ(ask("status A silence"), "3000");
        const auto [sound, silence] = bytes;
        const std::vector<std::pair<int, int>> expected = {
            {sound, 1000}, {silence, 3000}, {sound, 1000}};
        EXPECT_EQ(savedRuns(size_t(bits / 8)), expected);
        ASSERT_EQ(send("close A"), 0u);
    }
}

TEST_F(CaptureGaps, QuietUpToHalfASecondIsJitterAndGapsAddUpOverATake) {
    openA(8000, 1, 16);
    backend.setSignal(wsx::test::constantSignal(0x0505));
    ASSERT_EQ(send("record A"), 0u);
    backend.advance(500);
    backend.stallCapture(400);  // the sound of those 400 ms is lost, and nothing says so
    backend.advance(500);
    ASSERT_EQ(send("stop A"), 0u);
    EXPECT_EQ(ask("status A length"), "1000");
    EXPECT_EQ(ask("status A silence"), "0");

    // Two stalls in two recordings of the same element: the element counts both, and the
    // silence sits where each was. A server slow to deliver the first sound is no gap.
    for (const uint64_t stall : {800, 1500}) {
        ASSERT_EQ(send("record A"), 0u);
        backend.advance(100);
        backend.stallCapture(stall);
        backend.advance(100);
        ASSERT_EQ(send("stop A"), 0u);
    }
    ASSERT_EQ(send("record A"), 0u);
    backend.stallCapture(700);
    backend.advance(100);
    ASSERT_EQ(send("stop A"), 0u);
    EXPECT_EQ(ask("status A silence"), "2300");
    EXPECT_EQ(ask("status A length"), "3800");
    const std::vector<std::pair<int, int>> expected = {
        {5, 1100}, {0, 800}, {5, 200}, {0, 1500}, {5, 200}};
    EXPECT_EQ(savedRuns(2), expected);
}
