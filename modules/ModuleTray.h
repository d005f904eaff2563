#pragma once

#include "platform/hotkeys/HotKeyChord.h"
#include "platform/hotkeys/HotKeys.h"
#include "platform/shell/NotifyIcon.h"

#include <QIcon>

#include <array>
#include <cstdint>
#include <string>

namespace wsx {

// A picture handed to TraySetIcon: a graphics handle together with its kind.
struct Picture {
    enum class Type { None, Bitmap, Metafile, Icon };
    Type type = Type::None;
    QIcon handle;
};

// What ModuleTray needs of the recorder window: its handle, its current icon and the menu
// its tray icon offers.
class TrayWindow {
public:
    virtual ~TrayWindow() = default;
    virtual platform::HWND trayWindowHandle() = 0;
    virtual QIcon trayWindowIcon() const = 0;
    virtual QMenu* trayWindowMenu() = 0;
};

// The tray icon and the three global hot keys of the recorder window. TrayData is the one
// icon record, kept for the life of the program: every call sends the whole record and a
// modify changes only the fields it names. Results of the platform calls are ignored.
// Thread safety: UI thread only.
class ModuleTray {
public:
    static constexpr uint32_t TrayCallbackMessage = 2025;
    static constexpr int32_t kHotKeyRecord = 1;
    static constexpr int32_t kHotKeyPlay = 2;
    static constexpr int32_t kHotKeyStop = 3;
    // The three hot keys: the id of their message, the keys they have until the user
    // chooses others, and the name and caption a desktop that binds keys itself shows for
    // them (the name also keeps the chosen keys in the settings).
    struct HotKey {
        int32_t id;
        platform::HotKeyChord standard;
        const char* name;
        const char* description;
    };
    static constexpr uint32_t kCtrlAlt = platform::MOD_CONTROL | platform::MOD_ALT;
    static constexpr HotKey kHotKeys[] = {
        {kHotKeyRecord, {kCtrlAlt, platform::VK_DOWN}, "record", "录音"},
        {kHotKeyPlay, {kCtrlAlt, platform::VK_RIGHT}, "play", "播放"},
        {kHotKeyStop, {kCtrlAlt, platform::VK_UP}, "stop", "停止"}};
    // Keys for each of kHotKeys, in its order.
    using HotKeyChoice = std::array<platform::HotKeyChord, std::size(kHotKeys)>;
    // What the desktop reports it binds for each of kHotKeys, in its own words ("" for none).
    using ReportedHotKeys = std::array<std::string, std::size(kHotKeys)>;
    static HotKeyChoice StandardHotKeys();

    ModuleTray(platform::NotifyIconService& shell, platform::HotKeyService& hotKeys,
               TrayWindow& window);

    void TrayAddIcon(const std::string& Tip);
    // Shows Pic as the tray icon when it holds an icon; any other picture sends nothing.
    void TraySetIcon(const Picture& Pic);
    // Shows Tip as the tip text; an empty Tip sends nothing.
    void TraySetTip(const std::string& Tip);
    void TrayRemoveIcon();
    // Shows a notification beside the icon (the desktop's own notifications where the tray
    // host hands them on); empty text sends nothing.
    void TrayNotify(const std::string& Title, const std::string& Text);
    // Registers the keys in HotKeyChords for the window.
    void RegisterHotKeys();
    void UnregisterHotKeys();
    // The keys in force for hot key `id`.
    platform::HotKeyChord HotKeyOf(int32_t id) const;

    // Copies `tip` into a 64-byte tip field: at most 63 bytes of text and a NUL, cut before a
    // UTF-8 sequence that would not fit whole.
    static void copyTip(char (&field)[64], const std::string& tip) { copyText(field, tip); }
    // The same for a text field of any size.
    static void copyText(char* field, size_t size, const std::string& text);
    template <size_t N>
    static void copyText(char (&field)[N], const std::string& text) {
        copyText(field, N, text);
    }

    platform::NOTIFYICONDATA TrayData;
    // The keys registered by RegisterHotKeys, in the order of kHotKeys.
    HotKeyChoice HotKeyChords = StandardHotKeys();
    // The lParam of the last hot-key message: modifiers in the low word, key in the high.
    struct {
        uint16_t Modifiers = 0;
        uint16_t VirtualKey = 0;
    } HotKeyInfo;

private:
    platform::NotifyIconService& m_shell;
    platform::HotKeyService& m_hotKeys;
    TrayWindow& m_window;
};

}  // namespace wsx
