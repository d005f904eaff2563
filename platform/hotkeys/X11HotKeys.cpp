#include "platform/hotkeys/X11HotKeys.h"

#include "platform/hotkeys/DesktopBindings.h"
#include "platform/hotkeys/HotKeyChord.h"
#include "platform/hotkeys/HotKeyPress.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMetaObject>

#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace wsx::platform {

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using CPtr = std::unique_ptr<T, FreeDeleter>;

struct KeySymbolsDeleter {
    void operator()(xcb_key_symbols_t* p) const { xcb_key_symbols_free(p); }
};
using KeySymbols = std::unique_ptr<xcb_key_symbols_t, KeySymbolsDeleter>;

constexpr uint32_t kAllModifiers = MOD_ALT | MOD_CONTROL | MOD_SHIFT | MOD_WIN;
// The modifiers a hot key is told apart by; the locks and the XKB group bits are not.
constexpr uint16_t kRelevantMask =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

// Qt's xcb connection, or nullptr when the application does not run on X11.
xcb_connection_t* qtConnection() {
    if (qGuiApp == nullptr) return nullptr;
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? x11->connection() : nullptr;
}

uint16_t xModifiersFor(uint32_t modifiers) {
    uint16_t mask = 0;
    if ((modifiers & MOD_CONTROL) != 0) mask |= XCB_MOD_MASK_CONTROL;
    if ((modifiers & MOD_ALT) != 0) mask |= XCB_MOD_MASK_1;
    if ((modifiers & MOD_SHIFT) != 0) mask |= XCB_MOD_MASK_SHIFT;
    if ((modifiers & MOD_WIN) != 0) mask |= XCB_MOD_MASK_4;
    return mask;
}

// Every keycode that produces `keysym` in the current keyboard mapping.
std::vector<uint8_t> keycodesFor(xcb_key_symbols_t* symbols, xcb_keysym_t keysym) {
    std::vector<uint8_t> keycodes;
    const CPtr<xcb_keycode_t> list(xcb_key_symbols_get_keycode(symbols, keysym));
    for (const xcb_keycode_t* k = list.get(); k != nullptr && *k != XCB_NO_SYMBOL; ++k)
        keycodes.push_back(*k);
    return keycodes;
}

// The modifier bit NumLock is mapped to (0 when it is not mapped to one).
uint16_t numLockMask(xcb_connection_t* connection, xcb_key_symbols_t* symbols) {
    const std::vector<uint8_t> numLock = keycodesFor(symbols, XK_Num_Lock);
    const CPtr<xcb_get_modifier_mapping_reply_t> reply(
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr));
    if (!reply || numLock.empty()) return 0;
    const xcb_keycode_t* map = xcb_get_modifier_mapping_keycodes(reply.get());
    const int perModifier = reply->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < perModifier; ++i) {
            const xcb_keycode_t k = map[modifier * perModifier + i];
            if (k != 0 && std::find(numLock.begin(), numLock.end(), k) != numLock.end())
                return static_cast<uint16_t>(1U << modifier);
        }
    }
    return 0;
}

std::vector<xcb_window_t> rootWindows(xcb_connection_t* connection) {
    std::vector<xcb_window_t> roots;
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(connection)); it.rem > 0;
         xcb_screen_next(&it))
        roots.push_back(it.data->root);
    return roots;
}

}  // namespace

X11HotKeys::X11HotKeys() : m_connection(qtConnection()) {
    if (m_connection != nullptr) QCoreApplication::instance()->installNativeEventFilter(this);
}

X11HotKeys::~X11HotKeys() {
    // The connection belongs to the application: when it is already gone the server has
    // released our grabs with it, and there is nothing left to ungrab.
    if (m_connection == nullptr || qtConnection() != m_connection) return;
    for (const Registration& r : m_registrations) ungrabAll(r.grabs);
    m_registrations.clear();
    // ~QAbstractNativeEventFilter takes the filter out of the application.
}

bool X11HotKeys::RegisterHotKey(HWND hWnd, int32_t id, uint32_t modifiers, uint32_t vk) {
    const HotKeyReach before = reach();
    const bool registered = grabHotKey(hWnd, id, modifiers, vk);
    if (reach() != before) announceReach();
    return registered;
}

bool X11HotKeys::grabHotKey(HWND hWnd, int32_t id, uint32_t modifiers, uint32_t vk) {
    if (m_connection == nullptr || xcb_connection_has_error(m_connection) != 0 || hWnd == nullptr)
        return false;
    const xcb_keysym_t keysym = keysymFor(vk);
    if (keysym == 0 || (modifiers & ~kAllModifiers) != 0) return false;
    const uint16_t xModifiers = xModifiersFor(modifiers);

    const KeySymbols symbols(xcb_key_symbols_alloc(m_connection));
    if (!symbols) return false;
    std::vector<uint8_t> keycodes = keycodesFor(symbols.get(), keysym);
    if (keycodes.empty()) return false;

    for (const Registration& r : m_registrations) {
        if (r.hWnd == hWnd && r.id == id) return false;  // the id is taken for this window
        // X would let us grab our own combination again without complaint, and undoing the
        // failed registration would then release the first one's grabs.
        const bool sameKey = std::any_of(keycodes.begin(), keycodes.end(), [&r](uint8_t k) {
            return std::find(r.keycodes.begin(), r.keycodes.end(), k) != r.keycodes.end();
        });
        if (sameKey && r.xModifiers == xModifiers) return false;
    }

    const uint16_t numLock = numLockMask(m_connection, symbols.get());
    std::vector<uint16_t> locks{0, XCB_MOD_MASK_LOCK};
    if (numLock != 0 && numLock != XCB_MOD_MASK_LOCK) {
        locks.push_back(numLock);
        locks.push_back(static_cast<uint16_t>(numLock | XCB_MOD_MASK_LOCK));
    }

    std::vector<Grab> grabs;
    for (const xcb_window_t root : rootWindows(m_connection))
        for (const uint8_t keycode : keycodes)
            for (const uint16_t lock : locks)
                grabs.push_back(Grab{root, keycode, static_cast<uint16_t>(xModifiers | lock)});
    if (!grabAll(grabs)) {
        m_refused.push_back({hWnd, id});
        return false;
    }

    m_registrations.push_back(Registration{hWnd, id, modifiers, vk, xModifiers, std::move(keycodes),
                                           std::move(grabs), m_nextSerial++,
                                           desktopBindsKey(modifiers, vk)});
    return true;
}

