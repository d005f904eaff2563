#include "MciConstants.h"

namespace wsx::mci {

namespace {

// How many tokens the words of `name` take at the start of `tokens`; 0 when they differ.
size_t wordsMatched(std::string_view name, std::span<const Token> tokens) {
    size_t used = 0;
    while (!name.empty()) {
        const size_t blank = name.find(' ');
        const std::string_view word = name.substr(0, blank);
        if (used >= tokens.size() || tokens[used].quoted ||
            !equalsIgnoreCase(tokens[used].text, word))
            return 0;
        ++used;
        name = blank == std::string_view::npos ? std::string_view() : name.substr(blank + 1);
    }
    return used;
}

}  // namespace

ConstantMatch matchConstant(std::span<const NamedConstant> table, std::span<const Token> tokens,
                            bool byNumber) {
    ConstantMatch best;
    for (const NamedConstant& entry : table) {
        const size_t used = wordsMatched(entry.name, tokens);
        if (used > best.used) best = {used, entry.name, entry.number};
    }
    if (best.used || !byNumber || tokens.empty() || tokens[0].quoted) return best;
    uint32_t number = 0;
    if (!parseInteger(tokens[0].text, number)) return best;
    best = {1, {}, number};
    for (const NamedConstant& entry : table)
        if (entry.number == number) return {1, entry.name, number};
    return best;
}

}  // namespace wsx::mci
