// The level meter under the position read-out: while recording or playing, the loudest
// sample since the last tick, 28 times a second.
#include "LevelMeterView.h"
#include "frmMain.h"
#include "ui_frmMain.h"

#include <charconv>

namespace wsx {

namespace {
constexpr int kLevelIntervalMs = 35;
// Below the position text, inside the read-out's sunken frame.
constexpr QRect kMeterGeometry(4, 21, 158, 6);
}  // namespace

void frmMain::setUpLevelMeter() {
    m_levelMeter = new LevelMeterView(ui->Picture3);
    m_levelMeter->setGeometry(kMeterGeometry);
    TimerLevel.setInterval(kLevelIntervalMs);
    TimerLevel.setTimerType(Qt::CoarseTimer);
    connect(&TimerLevel, &QTimer::timeout, this, &frmMain::TimerLevel_Timer);
}

void frmMain::TimerLevel_Timer() {
    const std::string reply = m_record.MciGetLevel(kDevice);
    uint32_t peak = 0;
    std::from_chars(reply.data(), reply.data() + reply.size(), peak);  // a failed query: 0
    m_levelMeter->meter().update(peak, kLevelIntervalMs / 1000.0);
    m_levelMeter->refresh();
}

void frmMain::showLevelMeter(bool running) {
    if (running == m_levelRunning) return;
    m_levelRunning = running;
    if (!running) {
        m_levelMeter->meter().reset();
        m_levelMeter->refresh();
    }
    runLevelTimer();
}

void frmMain::runLevelTimer() {
    // 28 queries and repaints a second: none while nobody can see the meter.
    const bool run = m_levelRunning && isVisible() && !(windowState() & Qt::WindowMinimized);
    if (run == TimerLevel.isActive()) return;
    if (run) TimerLevel.start();
    else TimerLevel.stop();
}

}  // namespace wsx
