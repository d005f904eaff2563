// Other keys for the three hot keys: kept in the settings, chosen from the overview.
#include "frmHotKey.h"
#include "frmHotKeyChange.h"
#include "frmMain.h"

namespace wsx {

void frmMain::LoadHotKeys() {
    ModuleTray::HotKeyChoice keys = ModuleTray::StandardHotKeys();
    for (size_t i = 0; i < keys.size(); ++i)
        keys[i] = m_settings.hotKey(ModuleTray::kHotKeys[i].name).value_or(keys[i]);
    // Kept keys that clash (an edited file) would leave a command without its key.
    m_tray.HotKeyChords =
        hotKeyChoiceProblem(keys).isEmpty() ? keys : ModuleTray::StandardHotKeys();
}

void frmMain::ChangeHotKeys(const ModuleTray::HotKeyChoice& keys) {
    m_tray.UnregisterHotKeys();
    m_tray.HotKeyChords = keys;
    for (size_t i = 0; i < keys.size(); ++i)
        m_settings.setHotKey(ModuleTray::kHotKeys[i].name, keys[i]);
    m_tray.RegisterHotKeys();
}

void frmMain::cmdChangeHotKeys_Click(frmHotKey& overview) {
    frmHotKeyChange chooser(m_tray.HotKeyChords, &overview);
    // Held keys never reach the editors (a grab takes them first): typing the current keys
    // would run their commands instead. They are let go while the chooser is open.
    m_tray.UnregisterHotKeys();
    if (chooser.exec() != QDialog::Accepted) {
        m_tray.RegisterHotKeys();
        return;
    }
    ChangeHotKeys(chooser.choice());
    overview.showKeys(m_tray.HotKeyChords, desktopHotKeys());
    // X11 answers at once; a portal answers later, through HotKeysReachChanged.
    overview.showNotice(hotKeyNotice());
}

}  // namespace wsx
