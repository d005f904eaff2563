#pragma once

#include "platform/capture/CaptureSource.h"
#include "platform/hotkeys/HotKeyChord.h"

#include <optional>
#include <string>

namespace wsx {

// The input the user chose in the 录音来源 menu, with the description shown for a named one.
struct InputChoice {
    audio::CaptureSource source;
    std::string description;  // Named only: as the server described it when chosen
};

// The recorder's own choices kept between runs, in an INI file: the input and the hot keys.
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

    // The keys kept for hot key `name` ([HotKeys] record=Ctrl+Alt+Down); nullopt when none
    // are kept or they are not a key offered with Ctrl, Alt or Win.
    std::optional<platform::HotKeyChord> hotKey(const std::string& name) const;
    void setHotKey(const std::string& name, const platform::HotKeyChord& chord);

private:
    std::string m_file;
};

}  // namespace wsx
