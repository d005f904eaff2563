#pragma once

#include "MciTokenizer.h"

#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace wsx::mci {

// The items a command accepts after its device name: flags ("overwrite") and keywords that
// take the next token as their value ("from 500").
struct ItemSpec {
    std::string_view keyword;
    bool takesValue = false;
};

// What a command's items said, in the order given. Keywords are matched without regard to
// case; a quoted token is never a keyword.
class ParsedItems {
public:
    // Returns MCIERR_UNRECOGNIZED_KEYWORD, MCIERR_DUPLICATE_FLAGS, MCIERR_MISSING_PARAMETER
    // or 0.
    uint32_t parse(std::span<const Token> tokens, std::initializer_list<ItemSpec> specs);

    bool has(std::string_view keyword) const { return find(keyword) != nullptr; }
    // The value given with `keyword`, if it was given.
    std::optional<std::string> value(std::string_view keyword) const;

private:
    struct Entry {
        std::string keyword;
        std::string value;
    };
    const Entry* find(std::string_view keyword) const;
    std::vector<Entry> m_entries;
};

}  // namespace wsx::mci
