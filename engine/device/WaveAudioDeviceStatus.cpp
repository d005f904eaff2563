// "status NAME <item> [track N]": the item by its words or its number (MciConstants.h).
#include "WaveAudioDevice.h"
#include "engine/command/MciConstants.h"
#include "engine/command/MciError.h"

#include <optional>

namespace wsx::mci {

namespace {

// Items of this program, by words only.
constexpr NamedConstant kOwnStatusItems[] = {
    {"reason", 0}, {"input", 0}, {"saving", 0}, {"progress", 0}, {"silence", 0}};

struct StatusQuery {
    std::string_view item;          // a name of kStatusItems or kOwnStatusItems
    std::optional<uint32_t> track;  // "track N"
};

// One status item, and "track N" at most once. Two items exclude each other (284, whether
// the same or not); a word that is no item or a number no item has: 290; "track" without
// a number: 270; a track but no item: 273.
uint32_t parseStatusQuery(std::span<const Token> items, StatusQuery& query) {
    for (size_t i = 0; i < items.size();) {
        const std::span<const Token> rest = items.subspan(i);
        if (!rest[0].quoted && equalsIgnoreCase(rest[0].text, "track")) {
            if (query.track) return MCIERR_DUPLICATE_FLAGS;
            uint32_t track = 0;
            if (rest.size() < 2 || !parseInteger(rest[1].text, track)) return MCIERR_BAD_INTEGER;
            query.track = track;
            i += 2;
            continue;
        }
        ConstantMatch match = matchConstant(kStatusItems, rest);
        if (!match.used) match = matchConstant(kOwnStatusItems, rest, false);
        if (!match.used || match.name.empty()) return MCIERR_BAD_CONSTANT;
        if (!query.item.empty()) return MCIERR_FLAGS_NOT_COMPATIBLE;
        query.item = match.name;
        i += match.used;
    }
    return query.item.empty() ? MCIERR_MISSING_PARAMETER : MCI_OK;
}

}  // namespace

uint32_t WaveAudioDevice::status(Items items, std::string& reply) {
    StatusQuery query;
    if (uint32_t e = parseStatusQuery(items, query)) return e;
    const std::string_view item = query.item;
    // An element is one track, numbered 1: its position is where the track starts.
    const bool trackItem = item == "position" || item == "length";
    if (trackItem && query.track && *query.track != 1) return MCIERR_OUTOFRANGE;
    if (item == "position") reply = std::to_string(query.track ? 0 : toReported(positionBytes()));
    else if (item == "length") reply = std::to_string(toReported(lengthBytes()));
    else if (item == "mode") {
        static constexpr const char* kModes[] = {"stopped", "playing", "recording", "paused"};
        const Mode now = mode();
        reply = m_cued && now == Mode::Stopped ? "paused" : kModes[int(now)];
    } else if (item == "ready" || item == "media present") reply = "true";
    else if (item == "time format") {
        static constexpr const char* kFormats[] = {"milliseconds", "bytes", "samples"};
        reply = kFormats[int(m_timeFormat)];
    } else if (item == "samplespersec") reply = std::to_string(m_format.sampleRate);
    else if (item == "channels") reply = std::to_string(m_format.channels);
    else if (item == "bitspersample") reply = std::to_string(m_format.bitsPerSample);
    else if (item == "bytespersec") reply = std::to_string(m_format.bytesPerSecond());
    else if (item == "alignment") reply = std::to_string(m_format.blockAlign());
    else if (item == "format tag") reply = "pcm";
    else if (item == "reason") reply = reasonWord(m_reason);
    else if (item == "input") reply = inputText(m_input.value_or(m_engineInput));
    else if (item == "level") reply = std::to_string(takeLevel());
    else if (item == "saving") reply = saving() ? "true" : "false";
    else if (item == "progress") reply = std::to_string(m_save ? m_save->percent() : 100u);
    else if (item == "silence") reply = std::to_string(toReported(silenceBytes()));
    else if (item == "number of tracks" || item == "current track") reply = "1";
    else return MCIERR_BAD_CONSTANT;  // an item of the tables above without an answer here
    return MCI_OK;
}

}  // namespace wsx::mci
