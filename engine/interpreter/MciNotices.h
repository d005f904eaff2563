#pragma once

#include "engine/device/WaveAudioDevice.h"

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace wsx::mci {

// How a command given with "notify" ended, with the numbers of the platform's MCI_NOTIFY_*.
enum class Notification : uint32_t {
    Successful = 1,  // done: at once, or when the play, record or encoded save reached its end
    Superseded = 2,  // another command with notify came for the element first
    Aborted = 4,     // stopped, closed or replaced before it was done
    Failure = 8,     // it ended by itself short of its end (the server went, the disk filled)
};
// "successful", "superseded", "aborted", "failure".
const char* notificationWord(Notification n);

// Called with the alias as it was opened (or the device name a command without an element
// named) and how the command ended. Engine thread.
using NotifySink = std::function<void(const std::string& alias, Notification)>;

// The notifications of the open elements. Each element keeps at most one pending: that of
// its last play, record or encoded save given with notify, until it ends. Any other
// command with notify is successful at once, after superseding the pending one. stop,
// seek, delete, save, close and a play or record without notify abort a pending play or
// record; stop and close abort a pending save. pause keeps it (resume continues the play).
// A command that fails sends nothing and leaves the pending one.
// Thread safety: engine thread only.
class ElementNotices {
public:
    void setSink(NotifySink sink) { m_sink = std::move(sink); }

    void opened(const std::string& key, const std::string& alias, WaveAudioDevice& device);
    // The element closes: a pending notification is aborted; with `notify` the close itself
    // is then successful.
    void closed(const std::string& key, bool notify);
    // After a command `verb` on the element succeeded.
    void commandDone(const std::string& key, std::string_view verb, bool notify);
    // Sends the notifications of the plays, records and saves that ended since the last look.
    void poll();
    // A successful command that named no element (a device type, "all").
    void sendNow(const std::string& name, Notification n) {
        if (m_sink) m_sink(name, n);
    }

private:
    enum class Pending { None, Transport, Save };
    struct Element {
        std::string alias;
        WaveAudioDevice* device = nullptr;
        Pending pending = Pending::None;
        bool pausedByCommand = false;  // a pending play or record paused by "pause"
    };
    void settle(Element& e, Notification n);

    NotifySink m_sink;
    std::map<std::string, Element> m_elements;  // by the engine's key (lower-case alias)
};

}  // namespace wsx::mci
