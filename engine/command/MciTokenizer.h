#pragma once

#include "text/AsciiCase.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wsx::mci {

// One item of a command string. `quoted` items came in double quotes; they are never
// taken for keywords, so a file named "to" can still be saved.
struct Token {
    std::string text;
    bool quoted = false;
};

struct Tokenized {
    uint32_t error = 0;  // MCIERR_NO_CLOSING_QUOTE, MCIERR_EXTRA_CHARACTERS or 0
    std::vector<Token> tokens;
};

// Splits a command at blanks (spaces and tabs). A token that starts with `"` runs to the
// matching closing quote; `""` inside stands for one `"`.
Tokenized tokenize(std::string_view command);

// Verbs, keywords and aliases ignore case.
using text::equalsIgnoreCase;
using text::toLowerAscii;

// The reader for every number an item takes (positions, from/to, format values, buffer,
// track, constants given by number): decimal (digits only, within 32 bits unsigned), or
// the colon form of up to four byte fields, least significant first, each 0..255 and empty
// for 0 ("220:5:0" is 1500, ":1" is 256). False for anything else: hex, a sign, a fifth
// field, a field over 255.
bool parseInteger(std::string_view text, uint32_t& value);

}  // namespace wsx::mci
