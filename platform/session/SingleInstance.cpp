#include "platform/session/SingleInstance.h"

#include <QDBusConnection>
#include <QDBusMessage>

#include <utility>

#include <cstdio>

namespace wsx::platform {

namespace {

// How long a later start waits for the running recorder's answer: the hand-over must end
// within 0.3 s of the start even when the other side hangs.
constexpr int kAnswerTimeoutMs = 200;

// The verb's name on the bus: its option without the dashes.
QString busName(Verb verb) {
    const char* option = verbOption(verb);
    return QString::fromLatin1(*option != '\0' ? option + 2 : option);
}

std::optional<Verb> verbFromBusName(const QString& name) {
    for (Verb verb : {Verb::None, Verb::Record, Verb::Stop, Verb::Play, Verb::Show})
        if (busName(verb) == name) return verb;
    return std::nullopt;
}

}  // namespace

std::optional<int> SingleInstance::handOverOrClaim(Verb verb) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        if (verb == Verb::None) return std::nullopt;
        std::fprintf(stderr,
                     "wanshengxia: 没有会话总线，无法联系正在运行的万声匣。\n"
                     "wanshengxia: no session bus: %s cannot reach a running recorder.\n",
                     verbOption(verb));
        return 3;
    }
    // The object first: a call may come in as soon as the name is ours.
    bus.registerObject(QString::fromLatin1(kPath), this, QDBusConnection::ExportScriptableSlots);
    if (bus.registerService(QString::fromLatin1(kService))) {
        if (verb != Verb::Stop && verb != Verb::Play) return std::nullopt;
        std::fprintf(stderr,
                     "wanshengxia: 万声匣没有在运行。\n"
                     "wanshengxia: %s: the recorder is not running.\n",
                     verbOption(verb));
        return 1;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromLatin1(kService), QString::fromLatin1(kPath),
                                       QString::fromLatin1(kInterface), QStringLiteral("Command"));
    call << busName(verb);
    const QDBusMessage reply = bus.call(call, QDBus::Block, kAnswerTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        m_noAnswer = true;
        std::fprintf(stderr,
                     "wanshengxia: 正在运行的万声匣没有回答。\n"
                     "wanshengxia: the running recorder did not answer: %s\n",
                     qPrintable(reply.errorMessage()));
        return 1;
    }
    if (reply.arguments().value(0).toBool()) return 0;
    std::fprintf(stderr,
                 "wanshengxia: 现在不能这样做（按钮不可用）。\n"
                 "wanshengxia: %s is not possible now (its button is not enabled).\n",
                 verbOption(verb));
    return 1;
}

void SingleInstance::serve(Handler obey, Verb own) {
    m_obey = std::move(obey);
    if (own != Verb::None) run(own);
    for (Verb verb : std::exchange(m_waiting, {})) run(verb);
}

bool SingleInstance::Command(const QString& name) {
    const std::optional<Verb> verb = verbFromBusName(name);
    if (!verb) return false;
    if (!m_obey) {
        m_waiting.push_back(*verb);
        return true;
    }
    return run(*verb);
}

// A plain later start shows the window as --show does.
bool SingleInstance::run(Verb verb) { return m_obey(verb == Verb::None ? Verb::Show : verb); }

}  // namespace wsx::platform
