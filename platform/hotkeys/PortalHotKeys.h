#pragma once

#include "platform/hotkeys/HotKeys.h"

#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <cstdint>
#include <string>
#include <vector>

namespace wsx::platform {

// HotKeyService over the desktop's GlobalShortcuts portal (org.freedesktop.portal.Desktop on
// the session bus), for Wayland sessions, where X11 grabs fire only while one of the
// program's own windows has the focus.
//
// The first RegisterHotKey starts the conversation: the program registers with the portal
// under its application id (newer portals refuse host programs that do not; older ones do
// not know the call), opens a session and, from the event loop, binds every key registered
// by then in one BindShortcuts call, under the names given by NameHotKey; the key becomes
// the preferred trigger ("CTRL+ALT+Down"), which the desktop may let the user change. The
// portal answers later: reach() is Pending until then, and onReachChanged runs when it turns
// Working (bound) or NoGlobalKeys (no portal, no GlobalShortcuts, or refused).
//
// A shortcut's Activated signal arrives as hWnd->WindowProc(hWnd, WM_HOTKEY, id,
// modifiers | vk << 16), the same message the X11 key gives (postHotKeyPress has the rule
// for presses that are stale by then). Keys registered after the binding (other keys chosen
// for the same commands) are bound afresh in a new session from the event loop, with their
// new preferred triggers; the desktop may still keep the triggers the user gave it before.
// Lifetime: create after the QApplication, destroy before it; destruction closes the session.
// Thread safety: UI thread only.
class PortalHotKeys final : public QObject, public HotKeyService {
    Q_OBJECT

public:
    explicit PortalHotKeys(QString applicationId);
    ~PortalHotKeys() override;
    PortalHotKeys(const PortalHotKeys&) = delete;
    PortalHotKeys& operator=(const PortalHotKeys&) = delete;

    bool RegisterHotKey(HWND hWnd, int32_t id, uint32_t modifiers, uint32_t vk) override;
    bool UnregisterHotKey(HWND hWnd, int32_t id) override;
    void NameHotKey(int32_t id, const std::string& name, const std::string& description) override;
    HotKeyReach reach() const override { return m_reach; }

    // The portal's trigger text for a key: "CTRL+ALT+Down", "ALT+SHIFT+a"; "" for keys not
    // offered.
    static QString triggerFor(uint32_t modifiers, uint32_t vk);

private slots:
    void onSessionCreated(uint response, const QVariantMap& results);
    void onBound(uint response, const QVariantMap& results);
    void onActivated(const QDBusObjectPath& session, const QString& shortcutId,
                     qulonglong timestamp, const QVariantMap& options);

private:
    struct Registration {
        HWND hWnd;
        int32_t id;
        uint32_t modifiers;
        uint32_t vk;
        bool bound;
        uint64_t serial;  // new at each registration: a press of an earlier one is stale
    };
    // What a registration asks for, as bound in the session.
    struct Key {
        HWND hWnd;
        int32_t id;
        uint32_t modifiers;
        uint32_t vk;
        auto operator<=>(const Key&) const = default;
    };
    struct Name {
        int32_t id;
        QString name;
        QString description;
    };

    void start();
    void createSession();
    void closeSession();
    void scheduleRebind();
    void bind();
    static std::vector<Key> keysOf(const std::vector<Registration>& registrations);
    // Calls a portal method that answers through a Request object, whose Response signal
    // goes to `responseSlot`; a call that fails at once makes the keys unreachable.
    void request(const QString& method, QVariantList arguments, const char* responseSlot);
    void setReach(HotKeyReach reach);
    bool isRegistered(uint64_t serial) const;
    QString nameOf(int32_t id) const;

    QString m_applicationId;
    HotKeyReach m_reach = HotKeyReach::Pending;
    bool m_started = false;
    bool m_rebindScheduled = false;
    QString m_session;
    std::vector<Registration> m_registrations;
    uint64_t m_nextSerial = 1;
    std::vector<Key> m_boundKeys;  // what the session's BindShortcuts asked for
    std::vector<Name> m_names;
    uint64_t m_nextToken = 1;
};

}  // namespace wsx::platform
