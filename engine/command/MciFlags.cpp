#include "MciFlags.h"

#include "MciError.h"

#include <algorithm>

namespace wsx::mci {

uint32_t takeCommandFlags(std::vector<Token>& tokens, CommandFlags& flags) {
    flags = {};
    const auto isFlag = [&flags](const Token& t) -> bool* {
        if (t.quoted) return nullptr;
        if (equalsIgnoreCase(t.text, "wait")) return &flags.wait;
        if (equalsIgnoreCase(t.text, "notify")) return &flags.notify;
        return nullptr;
    };
    // The verb and the device name are never flags: "open notify" names a device.
    const auto items = tokens.begin() + std::min<std::ptrdiff_t>(2, std::ssize(tokens));
    for (auto it = items; it != tokens.end(); ++it) {
        bool* flag = isFlag(*it);
        if (!flag) continue;
        if (*flag) return MCIERR_DUPLICATE_FLAGS;
        *flag = true;
    }
    tokens.erase(std::remove_if(items, tokens.end(), [&](const Token& t) { return isFlag(t); }),
                 tokens.end());
    return MCI_OK;
}

}  // namespace wsx::mci
