#include "ModuleTray.h"

#include <cstring>

namespace wsx {

using namespace platform;

ModuleTray::ModuleTray(NotifyIconService& shell, HotKeyService& hotKeys, TrayWindow& window)
    : m_shell(shell), m_hotKeys(hotKeys), m_window(window) {}

void ModuleTray::copyText(char* field, size_t size, const std::string& text) {
    size_t n = std::min<size_t>(text.size(), size - 1);
    if (n < text.size()) {
        // Back up over continuation bytes (10xxxxxx) to the start of the cut character.
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    }
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

void ModuleTray::TrayAddIcon(const std::string& Tip) {
    TrayData.uID = 0;
    TrayData.hWnd = m_window.trayWindowHandle();
    TrayData.cbSize = 88;
    TrayData.hIcon = m_window.trayWindowIcon();
    TrayData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    TrayData.uCallbackMessage = TrayCallbackMessage;
    copyTip(TrayData.szTip, Tip);
    m_shell.Shell_NotifyIcon(NIM_ADD, TrayData);
    m_shell.setIconMenu(TrayData.hWnd, TrayData.uID, m_window.trayWindowMenu());
}

void ModuleTray::TraySetIcon(const Picture& Pic) {
    if (Pic.type != Picture::Type::Icon) return;
    TrayData.uFlags = NIF_ICON;
    TrayData.hIcon = Pic.handle;
    m_shell.Shell_NotifyIcon(NIM_MODIFY, TrayData);
}

void ModuleTray::TraySetTip(const std::string& Tip) {
    if (Tip.empty()) return;
    TrayData.uFlags = NIF_TIP;
    copyTip(TrayData.szTip, Tip);
    m_shell.Shell_NotifyIcon(NIM_MODIFY, TrayData);
}

void ModuleTray::TrayNotify(const std::string& Title, const std::string& Text) {
    if (Text.empty()) return;
    TrayData.uFlags = NIF_INFO;
    copyText(TrayData.szInfoTitle, Title);
    copyText(TrayData.szInfo, Text);
    m_shell.Shell_NotifyIcon(NIM_MODIFY, TrayData);
}

void ModuleTray::TrayRemoveIcon() {
    TrayData.hWnd = m_window.trayWindowHandle();
    TrayData.uID = 0;
    TrayData.uCallbackMessage = TrayCallbackMessage;
    m_shell.Shell_NotifyIcon(NIM_DELETE, TrayData);
}

ModuleTray::HotKeyChoice ModuleTray::StandardHotKeys() {
    HotKeyChoice choice;
    for (size_t i = 0; i < choice.size(); ++i) choice[i] = kHotKeys[i].standard;
    return choice;
}

HotKeyChord ModuleTray::HotKeyOf(int32_t id) const {
    for (size_t i = 0; i < HotKeyChords.size(); ++i)
        if (kHotKeys[i].id == id) return HotKeyChords[i];
    return {};
}

void ModuleTray::RegisterHotKeys() {
    for (size_t i = 0; i < HotKeyChords.size(); ++i) {
        const HotKey& key = kHotKeys[i];
        m_hotKeys.NameHotKey(key.id, key.name, key.description);
        m_hotKeys.RegisterHotKey(m_window.trayWindowHandle(), key.id, HotKeyChords[i].modifiers,
                                 HotKeyChords[i].vk);
    }
}

void ModuleTray::UnregisterHotKeys() {
    for (int32_t id : {kHotKeyRecord, kHotKeyPlay, kHotKeyStop})
        m_hotKeys.UnregisterHotKey(m_window.trayWindowHandle(), id);
}

}  // namespace wsx
