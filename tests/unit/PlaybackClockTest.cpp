// The playback clock without a server: a stream written as source bytes and padding runs,
// heard up to a stream time, must report exactly the source bytes heard.
#include "audio/PlaybackClock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using wsx::audio::PlaybackClock;
using wsx::audio::TimingReport;

namespace {

// 8000 Hz makes a frame exactly 125 us, so stream times map to bytes without rounding and
// the test can state every expected position exactly.
constexpr uint32_t kRate = 8000;
constexpr uint64_t kUsecPerFrame = 125;

// A sink that has taken everything written and plays it: the report does not bound.
TimingReport tookAll(const PlaybackClock& clock) {
    return TimingReport{int64_t(clock.written()), 0, false, 0};
}

// Writes to the clock and keeps, byte by byte, which stream bytes are source: the model the
// clock's answers are checked against.
struct Stream {
    explicit Stream(uint32_t frameBytes) : frame(frameBytes), clock(kRate, frameBytes) {}
    void write(uint64_t sourceFrames, uint64_t paddingFrames) {
        clock.noteWrite(sourceFrames * frame, paddingFrames * frame);
        isSource.insert(isSource.end(), sourceFrames * frame, true);
        isSource.insert(isSource.end(), paddingFrames * frame, false);
    }
    uint64_t sourceBefore(uint64_t heardFrames) const {
        uint64_t n = 0;
        for (uint64_t i = 0; i < heardFrames * frame; ++i) n += isSource[i];
        return n;
    }
    uint64_t hear(uint64_t frames) { return clock.update(frames * kUsecPerFrame, tookAll(clock)); }

    uint32_t frame;
    PlaybackClock clock;
    std::vector<bool> isSource;
};

}  // namespace

TEST(PlaybackClock, CountsOnlySourceBytesHeardWhateverThePaddingRuns) {
    for (uint32_t frame : {1u, 4u}) {  // 8-bit mono, 16-bit stereo
        SCOPED_TRACE(frame);
        Stream s(frame);
        s.write(0, 30);   // the source lags from the very start
        s.write(100, 0);  //
        s.write(40, 60);  // falls behind mid-write
        s.write(0, 25);   // still behind: adjacent padding runs
        s.write(0, 5);    //
        s.write(200, 0);
        s.write(1, 1);  // one-frame runs
        s.write(1, 1);
        s.write(50, 0);
        const uint64_t total = s.isSource.size() / frame;
        for (uint64_t heard = 0; heard <= total + 10; ++heard) {
            ASSERT_EQ(s.hear(heard), s.sourceBefore(std::min(heard, total)))
                << "heard " << heard << " frames";
        }
        EXPECT_EQ(s.clock.position(), s.clock.pulled());
        EXPECT_EQ(s.clock.pulled(), 392u * frame);
        EXPECT_EQ(s.clock.written(), total * frame);
    }
}

