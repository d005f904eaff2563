#pragma once

#include "MciElement.h"
#include "MciNotices.h"
#include "audio/AudioBackend.h"
#include "engine/command/MciFlags.h"
#include "engine/command/MciInterface.h"
#include "engine/device/WaveAudioDevice.h"

#include <cstdint>
#include <map>
#include <set>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace wsx::mci {

// Interprets MCI command strings for waveaudio elements opened with
// "open new type waveaudio alias NAME", from a WAV file or from a take folder an earlier
// run left. docs/mci.md is the reference of what it understands: every command and item,
// the result codes, wait and notify, and where it differs from the platform the interface
// comes from. Each element records into its own take folder under
// EngineOptions::takeFolder.
// Where the commands are carried out: open and the WAV files commands name by themselves
// in MciEngineOpen.cpp; wait in MciEngineWait.cpp (it polls the element, calling
// EngineOptions::idle between looks); capability, info and sysinfo in MciQueries.cpp;
// notify in ElementNotices (MciNotices.h); everything an element does in WaveAudioDevice.
// Thread safety: every call comes from one thread (the UI thread of the recorder, the main
// thread of mcishell). Commands without wait return at once; recording and playing go on
// in the background and are observed by polling "status".
class MciEngine final : public MciInterface {
public:
    explicit MciEngine(audio::AudioBackend& backend, EngineOptions options = {});
    ~MciEngine() override;

    uint32_t mciSendString(std::string_view command, std::string* reply) override;

    // The element open under `alias`, or null.
    WaveAudioDevice* device(std::string_view alias);

    // Where notifications go; none are kept while there is no sink.
    void setNotifySink(NotifySink sink) { m_notices.setSink(std::move(sink)); }
    // Sends the notifications of plays, records and saves that ended since the last command
    // (every command looks first anyway): for a caller that waits between commands.
    void pollNotifications() { m_notices.poll(); }

private:
    uint32_t dispatch(const std::vector<Token>& t, const CommandFlags& flags, std::string& reply);
    uint32_t open(std::span<const Token> tokens, bool notify, std::string& reply);
    uint32_t close(std::span<const Token> tokens, bool notify);
    // MciEngineOpen.cpp. Makes the element and replies its device id.
    uint32_t addElement(const OpenTarget& target, const std::string& alias, std::string& reply);
    // A command named a WAV file that is not open: opens it under that name for the command
    // (263 when the name is no WAV file; 300 with notify; 303 for record and delete, which
    // would change an element that closes by itself).
    uint32_t autoOpen(const Token& name, std::string_view verb, bool notify, WaveAudioDevice*& dev);
    // Closes the elements a command opened by itself once they stand stopped.
    void closeFinishedAutoOpened();
    using Elements = std::map<std::string, std::unique_ptr<WaveAudioDevice>>;
    // Discards the element and forgets it everywhere; the next element.
    Elements::iterator removeElement(Elements::iterator it, bool notify);
    // MciEngineWait.cpp: after `verb` started on the element, returns once it is done.
    uint32_t waitFor(const std::string& key, std::string_view verb, WaveAudioDevice& dev);
    // MciQueries.cpp. `tokens` start with the device name.
    uint32_t sysinfo(std::span<const Token> tokens, std::string& reply);
    uint32_t capability(std::span<const Token> items, std::string& reply);
    static uint32_t info(const WaveAudioDevice& dev, std::span<const Token> items,
                         std::string& reply);
    // "set waveaudio input ..." and "status waveaudio input": the engine's input.
    uint32_t deviceTypeCommand(const std::string& verb, std::span<const Token> items,
                               std::string& reply);

    audio::AudioBackend& m_backend;
    EngineOptions m_options;
    audio::CaptureSource m_input;  // "set waveaudio input"; the elements refer to it
    Elements m_devices;            // by lower-case alias
    struct OpenElement {
        std::string alias;  // as given
        uint32_t id;        // the device id "open" replied
    };
    std::vector<OpenElement> m_openOrder;  // oldest first
    std::set<std::string> m_autoOpened;    // keys of the elements commands opened by themselves
    ElementNotices m_notices;
};

}  // namespace wsx::mci
