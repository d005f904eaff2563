#include "MciEngine.h"

#include "MciElement.h"
#include "MciError.h"
#include "MciItems.h"
#include "MciTokenizer.h"

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
    return dispatch(parsed.tokens, flags, out);
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
    if (!dev) return verb == "cue" ? MCIERR_UNRECOGNIZED_COMMAND : MCIERR_INVALID_DEVICE_NAME;
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

uint32_t MciEngine::open(std::span<const Token> tokens, bool notify, std::string& reply) {
    // tokens[0] is the element: "new" for a new, untitled waveform, the folder of a take
    // left by an earlier run (TakeStore), which the element then continues, or a WAV file.
    ParsedItems p;
    if (uint32_t e = p.parse(tokens.subspan(1),
                             {{"type", true}, {"alias", true}, {"shareable"}, {"buffer", true}}))
        return e;
    const bool isNew = !tokens[0].quoted && equalsIgnoreCase(tokens[0].text, "new");
    if (isNew && p.value("alias").value_or("").empty()) return MCIERR_NEW_REQUIRES_ALIAS;
    OpenTarget target;
    if (uint32_t e = resolveOpenTarget(tokens[0], p.value("type"), target)) return e;
    if (p.has("shareable")) return MCIERR_UNSUPPORTED_FUNCTION;  // waveaudio is not shared
    // A file opened without an alias is addressed by its name as given.
    // The device alone is addressed by its type's name.
    const bool namedByFile = !p.has("alias") && target.kind == OpenTarget::Kind::File;
    const bool namedByType = !p.has("alias") && target.kind == OpenTarget::Kind::DeviceOnly;
    const auto alias = namedByFile   ? std::optional(target.path)
                       : namedByType ? std::optional<std::string>("waveaudio")
                                     : p.value("alias");
    if (!alias || alias->empty()) return MCIERR_NEW_REQUIRES_ALIAS;
    if (equalsIgnoreCase(*alias, "all")) return MCIERR_INVALID_DEVICE_NAME;
    if (auto buffer = p.value("buffer")) {
        uint32_t seconds = 0;
        if (!parseInteger(*buffer, seconds)) return MCIERR_BAD_INTEGER;
    }
    const std::string key = toLowerAscii(*alias);
    if (m_devices.count(key))
        return namedByFile || namedByType ? MCIERR_DEVICE_OPEN : MCIERR_DUPLICATE_ALIAS;
    auto device = std::make_unique<WaveAudioDevice>(m_backend, m_options, m_input);
    if (target.kind == OpenTarget::Kind::TakeFolder)
        if (uint32_t e = device->adoptTake(target.path)) return e;
    if (target.kind == OpenTarget::Kind::File)
        if (uint32_t e = device->openFile(target.path)) return e;
    device->tendTake();
    m_notices.opened(key, *alias, *device);
    m_devices.emplace(key, std::move(device));
    // Device ids are the lowest not in use, as the platform gives them: a script that
    // closes its element and opens another gets 1 again.
    uint32_t id = 1;
    while (std::any_of(m_openOrder.begin(), m_openOrder.end(),
                       [&](const OpenElement& e) { return e.id == id; }))
        ++id;
    m_openOrder.push_back({*alias, id});
    reply = std::to_string(id);
    if (notify) m_notices.sendNow(*alias, Notification::Successful);
    return MCI_OK;
}

uint32_t MciEngine::close(std::span<const Token> tokens, bool notify) {
    if (tokens.size() > 1) return MCIERR_UNRECOGNIZED_KEYWORD;
    const bool all = !tokens[0].quoted && equalsIgnoreCase(tokens[0].text, "all");
    const std::string key = toLowerAscii(tokens[0].text);
    if (!all && !m_devices.count(key)) return MCIERR_INVALID_DEVICE_NAME;
    for (auto it = m_devices.begin(); it != m_devices.end();) {
        if (!all && it->first != key) {
            ++it;
            continue;
        }
        it->second->discard();  // closing is discarding: the take goes too
        m_notices.closed(it->first, notify);
        std::erase_if(m_openOrder,
                      [&](const OpenElement& e) { return toLowerAscii(e.alias) == it->first; });
        it = m_devices.erase(it);
    }
    return MCI_OK;
}

}  // namespace wsx::mci
