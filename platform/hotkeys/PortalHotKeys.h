#pragma once

#include "platform/hotkeys/HotKeys.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
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
// not know the call) and, from the event loop, opens a session, always under the same
// session token, offering every key registered by then under the names given by NameHotKey; the key becomes the
// preferred trigger ("CTRL+ALT+Down"), which the desktop may let the user change. Portals
// that bind at CreateSession (KDE Plasma 5.27) list the bound shortcuts in its answer; only
// when that answer lacks one is BindShortcuts asked (Plasma 6.1+, GNOME 48+ bind there).
// The keys are Working only when an answer lists every name offered; anything less, no
// portal, no GlobalShortcuts or a refusal is NoGlobalKeys. reach() is Pending until then.
// The triggers the desktop reports (in its answers and ShortcutsChanged) are kept for
// desktopTrigger; onReachChanged runs from the event loop when the reach or they change.
//
// A shortcut's Activated signal arrives as hWnd->WindowProc(hWnd, WM_HOTKEY, id,
// modifiers | vk << 16), the same message the X11 key gives (postHotKeyPress has the rule
// for presses that are stale by then). Keys registered after the binding (other keys chosen
// for the same commands) are bound afresh in a new session under the same token from the
// event loop, with their new preferred triggers; the desktop may still keep the triggers the
// user gave it before.
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
    std::string desktopTrigger(int32_t id) const override;

    // The portal's trigger text for a key: "CTRL+ALT+Down", "ALT+SHIFT+a"; "" for keys not
    // offered.
    static QString triggerFor(uint32_t modifiers, uint32_t vk);

private slots:
    void onSessionCreated(uint response, const QVariantMap& results);
    void onBound(uint response, const QVariantMap& results);
    void onShortcutsChanged(const QDBusMessage& message);
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
    // The shortcuts the portal offers for keys asked for: a(sa{sv}) of NameHotKey names.
    QVariant shortcutsAsked() const;
    // Keeps the triggers of a portal's list of shortcuts; true when it names every key of
    // the session.
    bool takeShortcuts(const QVariant& listed);
    // Keeps the triggers of the shortcuts `listed`; returns their names.
    QStringList keepTriggers(const QVariant& listed);
    void setReach(HotKeyReach reach);
    bool isRegistered(uint64_t serial) const;
    // Runs onReachChanged from the event loop, once for any number of changes before it.
    void announce();
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
    QHash<QString, QString> m_triggers;  // by shortcut name, as the desktop writes them
    bool m_announcePending = false;
    uint64_t m_nextToken = 1;
};

}  // namespace wsx::platform
