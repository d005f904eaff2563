// fakekeys: presses key chords inside a KWin Wayland session through KWin's fake-input
// protocol (org_kde_kwin_fake_input, version 4 for keys), as a keyboard would: the modifiers
// go down, the key goes down and up, the modifiers come up. KWin offers the protocol to any
// client when it runs with KWIN_WAYLAND_NO_PERMISSION_CHECKS=1.
//   fakekeys CHORD...      CHORD: ctrl+alt+Down, shift+meta+F5 (names below)
// Exit 0 when every chord was sent, 1 on a chord it cannot press, 2 when there is no
// compositor or it offers no keyboard fake input.
#include "fake-input-client-protocol.h"

#include <wayland-client.h>

#include <linux/input-event-codes.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Globals {
    org_kde_kwin_fake_input* fakeInput = nullptr;
};

void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t version) {
    auto* globals = static_cast<Globals*>(data);
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && version >= 4)
        globals->fakeInput = static_cast<org_kde_kwin_fake_input*>(
            wl_registry_bind(registry, name, &org_kde_kwin_fake_input_interface, 4));
}

void onGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener = {onGlobal, onGlobalRemove};

// Linux input key codes of the names a chord may use.
int keyCode(const std::string& name) {
    struct Named {
        const char* name;
        int code;
    };
    static const Named kKeys[] = {
        {"ctrl", KEY_LEFTCTRL}, {"alt", KEY_LEFTALT}, {"shift", KEY_LEFTSHIFT},
        {"meta", KEY_LEFTMETA}, {"Down", KEY_DOWN},   {"Up", KEY_UP},
        {"Left", KEY_LEFT},     {"Right", KEY_RIGHT}, {"F5", KEY_F5},
        {"F9", KEY_F9},         {"r", KEY_R},         {"Return", KEY_ENTER},
        {"Escape", KEY_ESC}};
    for (const Named& key : kKeys)
        if (name == key.name) return key.code;
    return -1;
}

std::vector<int> chordCodes(const char* chord) {
    std::vector<int> codes;
    std::string rest = chord;
    for (;;) {
        const size_t plus = rest.find('+');
        const int code = keyCode(rest.substr(0, plus));
        if (code < 0) return {};
        codes.push_back(code);
        if (plus == std::string::npos) return codes;
        rest.erase(0, plus + 1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "fakekeys: no Wayland compositor (WAYLAND_DISPLAY)\n");
        return 2;
    }
    Globals globals;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, &globals);
    wl_display_roundtrip(display);
    if (globals.fakeInput == nullptr) {
        std::fprintf(stderr, "fakekeys: the compositor offers no org_kde_kwin_fake_input 4\n");
        wl_display_disconnect(display);
        return 2;
    }
    org_kde_kwin_fake_input_authenticate(globals.fakeInput, "fakekeys", "end-to-end tests");
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        const std::vector<int> codes = chordCodes(argv[i]);
        if (codes.empty()) {
            std::fprintf(stderr, "fakekeys: cannot press '%s'\n", argv[i]);
            status = 1;
            continue;
        }
        for (int code : codes)
            org_kde_kwin_fake_input_keyboard_key(globals.fakeInput, uint32_t(code),
                                                 WL_KEYBOARD_KEY_STATE_PRESSED);
        for (auto code = codes.rbegin(); code != codes.rend(); ++code)
            org_kde_kwin_fake_input_keyboard_key(globals.fakeInput, uint32_t(*code),
                                                 WL_KEYBOARD_KEY_STATE_RELEASED);
        wl_display_roundtrip(display);
    }
    org_kde_kwin_fake_input_destroy(globals.fakeInput);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return status;
}
