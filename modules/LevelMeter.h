#pragma once

#include <cstdint>

namespace wsx {

// The ballistics of the window's peak meter, on a dBFS scale from kFloorDb to 0: the bar
// jumps up to each new peak and falls back at kFallDbPerSecond; a hold mark stays at the
// highest recent peak for kHoldSeconds, then falls the same way; the clip mark lights when
// a sample reached full scale and stays lit for kClipSeconds after the last such sample.
// Thread safety: UI thread only (plain arithmetic, no clock of its own: each reading says how
// long it covers).
class LevelMeter {
public:
    static constexpr double kFloorDb = -60.0;
    static constexpr double kFallDbPerSecond = 24.0;
    static constexpr double kHoldSeconds = 1.5;
    static constexpr double kClipSeconds = 3.0;
    // Full scale on a 16-bit scale: an 8-bit sample at 255 (or 0) counts as well.
    static constexpr uint32_t kClipPeak = 127u << 8;

    // A reading: the loudest sample (0..32768, on a 16-bit scale) of the last `seconds`.
    void update(uint32_t peak, double seconds);
    // Back to silence, marks off (a new take, or nothing running).
    void reset() { *this = LevelMeter(); }

    double barDb() const { return m_barDb; }
    double holdDb() const { return m_holdDb; }
    bool clipped() const { return m_clipAge < kClipSeconds; }

    // 20·log10(peak / 32768), no lower than kFloorDb.
    static double toDb(uint32_t peak);
    // Where `db` lies across the scale: 0 at the floor, 1 at full scale.
    static double fraction(double db);

private:
    double m_barDb = kFloorDb;
    double m_holdDb = kFloorDb;
    double m_holdAge = 0;             // seconds since the hold mark was set
    double m_clipAge = kClipSeconds;  // seconds since the last full-scale sample
};

}  // namespace wsx
