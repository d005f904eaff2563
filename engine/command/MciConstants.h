#pragma once

#include "MciTokenizer.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace wsx::mci {

// An item of a fixed list, which a command may name by its words or by its number, the
// number callers of the platform's MCI know ("status A 4" is "status A mode").
struct NamedConstant {
    std::string_view name;  // words separated by one blank; any run of blanks matches one
    uint32_t number;
};

// The status items every device has, then the waveaudio ones.
inline constexpr NamedConstant kStatusItems[] = {
    {"length", 1},         {"position", 2},           {"number of tracks", 3},
    {"mode", 4},           {"media present", 5},      {"time format", 6},
    {"ready", 7},          {"current track", 8},      {"format tag", 0x4001},
    {"channels", 0x4002},  {"samplespersec", 0x4003}, {"bytespersec", 0x4004},
    {"alignment", 0x4005}, {"bitspersample", 0x4006}, {"level", 0x4007},
};

// Time formats of "set NAME time format": the first name of a number is the one status
// replies. The platform numbers other formats (1 hms, 2 msf, 3 frames, 4-7 smpte, 10 tmsf)
// that a waveaudio element does not keep.
inline constexpr NamedConstant kTimeFormats[] = {
    {"milliseconds", 0}, {"ms", 0}, {"bytes", 8}, {"samples", 9}};

// Items of "capability NAME <item>": those of every device, then the waveaudio ones.
inline constexpr NamedConstant kCapabilityItems[] = {
    {"can record", 1}, {"has audio", 2},       {"has video", 3},    {"device type", 4},
    {"uses files", 5}, {"compound device", 6}, {"can eject", 7},    {"can play", 8},
    {"can save", 9},   {"inputs", 0x4001},     {"outputs", 0x4002},
};

// What matchConstant found at the start of a command's items.
struct ConstantMatch {
    size_t used = 0;        // tokens taken; 0: neither a name of the list nor a number
    std::string_view name;  // the entry's name; empty for a number the list lacks
    uint32_t number = 0;
};

// Matches the longest name of `table` at the start of `tokens` (ignoring case; quoted
// tokens never match), else, when `byNumber`, one token read by parseInteger.
ConstantMatch matchConstant(std::span<const NamedConstant> table, std::span<const Token> tokens,
                            bool byNumber = true);

}  // namespace wsx::mci
