#include "platform/hotkeys/PortalHotKeys.h"

#include "platform/hotkeys/HotKeyChord.h"
#include "platform/hotkeys/HotKeyPress.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QMetaObject>

#include <algorithm>
#include <utility>

namespace {

// One shortcut of BindShortcuts, D-Bus type (sa{sv}).
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

QDBusArgument& operator<<(QDBusArgument& argument, const PortalShortcut& shortcut) {
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, PortalShortcut& shortcut) {
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

}  // namespace

Q_DECLARE_METATYPE(PortalShortcut)

namespace wsx::platform {

namespace {

const QString kPortalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPortalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kShortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRegistryInterface = QStringLiteral("org.freedesktop.host.portal.Registry");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");

QDBusConnection bus() { return QDBusConnection::sessionBus(); }

// Where the portal puts the Request object for `token`: known before the call, so the
// Response signal is subscribed before it can be sent.
QString requestPathFor(const QString& token) {
    QString sender = bus().baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return kPortalPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token;
}

bool subscribeResponse(const QString& path, QObject* receiver, const char* slot) {
    return bus().connect(kPortalService, path, kRequestInterface, QStringLiteral("Response"),
                         receiver, slot);
}

// The session handle is an object path; some portals send it as a string.
QString sessionHandleOf(const QVariant& value) {
    if (value.canConvert<QDBusObjectPath>() && value.userType() == qMetaTypeId<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return value.toString();
}

}  // namespace

PortalHotKeys::PortalHotKeys(QString applicationId) : m_applicationId(std::move(applicationId)) {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
}

PortalHotKeys::~PortalHotKeys() { closeSession(); }

void PortalHotKeys::closeSession() {
    if (m_session.isEmpty()) return;
    bus().call(QDBusMessage::createMethodCall(kPortalService, m_session,
                                              QStringLiteral("org.freedesktop.portal.Session"),
                                              QStringLiteral("Close")),
               QDBus::NoBlock);
    m_session.clear();
    m_boundKeys.clear();
}

QString PortalHotKeys::triggerFor(uint32_t modifiers, uint32_t vk) {
    const char* key = keysymNameFor(vk);
    if (key == nullptr) return {};
    QString trigger;
    if ((modifiers & MOD_CONTROL) != 0) trigger += QStringLiteral("CTRL+");
    if ((modifiers & MOD_ALT) != 0) trigger += QStringLiteral("ALT+");
    if ((modifiers & MOD_SHIFT) != 0) trigger += QStringLiteral("SHIFT+");
    if ((modifiers & MOD_WIN) != 0) trigger += QStringLiteral("LOGO+");
    return trigger + QLatin1String(key);
}

void PortalHotKeys::NameHotKey(int32_t id, const std::string& name,
                               const std::string& description) {
    std::erase_if(m_names, [id](const Name& n) { return n.id == id; });
    m_names.push_back({id, QString::fromStdString(name), QString::fromStdString(description)});
}

QString PortalHotKeys::nameOf(int32_t id) const {
    for (const Name& n : m_names)
        if (n.id == id) return n.name;
    return QStringLiteral("hotkey%1").arg(id);
}

bool PortalHotKeys::RegisterHotKey(HWND hWnd, int32_t id, uint32_t modifiers, uint32_t vk) {
    if (hWnd == nullptr || triggerFor(modifiers, vk).isEmpty()) return false;
    const bool taken =
        std::any_of(m_registrations.begin(), m_registrations.end(),
                    [&](const Registration& r) { return r.hWnd == hWnd && r.id == id; });
    if (taken) return false;
    if (!bus().isConnected()) {
        setReach(HotKeyReach::NoGlobalKeys);
        return false;
    }
    m_registrations.push_back({hWnd, id, modifiers, vk, false, m_nextSerial++});
    if (!m_started) start();
    else if (!m_session.isEmpty()) scheduleRebind();
    return true;
}

// Keys registered once a session exists: a session binds its shortcuts once, so the old
// session goes and a new one binds every key registered by the time the event loop runs.
void PortalHotKeys::scheduleRebind() {
    if (m_rebindScheduled) return;
    m_rebindScheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_rebindScheduled = false;
            // The same keys given up and registered again (while other keys were being
            // chosen, and then not): the session still holds them.
            if (keysOf(m_registrations) == m_boundKeys) {
                for (Registration& r : m_registrations) r.bound = true;
                return;
            }
            closeSession();
            for (Registration& r : m_registrations) r.bound = false;
            createSession();
        },
        Qt::QueuedConnection);
}

bool PortalHotKeys::UnregisterHotKey(HWND hWnd, int32_t id) {
    const auto found =
        std::find_if(m_registrations.begin(), m_registrations.end(),
                     [&](const Registration& r) { return r.hWnd == hWnd && r.id == id; });
    if (found == m_registrations.end()) return false;
    m_registrations.erase(found);
    return true;
}

void PortalHotKeys::start() {
    m_started = true;
    // Answered or not, it comes first: the portal takes messages in the order sent.
    QDBusMessage registration = QDBusMessage::createMethodCall(
        kPortalService, kPortalPath, kRegistryInterface, QStringLiteral("Register"));
    registration << m_applicationId << QVariantMap{};
    bus().call(registration, QDBus::NoBlock);
    bus().connect(kPortalService, kPortalPath, kShortcutsInterface, QStringLiteral("Activated"),
                  this, SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    createSession();
}

void PortalHotKeys::createSession() {
    const QString sessionToken = QStringLiteral("wanshengxia%1").arg(m_nextToken++);
    request(QStringLiteral("CreateSession"),
            {QVariantMap{{QStringLiteral("session_handle_token"), sessionToken}}},
            SLOT(onSessionCreated(uint, QVariantMap)));
}

void PortalHotKeys::request(const QString& method, QVariantList arguments,
                            const char* responseSlot) {
    const QString token = QStringLiteral("wanshengxia%1").arg(m_nextToken++);
    const QString expectedPath = requestPathFor(token);
    subscribeResponse(expectedPath, this, responseSlot);
    // The options are the last argument of every portal request.
    QVariantMap options = arguments.takeLast().toMap();
    options.insert(QStringLiteral("handle_token"), token);
    arguments.append(options);

    QDBusMessage call =
        QDBusMessage::createMethodCall(kPortalService, kPortalPath, kShortcutsInterface, method);
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(bus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, expectedPath, responseSlot](QDBusPendingCallWatcher* finished) {
                finished->deleteLater();
                const QDBusPendingReply<QDBusObjectPath> reply = *finished;
                if (reply.isError()) {
                    bus().disconnect(kPortalService, expectedPath, kRequestInterface,
                                     QStringLiteral("Response"), this, responseSlot);
                    setReach(HotKeyReach::NoGlobalKeys);
                    return;
                }
                // Portals older than the handle_token convention pick the path themselves.
                const QString path = reply.value().path();
                if (path != expectedPath) subscribeResponse(path, this, responseSlot);
            });
}

void PortalHotKeys::onSessionCreated(uint response, const QVariantMap& results) {
    m_session = sessionHandleOf(results.value(QStringLiteral("session_handle")));
    if (response != 0 || m_session.isEmpty()) {
        setReach(HotKeyReach::NoGlobalKeys);
        return;
    }
    bind();
}

std::vector<PortalHotKeys::Key> PortalHotKeys::keysOf(
    const std::vector<Registration>& registrations) {
    std::vector<Key> keys;
    for (const Registration& r : registrations) keys.push_back({r.hWnd, r.id, r.modifiers, r.vk});
    std::sort(keys.begin(), keys.end());
    return keys;
}

void PortalHotKeys::bind() {
    m_boundKeys = keysOf(m_registrations);
    QList<PortalShortcut> shortcuts;
    for (Registration& r : m_registrations) {
        QString description;
        for (const Name& n : m_names)
            if (n.id == r.id) description = n.description;
        shortcuts.append({nameOf(r.id),
                          {{QStringLiteral("description"), description},
                           {QStringLiteral("preferred_trigger"), triggerFor(r.modifiers, r.vk)}}});
        r.bound = true;
    }
    request(QStringLiteral("BindShortcuts"),
            {QVariant::fromValue(QDBusObjectPath(m_session)), QVariant::fromValue(shortcuts),
             QString(), QVariantMap{}},
            SLOT(onBound(uint, QVariantMap)));
}

void PortalHotKeys::onBound(uint response, const QVariantMap& /*results*/) {
    setReach(response == 0 ? HotKeyReach::Working : HotKeyReach::NoGlobalKeys);
}

void PortalHotKeys::onActivated(const QDBusObjectPath& session, const QString& shortcutId,
                                qulonglong /*timestamp*/, const QVariantMap& /*options*/) {
    if (session.path() != m_session) return;
    for (const Registration& r : m_registrations) {
        if (!r.bound || nameOf(r.id) != shortcutId) continue;
        postHotKeyPress(*this, {r.hWnd, r.id, r.modifiers, r.vk, r.serial},
                        [this](uint64_t serial) { return isRegistered(serial); });
        return;
    }
}

bool PortalHotKeys::isRegistered(uint64_t serial) const {
    return std::any_of(m_registrations.begin(), m_registrations.end(),
                       [serial](const Registration& r) { return r.serial == serial; });
}

void PortalHotKeys::setReach(HotKeyReach reach) {
    if (m_reach == reach) return;
    m_reach = reach;
    if (onReachChanged)
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (onReachChanged) onReachChanged();
            },
            Qt::QueuedConnection);
}

}  // namespace wsx::platform
