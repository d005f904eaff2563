#pragma once

#include "modules/LevelMeter.h"

#include <QWidget>

namespace wsx {

// Draws a LevelMeter in a black read-out: a dim track with a tick every 10 dB, the bar and the
// hold mark in the read-outs' green, and at the right end the clip mark, red once lit. The
// track always shows, so silence is plain to see: no bar at all. Screen readers read it as
// 电平 with the bar's level in whole dB ("-12 dB", "无声" at the floor).
// Thread safety: UI thread only.
class LevelMeterView final : public QWidget {
public:
    explicit LevelMeterView(QWidget* parent);

    LevelMeter& meter() { return m_meter; }
    // Repaints when the meter's picture has changed by a pixel or the clip mark; a steady
    // sound costs no drawing.
    void refresh();
    // What a screen reader says for a bar at `db`: "-12 dB", or "无声" at the floor.
    static QString levelText(double db);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Picture {
        int bar = 0, hold = -1;  // pixels; -1: no mark
        bool clip = false;
        bool operator==(const Picture&) const = default;
    };
    Picture picture() const;
    // Changes the accessible description only when the spoken level changes.
    void describeLevel();

    LevelMeter m_meter;
    Picture m_shown;
};

}  // namespace wsx
