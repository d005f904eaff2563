#include "LevelMeter.h"

#include <algorithm>
#include <cmath>

namespace wsx {

double LevelMeter::toDb(uint32_t peak) {
    if (peak == 0) return kFloorDb;
    return std::max(kFloorDb, 20.0 * std::log10(double(peak) / 32768.0));
}

double LevelMeter::fraction(double db) { return std::clamp(1.0 - db / kFloorDb, 0.0, 1.0); }

void LevelMeter::update(uint32_t peak, double seconds) {
    const double db = toDb(peak);
    const double fall = kFallDbPerSecond * seconds;
    m_barDb = std::max(db, std::max(kFloorDb, m_barDb - fall));
    m_holdAge += seconds;
    if (db >= m_holdDb) {
        m_holdDb = db;
        m_holdAge = 0;
    } else if (m_holdAge > kHoldSeconds) {
        // Past its time the mark falls, but never below the bar.
        m_holdDb = std::max(m_barDb, m_holdDb - fall);
    }
    m_clipAge = peak >= kClipPeak ? 0 : m_clipAge + seconds;
}

}  // namespace wsx
