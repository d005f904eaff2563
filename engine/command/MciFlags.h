#pragma once

#include "MciTokenizer.h"

#include <cstdint>
#include <vector>

namespace wsx::mci {

// The two flags every command takes, wherever they stand among its items.
struct CommandFlags {
    bool wait = false;    // return only once the play, record or encoded save is done
    bool notify = false;  // report how the command ended (MciEngine::setNotifySink)
};

// Takes "wait" and "notify" (any case, unquoted) out of `tokens` after the verb and the
// device name, so the element sees only its own items. A flag given twice is
// MCIERR_DUPLICATE_FLAGS. A value that is literally one of these words must be quoted.
uint32_t takeCommandFlags(std::vector<Token>& tokens, CommandFlags& flags);

}  // namespace wsx::mci
