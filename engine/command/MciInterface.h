#pragma once

#include "MciError.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace wsx::mci {

// What the application sees of the sound device: one call that takes an MCI command string
// and returns the MCI result code (0 = success, else one of MciError), with the reply text
// of a successful query in `reply` (emptied first; may be null for commands that reply
// nothing). The commands are described in docs/mci.md; MciEngine is the implementation.
// Thread safety: as the implementation says (MciEngine: one thread only).
class MciInterface {
public:
    virtual ~MciInterface() = default;
    virtual uint32_t mciSendString(std::string_view command, std::string* reply) = 0;
};

}  // namespace wsx::mci
