// The quoting of a desktop entry, written then read: every byte string through the string
// escapes, through the Exec argument quoting, and as a whole entry. What is written must
// read back as exactly the same bytes, and what cannot be stored must be refused, not
// mangled.
#include "platform/registry/AutostartEntry.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using namespace wsx::registry::autostart;

namespace {

// The one argument of an Exec value as a desktop-entry reader takes it apart: a
// double-quoted string in which a backslash makes the next of " ` $ \ literal, and "%%"
// is a literal per cent sign.
std::optional<std::string> unquoteExecArgument(std::string_view field) {
    if (field.size() < 2 || field.front() != '"' || field.back() != '"') return std::nullopt;
    field = field.substr(1, field.size() - 2);
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '"' || c == '`' || c == '$') return std::nullopt;  // must have been escaped
        if (c == '\\') {
            if (++i == field.size()) return std::nullopt;
            const char next = field[i];
            if (next != '"' && next != '`' && next != '$' && next != '\\') return std::nullopt;
            out += next;
        } else if (c == '%') {
            if (++i == field.size() || field[i] != '%') return std::nullopt;
            out += '%';
        } else {
            out += c;
        }
    }
    return out;
}

bool hasForbiddenControl(std::string_view s) {
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c < 0x20 || c == 0x7F) && c != '\n' && c != '\t' && c != '\r') return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    // String escapes: a value without stray control characters comes back unchanged, and
    // the escaped form holds no line break that would end the value early.
    const std::string escaped = escapeString(text);
    if (escaped.find_first_of("\n\r") != std::string::npos) std::abort();
    const auto unescaped = unescapeString(escaped);
    if (hasForbiddenControl(text) ? unescaped.has_value() : unescaped != std::string(text))
        std::abort();

    // Exec: the program's path, quoted and then string-escaped, is the same path again.
    if (!hasForbiddenControl(text)) {
        const auto field = unescapeString(escapeString(execFieldFor(text)));
        if (!field || unquoteExecArgument(*field) != std::string(text)) std::abort();
    }

    // The whole entry: storable data reads back byte for byte, the rest is refused.
    const std::vector<wsx::registry::BYTE> bytes(data, data + size);
    const auto file = format(bytes);
    if (file.has_value() != isStorable(bytes)) std::abort();
    if (file) {
        const auto back = parse(*file);
        // An empty text is stored as a switched-off entry, which reads as the empty text.
        if (!back || *back != bytes) std::abort();
    }
    return 0;
}
