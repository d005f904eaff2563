#pragma once
// How one value of the start-up ("Run") key is written as a freedesktop autostart entry and
// read back. Pure text functions, no file access; AutostartStore does the files.
//
// An entry holds, besides the fields a session manager needs (Type, Name, Exec or Hidden),
// the exact stored text in X-Wanshengxia-Value, so reading gives back byte for byte what was
// written, and X-Wanshengxia-Size when the data size is not "text plus one NUL".

#include "platform/registry/RegistryTypes.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace wsx::registry::autostart {

// Prefix of every file name we write; nothing else in the folder is ever read or touched.
inline constexpr std::string_view kFilePrefix = "wanshengxia-run-";
inline constexpr std::string_view kFileSuffix = ".desktop";

// File name for a value name. Value names compare case-insensitively (ASCII letters), so the
// name is folded first; then every byte outside [a-z0-9-] becomes "_xx" (two lower-case hex
// digits). The mapping is one-to-one on folded names and never yields a path separator or a
// dot-name. Empty when the result would be too long for a file name (255 bytes).
std::string fileNameFor(std::string_view valueName);

// Desktop Entry string escapes: backslash, newline, tab, carriage return; a blank at either end
// is written as \s so that readers that trim values keep it.
std::string escapeString(std::string_view text);
// The inverse; nullopt for an unknown escape, a lone trailing backslash or a raw control
// character.
std::optional<std::string> unescapeString(std::string_view value);

// The Exec value (before string escaping) that starts the program named by `program` with no
// arguments: one double-quoted argument with ", `, $ and \ backslash-escaped, and every % doubled
// because % starts a field code anywhere in Exec.
std::string execFieldFor(std::string_view program);

// Whether `data` can be stored: valid UTF-8 (a desktop file is UTF-8), no control characters
// other than tab, newline and carriage return, and nothing but NUL bytes after the first NUL.
bool isStorable(std::span<const BYTE> data);

// The whole file for `data`; nullopt when !isStorable(data). An empty text gives an entry that
// is present but disabled (Hidden=true, no Exec).
std::optional<std::string> format(std::span<const BYTE> data);

// The data stored in a file written by format(); nullopt when the file cannot be understood.
// An entry that a session manager switched off (Hidden=true, X-GNOME-Autostart-enabled=false)
// reads as the empty text, so the check box shows what will happen at the next log-in.
std::optional<std::vector<BYTE>> parse(std::string_view fileText);

}  // namespace wsx::registry::autostart
