#include "platform/registry/AutostartEntry.h"

#include "text/AsciiCase.h"

#include <algorithm>
#include <charconv>
#include <map>

namespace wsx::registry::autostart {

namespace {

constexpr std::string_view kValueKey = "X-Wanshengxia-Value";
constexpr std::string_view kSizeKey = "X-Wanshengxia-Size";
constexpr std::size_t kMaxFileName = 255;  // bytes, the usual NAME_MAX

bool isControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t extra = 0;
        char32_t cp = 0;
        char32_t minimum = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1, cp = c & 0x1F, minimum = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, cp = c & 0x0F, minimum = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, cp = c & 0x07, minimum = 0x10000;
        } else {
            return false;
        }
        if (s.size() - i <= extra) return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

// The text part of the data: everything before the first NUL.
std::string_view textOf(std::span<const BYTE> data) {
    const auto nul = std::find(data.begin(), data.end(), BYTE{0});
    return {reinterpret_cast<const char*>(data.data()),
            static_cast<std::size_t>(nul - data.begin())};
}

// Key/value pairs of the [Desktop Entry] group; nullopt when the file is malformed.
std::optional<std::map<std::string, std::string, std::less<>>> entryGroup(std::string_view file) {
    std::map<std::string, std::string, std::less<>> keys;
    bool sawGroup = false;
    bool inEntry = false;
    while (!file.empty()) {
        const auto eol = file.find('\n');
        std::string_view line = file.substr(0, eol);
        file = eol == std::string_view::npos ? std::string_view{} : file.substr(eol + 1);
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            if (line.back() != ']') return std::nullopt;
            const std::string_view group = line.substr(1, line.size() - 2);
            if (!sawGroup && group != "Desktop Entry")
                return std::nullopt;  // the first group of a desktop file must be this one
            if (sawGroup && group == "Desktop Entry") return std::nullopt;
            inEntry = !sawGroup;
            sawGroup = true;
            continue;
        }
        const auto eq = line.find('=');
        if (!sawGroup || eq == std::string_view::npos) return std::nullopt;
        if (!inEntry) continue;
        std::string_view key = line.substr(0, eq);
        while (!key.empty() && key.back() == ' ') key.remove_suffix(1);
        std::string_view value = line.substr(eq + 1);
        while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
        if (!keys.emplace(std::string(key), std::string(value)).second)
            return std::nullopt;  // duplicate keys are an error in a desktop file
    }
    if (!sawGroup) return std::nullopt;
    return keys;
}

}  // namespace

std::string fileNameFor(std::string_view valueName) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string name(kFilePrefix);
    for (const char ch : valueName) {
        const auto c = static_cast<unsigned char>(text::lowerAscii(ch));
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-') {
            name += static_cast<char>(c);
        } else {
            name += '_';
            name += kHex[c >> 4];
            name += kHex[c & 0x0F];
        }
    }
    name += kFileSuffix;
    return name.size() <= kMaxFileName ? name : std::string{};
}

std::string escapeString(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size(); ++i) {
        switch (const char c = text[i]) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case ' ': out += (i == 0 || i + 1 == text.size()) ? "\\s" : " "; break;
        default: out += c; break;
        }
    }
    return out;
}

std::optional<std::string> unescapeString(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (isControl(static_cast<unsigned char>(c))) return std::nullopt;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i == value.size()) return std::nullopt;
        switch (value[i]) {
        case 's': out += ' '; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case '\\': out += '\\'; break;
        default: return std::nullopt;
        }
    }
    return out;
}

std::string execFieldFor(std::string_view program) {
    std::string out = "\"";
    for (const char c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
        out += c;
        if (c == '%') out += '%';
    }
    out += '"';
    return out;
}

bool isStorable(std::span<const BYTE> data) {
    const std::string_view text = textOf(data);
    if (std::any_of(data.begin() + static_cast<std::ptrdiff_t>(text.size()), data.end(),
                    [](BYTE b) { return b != 0; }))
        return false;
    if (std::any_of(text.begin(), text.end(), [](char c) {
            const auto u = static_cast<unsigned char>(c);
            return isControl(u) && c != '\t' && c != '\n' && c != '\r';
        }))
        return false;
    return isValidUtf8(text);
}

std::optional<std::string> format(std::span<const BYTE> data) {
    if (!isStorable(data)) return std::nullopt;
    const std::string_view text = textOf(data);
    std::string file =
        "# Start-at-log-in entry of 万声匣, switched by its check box "
        "\"系统启动时自动运行\".\n"
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=万声匣\n";
    if (text.empty()) file += "Hidden=true\n";
    else file += "Exec=" + escapeString(execFieldFor(text)) + "\n";
    file += std::string(kValueKey) + "=" + escapeString(text) + "\n";
    if (data.size() != text.size() + 1)
        file += std::string(kSizeKey) + "=" + std::to_string(data.size()) + "\n";
    return file;
}

std::optional<std::vector<BYTE>> parse(std::string_view fileText) {
    const auto keys = entryGroup(fileText);
    if (!keys) return std::nullopt;
    const auto valueIt = keys->find(kValueKey);
    if (valueIt == keys->end()) return std::nullopt;
    const auto text = unescapeString(valueIt->second);
    if (!text) return std::nullopt;

    std::size_t size = text->size() + 1;
    if (const auto sizeIt = keys->find(kSizeKey); sizeIt != keys->end()) {
        const std::string& digits = sizeIt->second;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), size);
        if (ec != std::errc{} || end != digits.data() + digits.size() || size < text->size() ||
            size > text->size() + 0x10000)
            return std::nullopt;
    }

    const auto flag = [&](std::string_view key, std::string_view expected) {
        const auto it = keys->find(key);
        return it != keys->end() && it->second == expected;
    };
    const bool switchedOff = flag("Hidden", "true") || flag("X-GNOME-Autostart-enabled", "false");

    std::vector<BYTE> data(text->begin(), text->end());
    if (switchedOff && !text->empty()) data.clear(), size = 1;
    data.resize(size, 0);
    if (!isStorable(data)) return std::nullopt;
    return data;
}

}  // namespace wsx::registry::autostart
