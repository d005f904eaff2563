#pragma once

#include "engine/command/MciTokenizer.h"

#include <cstdint>
#include <optional>
#include <string>

namespace wsx::mci {

// What "open" is asked to open: a new element, a take folder an earlier run left, or a
// WAV file. "open waveaudio" names the device alone: a new element, addressed as
// "waveaudio" unless given an alias.
struct OpenTarget {
    enum class Kind { New, DeviceOnly, TakeFolder, File };
    Kind kind = Kind::New;
    std::string path;  // the folder or file as given (after any "waveaudio!")
};

// Works out what `element` names and checks the device type. "new" and a folder need
// "type waveaudio"; a file may name its type as "waveaudio!<file>" or by a ".wav" ending
// (any case). Errors: MCIERR_MISSING_PARAMETER (new or folder without a type),
// MCIERR_INVALID_DEVICE_NAME (another type, or a name with no ending and no type),
// MCIERR_EXTENSION_NOT_FOUND (an ending no device type takes).
uint32_t resolveOpenTarget(const Token& element, const std::optional<std::string>& type,
                           OpenTarget& target);

}  // namespace wsx::mci
