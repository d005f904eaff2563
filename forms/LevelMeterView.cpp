#include "LevelMeterView.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace wsx {

namespace {
const QColor kGreen(0, 255, 0);  // the read-outs' text
const QColor kTrack(0, 80, 0);
const QColor kClip(255, 0, 0);
constexpr int kClipWidth = 4;  // pixels at the right end, after a one-pixel gap
}  // namespace

LevelMeterView::LevelMeterView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);  // every pixel is painted: nothing below to redraw
    setAccessibleName(QStringLiteral("电平"));
    describeLevel();
}

QString LevelMeterView::levelText(double db) {
    if (db <= LevelMeter::kFloorDb) return QStringLiteral("无声");
    return QStringLiteral("%1 dB").arg(int(std::lround(db)));
}

void LevelMeterView::describeLevel() {
    const QString text = levelText(m_meter.barDb());
    if (text != accessibleDescription()) setAccessibleDescription(text);
}

LevelMeterView::Picture LevelMeterView::picture() const {
    const int scale = width() - kClipWidth - 1;
    Picture p;
    if (m_meter.barDb() > LevelMeter::kFloorDb)
        p.bar = int(LevelMeter::fraction(m_meter.barDb()) * scale + 0.5);
    if (m_meter.holdDb() > LevelMeter::kFloorDb)
        p.hold = std::min(scale - 2, int(LevelMeter::fraction(m_meter.holdDb()) * scale));
    p.clip = m_meter.clipped();
    return p;
}

void LevelMeterView::refresh() {
    describeLevel();
    if (picture() == m_shown) return;
    update();
}

void LevelMeterView::paintEvent(QPaintEvent*) {
    m_shown = picture();
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const int scale = width() - kClipWidth - 1;
    const int h = height();
    painter.fillRect(0, h - 1, scale, 1, kTrack);
    for (int db = int(LevelMeter::kFloorDb); db <= 0; db += 10) {
        const int x = int(LevelMeter::fraction(db) * (scale - 1));
        painter.fillRect(x, h - 3, 1, 3, kTrack);
    }
    painter.fillRect(0, 0, m_shown.bar, h - 1, kGreen);
    if (m_shown.hold >= 0) painter.fillRect(m_shown.hold, 0, 2, h, kGreen);
    if (m_shown.clip) painter.fillRect(scale + 1, 0, kClipWidth, h, kClip);
    else painter.fillRect(scale + 1, h - 3, kClipWidth, 3, kTrack);
}

}  // namespace wsx
