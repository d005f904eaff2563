// Opening and closing elements: "open", "close", and the elements a command opens by
// itself when it names a WAV file that is not open.
#include "MciElement.h"
#include "MciEngine.h"
#include "engine/command/MciError.h"
#include "engine/command/MciItems.h"

#include <algorithm>

namespace wsx::mci {

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
    // A file opened without an alias is addressed by its name as given, the device alone
    // by its type's name; opening either again so is 265.
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
    if (m_devices.count(toLowerAscii(*alias)))
        return namedByFile || namedByType ? MCIERR_DEVICE_OPEN : MCIERR_DUPLICATE_ALIAS;
    if (uint32_t e = addElement(target, *alias, reply)) return e;
    if (notify) m_notices.sendNow(*alias, Notification::Successful);
    return MCI_OK;
}

uint32_t MciEngine::addElement(const OpenTarget& target, const std::string& alias,
                               std::string& reply) {
    auto device = std::make_unique<WaveAudioDevice>(m_backend, m_options, m_input);
    if (target.kind == OpenTarget::Kind::TakeFolder)
        if (uint32_t e = device->adoptTake(target.path)) return e;
    if (target.kind == OpenTarget::Kind::File)
        if (uint32_t e = device->openFile(target.path)) return e;
    device->tendTake();
    const std::string key = toLowerAscii(alias);
    m_notices.opened(key, alias, *device);
    m_devices.emplace(key, std::move(device));
    // Device ids are the lowest not in use, as the platform gives them: a script that
    // closes its element and opens another gets 1 again.
    uint32_t id = 1;
    while (std::any_of(m_openOrder.begin(), m_openOrder.end(),
                       [&](const OpenElement& e) { return e.id == id; }))
        ++id;
    m_openOrder.push_back({alias, id});
    reply = std::to_string(id);
    return MCI_OK;
}

uint32_t MciEngine::close(std::span<const Token> tokens, bool notify) {
    if (tokens.size() > 1) return MCIERR_UNRECOGNIZED_KEYWORD;
    const bool all = !tokens[0].quoted && equalsIgnoreCase(tokens[0].text, "all");
    const std::string key = toLowerAscii(tokens[0].text);
    if (!all && !m_devices.count(key)) return MCIERR_INVALID_DEVICE_NAME;
    for (auto it = m_devices.begin(); it != m_devices.end();)
        it = all || it->first == key ? removeElement(it, notify) : std::next(it);
    return MCI_OK;
}

MciEngine::Elements::iterator MciEngine::removeElement(Elements::iterator it, bool notify) {
    it->second->discard();  // closing is discarding: the take goes too
    m_notices.closed(it->first, notify);
    std::erase_if(m_openOrder,
                  [&](const OpenElement& e) { return toLowerAscii(e.alias) == it->first; });
    m_autoOpened.erase(it->first);
    return m_devices.erase(it);
}

uint32_t MciEngine::autoOpen(const Token& name, std::string_view verb, bool notify,
                             WaveAudioDevice*& dev) {
    OpenTarget target;
    if (resolveOpenTarget(name, std::nullopt, target) != MCI_OK ||
        target.kind != OpenTarget::Kind::File)
        return MCIERR_INVALID_DEVICE_NAME;
    // Nobody could be told how the command ended: the element closes by itself.
    if (notify) return MCIERR_NOTIFY_ON_AUTO_OPEN;
    if (verb == "record" || verb == "delete") return MCIERR_ILLEGAL_FOR_AUTO_OPEN;
    std::string id;
    if (uint32_t e = addElement(target, name.text, id)) return e;
    m_autoOpened.insert(toLowerAscii(name.text));
    dev = device(name.text);
    return MCI_OK;
}

void MciEngine::closeFinishedAutoOpened() {
    // Opened only to be read: nothing of it can be unsaved, so the take goes.
    for (auto it = m_autoOpened.begin(); it != m_autoOpened.end();) {
        const auto element = m_devices.find(*it++);  // removeElement forgets the key
        if (element->second->mode() == WaveAudioDevice::Mode::Stopped)
            removeElement(element, false);
    }
}

}  // namespace wsx::mci