bool X11HotKeys::UnregisterHotKey(HWND hWnd, int32_t id) {
    const HotKeyReach before = reach();
    // A key refused earlier is given up as well: it no longer stands for a refusal.
    std::erase_if(m_refused, [&](const Refusal& r) { return r.hWnd == hWnd && r.id == id; });
    const bool released = releaseHotKey(hWnd, id);
    if (reach() != before) announceReach();
    return released;
}

bool X11HotKeys::releaseHotKey(HWND hWnd, int32_t id) {
    const auto found =
        std::find_if(m_registrations.begin(), m_registrations.end(),
                     [&](const Registration& r) { return r.hWnd == hWnd && r.id == id; });
    if (found == m_registrations.end()) return false;
    if (m_connection != nullptr && xcb_connection_has_error(m_connection) == 0)
        ungrabAll(found->grabs);
    m_registrations.erase(found);
    return true;
}

HotKeyReach X11HotKeys::reach() const {
    if (m_connection == nullptr) return HotKeyReach::NoGlobalKeys;
    if (!m_refused.empty()) return HotKeyReach::TakenByOther;
    const bool desktopBinds = std::any_of(m_registrations.begin(), m_registrations.end(),
                                          [](const Registration& r) { return r.desktopBinds; });
    return desktopBinds ? HotKeyReach::TakenByDesktop : HotKeyReach::Working;
}

void X11HotKeys::announceReach() {
    QMetaObject::invokeMethod(
        &m_context,
        [this] {
            if (onReachChanged) onReachChanged();
        },
        Qt::QueuedConnection);
}

// Grabs every combination in `wanted`. All or nothing: when the server refuses one (BadAccess:
// another client holds it), the ones granted are released again and false is returned.
// On success `wanted` is what is now held.
bool X11HotKeys::grabAll(std::vector<Grab>& wanted) {
    // Asynchronous mode for both devices: the grab must not freeze the keyboard or pointer.
    // owner_events false: the press is reported on the root window even when one of our own
    // windows has the focus, so it never turns into an ordinary key event there.
    std::vector<xcb_void_cookie_t> cookies;
    cookies.reserve(wanted.size());
    for (const Grab& g : wanted)
        cookies.push_back(xcb_grab_key_checked(m_connection, 0, g.root, g.xModifiers, g.keycode,
                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    std::vector<Grab> granted;
    bool refused = false;
    for (size_t i = 0; i < cookies.size(); ++i) {
        const CPtr<xcb_generic_error_t> error(xcb_request_check(m_connection, cookies[i]));
        if (error) refused = true;
        else granted.push_back(wanted[i]);
    }
    if (refused) {
        ungrabAll(granted);
        return false;
    }
    return true;
}

// Releases the grabs and waits until the server has done so: when this returns, another
// client can grab the same keys.
void X11HotKeys::ungrabAll(const std::vector<Grab>& grabs) {
    std::vector<xcb_void_cookie_t> cookies;
    cookies.reserve(grabs.size());
    for (const Grab& g : grabs)
        cookies.push_back(xcb_ungrab_key_checked(m_connection, g.keycode, g.root, g.xModifiers));
    for (const xcb_void_cookie_t cookie : cookies)
        CPtr<xcb_generic_error_t>(xcb_request_check(m_connection, cookie));
}

bool X11HotKeys::nativeEventFilter(const QByteArray& eventType, void* message,
                                   qintptr* /*result*/) {
    if (eventType != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != XCB_KEY_PRESS) return false;
    const auto* press = reinterpret_cast<const xcb_key_press_event_t*>(event);
    const uint16_t state = press->state & kRelevantMask;

    for (const Registration& r : m_registrations) {
        if (r.xModifiers != state ||
            std::find(r.keycodes.begin(), r.keycodes.end(), press->detail) == r.keycodes.end())
            continue;
        const bool onOurRoot = std::any_of(r.grabs.begin(), r.grabs.end(), [press](const Grab& g) {
            return g.root == press->root;
        });
        if (!onOurRoot) continue;
        postHotKeyPress(m_context, {r.hWnd, r.id, r.modifiers, r.vk, r.serial},
                        [this](uint64_t serial) { return isRegistered(serial); });
        return true;
    }
    return false;
}

bool X11HotKeys::isRegistered(uint64_t serial) const {
    return std::any_of(m_registrations.begin(), m_registrations.end(),
                       [serial](const Registration& r) { return r.serial == serial; });
}

}  // namespace wsx::platform
