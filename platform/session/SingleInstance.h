#pragma once

#include "platform/session/CommandLine.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace wsx::platform {

// One recorder per desktop session. The first start owns the session-bus name
// io.github.wanshengxia (the program's application id); a later start hands its verb to it
// over the bus and ends.
//
// A verb that arrives before serve() (the window is still loading) waits for it. The
// answer to a later start says only whether the verb was taken: the window does the work
// from its event loop afterwards, so a message box it may show never holds up the caller.
//
// Without a session bus the program runs on its own: a plain start goes on, a verb cannot
// reach anything and fails.
// Lifetime: create after the QApplication, destroy before it.
// Thread safety: UI thread only.
class SingleInstance final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "io.github.wanshengxia.Recorder")

public:
    static constexpr const char* kService = "io.github.wanshengxia";
    static constexpr const char* kPath = "/io/github/wanshengxia";
    static constexpr const char* kInterface = "io.github.wanshengxia.Recorder";
    // Runs a verb in the window; false when the window cannot take it now (its button is
    // grey), as a hot key would be ignored.
    using Handler = std::function<bool(Verb)>;

    // Hands `verb` to the running recorder and returns the exit status for this start, or
    // takes the name and returns nullopt: this start opens the window. --stop and --play
    // with no recorder running, and any verb without a session bus, fail with a message on
    // stderr.
    std::optional<int> handOverOrClaim(Verb verb);
    // After handOverOrClaim: a recorder owns the name but gave no answer in time (it hangs).
    bool runningDidNotAnswer() const { return m_noAnswer; }

    // From now on verbs reach `obey`; this start's own verb and any that waited run first.
    void serve(Handler obey, Verb own);

public slots:
    // The D-Bus method: "record", "stop", "play", "show" or "" (a plain start).
    Q_SCRIPTABLE bool Command(const QString& verb);

private:
    bool run(Verb verb);

    Handler m_obey;
    std::vector<Verb> m_waiting;
    bool m_noAnswer = false;
};

}  // namespace wsx::platform
