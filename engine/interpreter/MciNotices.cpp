#include "MciNotices.h"

namespace wsx::mci {

const char* notificationWord(Notification n) {
    switch (n) {
    case Notification::Successful: return "successful";
    case Notification::Superseded: return "superseded";
    case Notification::Aborted: return "aborted";
    case Notification::Failure: return "failure";
    }
    return "";
}

void ElementNotices::opened(const std::string& key, const std::string& alias,
                            WaveAudioDevice& device) {
    m_elements[key] = Element{alias, &device};
}

void ElementNotices::closed(const std::string& key, bool notify) {
    const auto it = m_elements.find(key);
    if (it == m_elements.end()) return;
    Element e = std::move(it->second);
    m_elements.erase(it);
    if (e.pending != Pending::None) settle(e, Notification::Aborted);
    if (notify) sendNow(e.alias, Notification::Successful);
}

void ElementNotices::commandDone(const std::string& key, std::string_view verb, bool notify) {
    const auto it = m_elements.find(key);
    if (it == m_elements.end()) return;
    Element& e = it->second;
    const bool transport = verb == "play" || verb == "record";
    if (notify) {
        if (e.pending != Pending::None) settle(e, Notification::Superseded);
        const WaveAudioDevice::Mode mode = e.device->mode();
        if (transport &&
            (mode == WaveAudioDevice::Mode::Playing || mode == WaveAudioDevice::Mode::Recording))
            e.pending = Pending::Transport;
        else if (verb == "save" && e.device->saving()) e.pending = Pending::Save;
        else sendNow(e.alias, Notification::Successful);
        e.pausedByCommand = false;
        return;
    }
    const bool ends = e.pending == Pending::Save ? verb == "stop"
                                                 : transport || verb == "stop" || verb == "seek" ||
                                                       verb == "delete" || verb == "save";
    if (e.pending != Pending::None && ends) settle(e, Notification::Aborted);
    if (verb == "pause") e.pausedByCommand = true;
    if (verb == "resume") e.pausedByCommand = false;
}

void ElementNotices::poll() {
    for (auto& [key, e] : m_elements) {
        bool ended = false;
        if (e.pending == Pending::Transport) {
            const WaveAudioDevice::Mode mode = e.device->mode();
            ended = mode == WaveAudioDevice::Mode::Stopped ||
                    (mode == WaveAudioDevice::Mode::Paused && !e.pausedByCommand);
        } else if (e.pending == Pending::Save) {
            ended = !e.device->saving();
        }
        // Ended by itself: at its end, or short of it for a reason the element names.
        if (ended)
            settle(e, e.device->reason() == WaveAudioDevice::Reason::None ? Notification::Successful
                                                                          : Notification::Failure);
    }
}

void ElementNotices::settle(Element& e, Notification n) {
    e.pending = Pending::None;
    e.pausedByCommand = false;
    sendNow(e.alias, n);
}

}  // namespace wsx::mci
