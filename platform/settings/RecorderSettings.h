#pragma once

#include "audio/AudioBackend.h"

#include <string>

namespace wsx {

// The input the user chose in the 录音来源 menu, with the description shown for a named one.
struct InputChoice {
    audio::CaptureSource source;
    std::string description;  // Named only: as the server described it when chosen
};

// The recorder's own choices kept between runs, in an INI file. Today only the input.
// Thread safety: UI thread only.
class RecorderSettings {
public:
    // $XDG_CONFIG_HOME/wanshengxia/wanshengxia.ini (~/.config when the variable is unset).
    static std::string defaultFile();

    // `file` empty: nothing is read or kept.
    explicit RecorderSettings(std::string file) : m_file(std::move(file)) {}

    // The kept choice; the default input when none was kept or the file cannot be read.
    InputChoice input() const;
    void setInput(const InputChoice& choice);

private:
    std::string m_file;
};

}  // namespace wsx
