#include "MciTokenizer.h"

#include "MciError.h"

namespace wsx::mci {

namespace {

// Decimal digits only, no sign, must fit 32 bits unsigned.
bool parseDecimal(std::string_view text, uint32_t& value) {
    if (text.empty() || text.size() > 10) return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + uint64_t(c - '0');
    }
    if (v > UINT32_MAX) return false;
    value = uint32_t(v);
    return true;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
}  // namespace

Tokenized tokenize(std::string_view command) {
    Tokenized out;
    size_t i = 0;
    const size_t n = command.size();
    while (i < n) {
        while (i < n && isBlank(command[i])) ++i;
        if (i >= n) break;
        Token token;
        if (command[i] == '"') {
            token.quoted = true;
            ++i;
            bool closed = false;
            while (i < n) {
                if (command[i] == '"') {
                    if (i + 1 < n && command[i + 1] == '"') {
                        token.text += '"';
                        i += 2;
                        continue;
                    }
                    closed = true;
                    ++i;
                    break;
                }
                token.text += command[i++];
            }
            if (!closed) return {MCIERR_NO_CLOSING_QUOTE, {}};
            if (i < n && !isBlank(command[i])) return {MCIERR_EXTRA_CHARACTERS, {}};
        } else {
            while (i < n && !isBlank(command[i])) token.text += command[i++];
        }
        out.tokens.push_back(std::move(token));
    }
    return out;
}

bool parseInteger(std::string_view text, uint32_t& value) {
    if (text.find(':') == std::string_view::npos) return parseDecimal(text, value);
    uint32_t result = 0;
    int shift = 0;
    size_t start = 0;
    while (true) {
        if (shift > 24) return false;  // a fifth field
        const size_t colon = text.find(':', start);
        const std::string_view field = text.substr(start, colon - start);
        uint32_t byte = 0;
        if (!field.empty() && (!parseDecimal(field, byte) || byte > 255)) return false;
        result |= byte << shift;
        shift += 8;
        if (colon == std::string_view::npos) break;
        start = colon + 1;
    }
    value = result;
    return true;
}

}  // namespace wsx::mci
