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

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    LevelMeter m_meter;
};

}  // namespace wsx
