#pragma once

#include "audio/AudioBackend.h"
#include "engine/command/MciInterface.h"
#include "platform/dialogs/DialogService.h"
#include "platform/hotkeys/HotKeys.h"
#include "platform/power/SleepGuard.h"
#include "platform/registry/Registry.h"
#include "platform/shell/NotifyIcon.h"
#include "platform/shell/ShellService.h"

#include <filesystem>
#include <string>

namespace wsx {

// Everything the recorder window uses of the machine. main() passes the real services;
// tests pass the virtual-clock engine, scripted dialogs and recording fakes.
struct RecorderServices {
    mci::MciInterface& sound;
    platform::DialogService& dialogs;
    platform::NotifyIconService& tray;
    platform::HotKeyService& hotKeys;
    registry::Registry& registry;
    platform::ShellService& shell;
    // Absolute path of the program file, e.g. "/usr/lib/wanshengxia/wanshengxia".
    std::string programFile;
    // Where the sound device keeps its takes: those an earlier run left are offered back.
    std::filesystem::path takeFolder;
    // The sound server's inputs for the 录音来源 menu; null: only its three fixed choices.
    audio::AudioBackend* inputs = nullptr;
    // The INI file the window keeps its choices in between runs (RecorderSettings::
    // defaultFile()); empty: nothing is kept.
    std::string settingsFile;
    // Keeps the computer awake while recording, and pauses a take before it sleeps anyway;
    // null: nothing does (tests that do not look at it).
    platform::SleepGuard* sleep = nullptr;
};

}  // namespace wsx
