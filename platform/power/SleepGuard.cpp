#include "platform/power/SleepGuard.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QLoggingCategory>

#include <fcntl.h>
#include <unistd.h>

namespace wsx::platform {

namespace {

Q_LOGGING_CATEGORY(lcPower, "wsx.power")

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");

}  // namespace

SleepGuard::SleepGuard(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)) {
    if (!m_bus.isConnected()) return;
    m_bus.connect(kService, kPath, kManager, QStringLiteral("PrepareForSleep"), this,
                  SLOT(onPrepareForSleep(bool)));
}

SleepGuard::~SleepGuard() {
    release(Lock::Block);
    release(Lock::Delay);
}

void SleepGuard::setNeeded(Reason reason, bool needed) {
    if (needed) m_reasons.insert(reason);
    else m_reasons.erase(reason);
    if (this->needed()) {
        take(Lock::Block);
        if (!m_sleeping) take(Lock::Delay);
    } else {
        release(Lock::Block);
        // Given up while the machine goes to sleep: the owner calls readyForSleep() when
        // what it gave up is durable.
        if (!m_awaitingReady) release(Lock::Delay);
    }
}

void SleepGuard::readyForSleep() {
    m_awaitingReady = false;
    release(Lock::Delay);
}

void SleepGuard::take(Lock lock) {
    const int i = int(lock);
    if (m_fd[i] >= 0 || m_asked[i]) return;
    if (!m_bus.isConnected()) {
        if (!std::exchange(m_toldUnavailable, true))
            qCWarning(lcPower) << "no system bus: the computer may sleep while recording";
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kManager,
                                                       QStringLiteral("Inhibit"));
    const bool block = lock == Lock::Block;
    call << (block ? QStringLiteral("sleep:idle") : QStringLiteral("sleep"))
         << QStringLiteral("万声匣") << QStringLiteral("正在录音")
         << (block ? QStringLiteral("block") : QStringLiteral("delay"));
    m_asked[i] = true;
    // Asked without waiting: a slow or absent logind never holds up the window.
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, lock](QDBusPendingCallWatcher* w) { onInhibitReply(lock, w); });
}

void SleepGuard::onInhibitReply(Lock lock, QDBusPendingCallWatcher* call) {
    call->deleteLater();
    const int i = int(lock);
    m_asked[i] = false;
    const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *call;
    if (reply.isError()) {
        if (!std::exchange(m_toldUnavailable, true))
            qCWarning(lcPower).noquote()
                << "logind does not keep the computer awake while recording:"
                << reply.error().message();
        return;
    }
    const bool stillWanted = needed() && (lock == Lock::Block || !m_sleeping);
    if (!stillWanted || !reply.value().isValid()) return;  // the reply's copy closes itself
    m_fd[i] = ::fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 0);
}

void SleepGuard::release(Lock lock) {
    const int i = int(lock);
    if (m_fd[i] < 0) return;
    ::close(m_fd[i]);
    m_fd[i] = -1;
}

void SleepGuard::onPrepareForSleep(bool start) {
    if (start) {
        m_sleeping = true;
        if (m_fd[int(Lock::Delay)] < 0) return;  // nothing of ours to put away
        m_awaitingReady = true;
        m_putAway = true;
        emit sleepComing();
        return;
    }
    m_sleeping = false;
    if (needed()) take(Lock::Delay);
    if (std::exchange(m_putAway, false)) emit wokeUp();
}

}  // namespace wsx::platform
