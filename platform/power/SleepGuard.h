#pragma once
// Keeps the computer awake while the recorder needs it, through logind on the system bus:
// while a take records, a "block" inhibitor on "sleep:idle" (the machine does not sleep or go
// idle on its own) and a "delay" inhibitor on "sleep" (when it sleeps anyway, the lid or the
// user, the recorder gets PrepareForSleep(true) and a moment to make the take durable and
// pause it before it lets the machine go). What needs the machine awake is counted by
// Reason, so a later "armed" state (a timer, a voice trigger) takes the same inhibitors.
//
// No system bus, or no logind on it: nothing is held, recording goes on as before, and the
// log says why, once.
//
// Thread safety: the GUI thread only (it lives on Qt's event loop).

#include <QDBusConnection>
#include <QObject>

#include <set>

class QDBusPendingCallWatcher;

namespace wsx::platform {

class SleepGuard final : public QObject {
    Q_OBJECT
public:
    enum class Reason { Recording };

    // `bus`: logind's bus, the system bus unless a test gives another.
    explicit SleepGuard(QDBusConnection bus = QDBusConnection::systemBus(),
                        QObject* parent = nullptr);
    ~SleepGuard() override;

    // Holds the inhibitors while any reason needs them; lets them go when none does.
    void setNeeded(Reason reason, bool needed);
    bool needed() const { return !m_reasons.empty(); }
    // After sleepComing(): everything is durable and paused; the delay lock goes (also when
    // the reasons were given up meanwhile).
    void readyForSleep();

signals:
    // The machine is about to sleep while a reason holds: make it durable and pause it,
    // then call readyForSleep() (logind waits at most its InhibitDelayMaxSec).
    void sleepComing();
    // The machine woke from a sleep that sleepComing() announced.
    void wokeUp();

private slots:
    void onPrepareForSleep(bool start);

private:
    enum class Lock { Block, Delay };
    void take(Lock lock);
    void release(Lock lock);
    void onInhibitReply(Lock lock, QDBusPendingCallWatcher* call);

    QDBusConnection m_bus;
    std::set<Reason> m_reasons;
    int m_fd[2] = {-1, -1};            // by Lock: the inhibitor's descriptor, -1 when not held
    bool m_asked[2] = {false, false};  // by Lock: an Inhibit call is on its way
    bool m_sleeping = false;           // between PrepareForSleep(true) and (false)
    bool m_awaitingReady = false;      // sleepComing() emitted, readyForSleep() not yet called
    bool m_putAway = false;            // sleepComing() was emitted for this sleep: wokeUp() follows
    bool m_toldUnavailable = false;
};

}  // namespace wsx::platform
