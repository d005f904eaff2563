#include "app/SessionCommands.h"

namespace wsx {

platform::SingleInstance::Handler sessionCommandsFor(frmMain& window) {
    return [&window](platform::Verb verb) {
        switch (verb) {
        case platform::Verb::Record: return window.HotKeyCommand(ModuleTray::kHotKeyRecord);
        case platform::Verb::Stop: return window.HotKeyCommand(ModuleTray::kHotKeyStop);
        case platform::Verb::Play: return window.HotKeyCommand(ModuleTray::kHotKeyPlay);
        case platform::Verb::None:
        case platform::Verb::Show: window.RestoreWindow(); return true;
        }
        return false;
    };
}

}  // namespace wsx