TEST(PlaybackClock, BoundByTheServersReportNeverBackNeverPastTheSource) {
    PlaybackClock clock(kRate, 1);
    clock.noteWrite(8000, 0);           // one second of 8-bit mono
    const uint64_t ahead = 60'000'000;  // interpolated time that ran on with nothing heard

    // The sink has taken nothing: whatever the stream time says, nothing was heard.
    EXPECT_EQ(clock.update(ahead, TimingReport{0, 0, true, 0}), 0u);
    EXPECT_EQ(clock.update(ahead, TimingReport{-4000, 0, true, 0}), 0u);
    // More still in the sink than it took: no wrap-around to a huge position.
    EXPECT_EQ(clock.update(ahead, TimingReport{800, 1'000'000, false, 0}), 0u);
    // Taken 0.5 s, 0.1 s of it still in the sink: 0.4 s heard...
    EXPECT_EQ(clock.update(ahead, TimingReport{4000, 100'000, false, 0}), 3200u);
    // ...moved on by the report's age only while the sink plays.
    EXPECT_EQ(clock.update(ahead, TimingReport{4000, 100'000, false, 50'000}), 3200u);
    EXPECT_EQ(clock.update(ahead, TimingReport{4000, 100'000, true, 50'000}), 3600u);
    // The smaller of the two times counts, and the position never goes back.
    EXPECT_EQ(clock.update(450'000, TimingReport{8000, 0, true, 0}), 3600u);
    EXPECT_EQ(clock.update(500'000, TimingReport{8000, 0, true, 0}), 4000u);
    EXPECT_EQ(clock.update(ahead, TimingReport{2000, 0, false, 0}), 4000u);
    // Never more than was written from the source, even when the clocks run past it.
    EXPECT_EQ(clock.update(ahead, TimingReport{100'000, 0, true, 0}), 8000u);
    EXPECT_FALSE(clock.drained());
}

TEST(PlaybackClock, DrainGivesTheExactTotalAndHoldsIt) {
    // 22050 Hz 16-bit stereo: stream times round down to whole frames, so before the drain
    // the position can stay a frame short of the end; the drain makes it exact.
    PlaybackClock clock(22050, 4);
    for (int i = 0; i < 10; ++i) clock.noteWrite(4410 * 4, i % 3 == 1 ? 1000 * 4 : 0);
    const uint64_t nearEnd = clock.written() * 1'000'000 / (22050 * 4) - 1;
    const uint64_t before = clock.update(nearEnd, tookAll(clock));
    EXPECT_LT(before, clock.pulled());
    EXPECT_GT(before, clock.pulled() - 2 * 4);
    EXPECT_EQ(before % 4, 0u) << "positions lie on whole frames";

    EXPECT_EQ(clock.drain(), 44100u * 4);
    EXPECT_TRUE(clock.drained());
    EXPECT_EQ(clock.update(0, TimingReport{}), 44100u * 4);
    EXPECT_EQ(clock.update(UINT64_MAX / 2, tookAll(clock)), 44100u * 4);
}

TEST(PlaybackClock, TooManyUnheardPaddingRunsLagButNeverLead) {
    Stream s(2);
    const size_t runs = PlaybackClock::kMaxPaddingRuns + 20;
    for (size_t i = 0; i < runs; ++i) s.write(10, 3);
    s.write(10, 0);
    const uint64_t total = s.isSource.size() / 2;
    // Exact while the remembered runs are being heard; the runs beyond the limit were merged
    // into the last remembered one, so from there the position may lag, never lead.
    const uint64_t exactUntil = (PlaybackClock::kMaxPaddingRuns - 1) * 13 + 10;
    for (uint64_t heard = 0; heard <= total; ++heard) {
        const uint64_t position = s.hear(heard);
        if (heard <= exactUntil) ASSERT_EQ(position, s.sourceBefore(heard)) << heard;
        else ASSERT_LE(position, s.sourceBefore(heard)) << heard;
    }
    EXPECT_EQ(s.clock.drain(), (runs + 1) * 10 * 2);
}

TEST(PlaybackClock, CountsBeyondFourGigabytesStayExact) {
    // Twelve hours of 48 kHz 16-bit stereo (8.3 GB) with a second of padding after six.
    constexpr uint64_t kBytesPerSecond = 48000 * 4;
    constexpr uint64_t kHour = 3600 * kBytesPerSecond;
    PlaybackClock clock(48000, 4);
    clock.noteWrite(6 * kHour, kBytesPerSecond);
    clock.noteWrite(6 * kHour, 0);
    ASSERT_GT(clock.written(), uint64_t(UINT32_MAX));
    const auto hearSeconds = [&](uint64_t seconds) {
        return clock.update(seconds * 1'000'000,
                            TimingReport{int64_t(clock.written()), 0, false, 0});
    };
    EXPECT_EQ(hearSeconds(5 * 3600), 5 * kHour);
    EXPECT_EQ(hearSeconds(6 * 3600), 6 * kHour);
    EXPECT_EQ(hearSeconds(6 * 3600 + 1), 6 * kHour) << "the padding second is not counted";
    EXPECT_EQ(hearSeconds(10 * 3600 + 1), 10 * kHour);
    EXPECT_EQ(hearSeconds(12 * 3600 + 1), 12 * kHour);
    EXPECT_EQ(clock.drain(), 12 * kHour);
}
