#pragma once

#include "modules/LevelMeter.h"

#include <QWidget>

namespace wsx {

// Draws a LevelMeter in a black read-out: a dim track with a tick every 10 dB, the bar and the
// hold mark in the read-outs' green, and at the right end the clip mark, red once lit. The
// track always shows, so silence is plain to see: no bar at all.
// Thread safety: UI thread only.
class LevelMeterView final : public QWidget {
public:
    explicit LevelMeterView(QWidget* parent);

    LevelMeter& meter() { return m_meter; }
    // Repaints when the meter's picture has changed by a pixel or the clip mark; a steady
    // sound costs no drawing.
    void refresh();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Picture {
        int bar = 0, hold = -1;  // pixels; -1: no mark
        bool clip = false;
        bool operator==(const Picture&) const = default;
    };
    Picture picture() const;

    LevelMeter m_meter;
    Picture m_shown;
};

}  // namespace wsx
