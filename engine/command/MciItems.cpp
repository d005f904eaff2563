#include "MciItems.h"

#include "MciError.h"

namespace wsx::mci {

uint32_t ParsedItems::parse(std::span<const Token> tokens, std::initializer_list<ItemSpec> specs) {
    m_entries.clear();
    for (size_t i = 0; i < tokens.size(); ++i) {
        const ItemSpec* match = nullptr;
        if (!tokens[i].quoted) {
            for (const ItemSpec& s : specs)
                if (equalsIgnoreCase(tokens[i].text, s.keyword)) match = &s;
        }
        if (!match) return MCIERR_UNRECOGNIZED_KEYWORD;
        if (has(match->keyword)) return MCIERR_DUPLICATE_FLAGS;
        Entry entry{std::string(match->keyword), {}};
        if (match->takesValue) {
            if (i + 1 >= tokens.size()) return MCIERR_MISSING_PARAMETER;
            entry.value = tokens[++i].text;
        }
        m_entries.push_back(std::move(entry));
    }
    return MCI_OK;
}

const ParsedItems::Entry* ParsedItems::find(std::string_view keyword) const {
    for (const Entry& e : m_entries)
        if (e.keyword == keyword) return &e;
    return nullptr;
}

std::optional<std::string> ParsedItems::value(std::string_view keyword) const {
    if (const Entry* e = find(keyword)) return e->value;
    return std::nullopt;
}

}  // namespace wsx::mci
