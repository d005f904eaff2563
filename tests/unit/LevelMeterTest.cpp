// The level meter's maths: dBFS of a peak, the bar's fall, the hold mark's wait and fall,
// the clip mark. Ticks of 0.25 s keep every sum exact in binary.
#include "modules/LevelMeter.h"

#include <gtest/gtest.h>

#include <cmath>

using wsx::LevelMeter;

TEST(LevelMeter, PeaksMapToDbfsAndDbToTheScale) {
    EXPECT_DOUBLE_EQ(LevelMeter::toDb(32768), 0.0);
    EXPECT_NEAR(LevelMeter::toDb(16384), -6.0206, 1e-4);
    EXPECT_NEAR(LevelMeter::toDb(33), -59.9, 0.05);
    EXPECT_DOUBLE_EQ(LevelMeter::toDb(32), -60.0) << "-60.2 dB is below the floor";
    EXPECT_DOUBLE_EQ(LevelMeter::toDb(1), -60.0);
    EXPECT_DOUBLE_EQ(LevelMeter::toDb(0), -60.0);
    EXPECT_DOUBLE_EQ(LevelMeter::fraction(-60), 0.0);
    EXPECT_DOUBLE_EQ(LevelMeter::fraction(-30), 0.5);
    EXPECT_DOUBLE_EQ(LevelMeter::fraction(0), 1.0);
    EXPECT_DOUBLE_EQ(LevelMeter::fraction(-90), 0.0);
    EXPECT_DOUBLE_EQ(LevelMeter::fraction(3), 1.0);
}

TEST(LevelMeter, TheBarFallsAtOnceAndTheHoldMarkWaitsThenFallsNeverBelowIt) {
    LevelMeter m;
    EXPECT_EQ(m.barDb(), -60.0);
    EXPECT_EQ(m.holdDb(), -60.0);
    m.update(16384, 0.25);
    const double loud = LevelMeter::toDb(16384);
    EXPECT_DOUBLE_EQ(m.barDb(), loud);
    EXPECT_DOUBLE_EQ(m.holdDb(), loud);
    // Silence: the bar falls 6 dB a tick (24 dB/s); the mark stays for 1.5 s.
    for (int tick = 1; tick <= 6; ++tick) {
        m.update(0, 0.25);
        EXPECT_DOUBLE_EQ(m.barDb(), loud - 6 * tick) << tick;
        EXPECT_DOUBLE_EQ(m.holdDb(), loud) << tick;
    }
    m.update(0, 0.25);  // 1.75 s: the mark falls too
    EXPECT_DOUBLE_EQ(m.barDb(), loud - 42);
    EXPECT_DOUBLE_EQ(m.holdDb(), loud - 6);
    for (int tick = 0; tick < 20; ++tick) {
        m.update(0, 0.25);
        EXPECT_GE(m.holdDb(), m.barDb());
    }
    EXPECT_EQ(m.barDb(), -60.0) << "the floor, not below";
    EXPECT_EQ(m.holdDb(), -60.0);

    // A quieter peak lifts the bar at once; a louder one than the mark moves the mark.
    m.update(1024, 0.25);
    EXPECT_DOUBLE_EQ(m.barDb(), LevelMeter::toDb(1024));
    EXPECT_DOUBLE_EQ(m.holdDb(), LevelMeter::toDb(1024));
    m.update(512, 0.25);
    EXPECT_DOUBLE_EQ(m.barDb(), LevelMeter::toDb(1024) - 6) << "falling, still above the peak";
    EXPECT_DOUBLE_EQ(m.holdDb(), LevelMeter::toDb(1024));
    m.update(768, 0.25);
    EXPECT_DOUBLE_EQ(m.barDb(), LevelMeter::toDb(768)) << "the new peak is above the fall";
    EXPECT_DOUBLE_EQ(m.holdDb(), LevelMeter::toDb(1024));
    // The mark's wait starts again with each new highest peak.
    m.update(0, 1.25);
    m.update(2048, 0.25);
    m.update(0, 1.25);
    EXPECT_DOUBLE_EQ(m.holdDb(), LevelMeter::toDb(2048));
}

TEST(LevelMeter, TheClipMarkLightsAtFullScaleAndGoesOutThreeSecondsLater) {
    LevelMeter m;
    m.update(LevelMeter::kClipPeak - 1, 0.25);
    EXPECT_FALSE(m.clipped()) << "just below an 8-bit full-scale sample";
    m.update(127 << 8, 0.25);  // 8-bit 255
    EXPECT_TRUE(m.clipped());
    for (int tick = 1; tick <= 11; ++tick) {
        m.update(30000, 0.25);
        EXPECT_TRUE(m.clipped()) << tick;
    }
    m.update(30000, 0.25);
    EXPECT_FALSE(m.clipped()) << "3 s after the last full-scale sample";
    m.update(32768, 0.25);  // a 16-bit -32768
    EXPECT_TRUE(m.clipped());
    m.reset();
    EXPECT_FALSE(m.clipped());
    EXPECT_EQ(m.barDb(), -60.0);
    EXPECT_EQ(m.holdDb(), -60.0);
}
