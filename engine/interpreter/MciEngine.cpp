#include "MciEngine.h"

#include "engine/command/MciError.h"
#include "engine/command/MciItems.h"
#include "engine/command/MciTokenizer.h"

#include <algorithm>

namespace wsx::mci {

namespace {

// What the device name after the verb says before any device is looked at: none at all
// (292 for open, 263 otherwise), or "all", which only close takes (279; 261 for a verb
// that is not one every device has, such as cue, since no device is there to know it).
uint32_t deviceNameError(std::string_view verb, std::span<const Token> tokens) {
    if (tokens.size() < 2)
        return verb == "open" ? MCIERR_MISSING_DEVICE_NAME : MCIERR_INVALID_DEVICE_NAME;
    if (tokens[1].quoted || !equalsIgnoreCase(tokens[1].text, "all") || verb == "close" ||
        verb == "sysinfo")
        return MCI_OK;
    return verb == "cue" ? MCIERR_UNRECOGNIZED_COMMAND : MCIERR_CANNOT_USE_ALL;
}

}  // namespace

MciEngine::MciEngine(audio::AudioBackend& backend, EngineOptions options)
    : m_backend(backend), m_options(std::move(options)) {}

MciEngine::~MciEngine() = default;

WaveAudioDevice* MciEngine::device(std::string_view alias) {
    const auto it = m_devices.find(toLowerAscii(alias));
    return it == m_devices.end() ? nullptr : it->second.get();
}

uint32_t MciEngine::mciSendString(std::string_view command, std::string* reply) {
    std::string scratch;
    std::string& out = reply ? *reply : scratch;
    out.clear();
    Tokenized parsed = tokenize(command);
    if (parsed.error) return parsed.error;
    CommandFlags flags;
    if (uint32_t e = takeCommandFlags(parsed.tokens, flags)) return e;
    m_notices.poll();  // what ended since the last command is told before this one acts
    closeFinishedAutoOpened();
    const uint32_t rc = dispatch(parsed.tokens, flags, out);
    closeFinishedAutoOpened();
    return rc;
}

uint32_t MciEngine::dispatch(const std::vector<Token>& t, const CommandFlags& flags,
                             std::string& out) {
    if (t.empty()) return MCIERR_MISSING_COMMAND_STRING;
    if (t[0].quoted) return MCIERR_UNRECOGNIZED_COMMAND;

    const std::string verb = toLowerAscii(t[0].text);
    static constexpr std::string_view kVerbs[] = {
        "open", "close", "set",    "status", "play", "record",     "pause", "resume",
        "stop", "seek",  "delete", "save",   "cue",  "capability", "info",  "sysinfo"};
    if (std::find(std::begin(kVerbs), std::end(kVerbs), verb) == std::end(kVerbs))
        return MCIERR_UNRECOGNIZED_COMMAND;
    if (uint32_t e = deviceNameError(verb, t)) return e;

    const std::span<const Token> rest(t.begin() + 1, t.end());
    if (verb == "open") return open(rest, flags.notify, out);
    if (verb == "close") return close(rest, flags.notify);

    const std::span<const Token> items(t.begin() + 2, t.end());
    WaveAudioDevice* dev = verb == "sysinfo" ? nullptr : device(t[1].text);
    const bool deviceType = !t[1].quoted && equalsIgnoreCase(t[1].text, "waveaudio");
    if (!dev && (verb == "sysinfo" || deviceType)) {
        // Commands that name no element: the device type, or "all" for sysinfo.
        const uint32_t rc = verb == "sysinfo"      ? sysinfo(rest, out)
                            : verb == "capability" ? capability(items, out)
                                                   : deviceTypeCommand(verb, items, out);
        if (rc == MCI_OK && flags.notify) m_notices.sendNow(t[1].text, Notification::Successful);
        return rc;
    }
    // cue is no core command: for a device that is not open the verb itself is unknown.
    if (!dev && verb == "cue") return MCIERR_UNRECOGNIZED_COMMAND;
    if (!dev)
        if (uint32_t e = autoOpen(t[1], verb, flags.notify, dev)) return e;
    if (flags.notify && m_autoOpened.count(toLowerAscii(t[1].text)))
        return MCIERR_NOTIFY_ON_AUTO_OPEN;
    std::string answer;
    uint32_t rc = MCI_OK;
    if (verb == "set") rc = dev->set(items);
    else if (verb == "status") rc = dev->status(items, answer);
    else if (verb == "play") rc = dev->play(items);
    else if (verb == "record") rc = dev->record(items);
    else if (verb == "pause") rc = dev->pause(items);
    else if (verb == "resume") rc = dev->resume(items);
    else if (verb == "stop") rc = dev->stop(items);
    else if (verb == "seek") rc = dev->seek(items);
    else if (verb == "delete") rc = dev->erase(items);
    else if (verb == "cue") rc = dev->cue(items);
    else if (verb == "capability") rc = capability(items, answer);
    else if (verb == "info") rc = info(*dev, items, answer);
    else rc = dev->save(items);
    dev->tendTake();
    if (rc != MCI_OK) return rc;
    const std::string key = toLowerAscii(t[1].text);
    m_notices.commandDone(key, verb, flags.notify);
    if (flags.wait) rc = waitFor(key, verb, *dev);
    // The reply is filled only on success: a failed query leaves it empty.
    if (rc == MCI_OK) out = std::move(answer);
    return rc;
}

uint32_t MciEngine::deviceTypeCommand(const std::string& verb, std::span<const Token> items,
                                      std::string& reply) {
    const bool inputItem =
        !items.empty() && !items[0].quoted && equalsIgnoreCase(items[0].text, "input");
    if (verb != "set" && verb != "status") return MCIERR_INVALID_DEVICE_NAME;
    if (!inputItem) return items.empty() ? MCIERR_MISSING_PARAMETER : MCIERR_UNRECOGNIZED_KEYWORD;
    if (verb == "status") {
        if (items.size() > 1) return MCIERR_UNRECOGNIZED_KEYWORD;
        reply = WaveAudioDevice::inputText(m_input);
        return MCI_OK;
    }
    if (items.size() < 2) return MCIERR_MISSING_PARAMETER;
    if (items.size() > 2) return MCIERR_UNRECOGNIZED_KEYWORD;
    m_input = WaveAudioDevice::parseInput(items[1]);
    return MCI_OK;
}

}  // namespace wsx::mci
