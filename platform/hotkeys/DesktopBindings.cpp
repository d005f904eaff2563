// GLib's headers stay out of Qt's way (its `signals` keyword): this file includes no Qt.
#include "platform/hotkeys/DesktopBindings.h"

#include "platform/hotkeys/HotKeyChord.h"
#include "platform/hotkeys/HotKeys.h"

#include <gio/gio.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

namespace wsx::platform {

namespace {

constexpr const char* kSchemas[] = {"org.gnome.desktop.wm.keybindings",
                                    "org.gnome.shell.keybindings", "org.gnome.mutter.keybindings",
                                    "org.gnome.settings-daemon.plugins.media-keys"};

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

// An accelerator as GTK writes it ("<Control><Alt>Up", "<Primary><Alt>up"): MOD_* bits and
// the key's name in lower case.
struct Accelerator {
    uint32_t modifiers = 0;
    std::string key;
};

Accelerator parseAccelerator(const char* text) {
    Accelerator parsed;
    std::string rest = text;
    while (!rest.empty() && rest[0] == '<') {
        const size_t end = rest.find('>');
        if (end == std::string::npos) break;
        const std::string name = lower(rest.substr(1, end - 1));
        if (name == "control" || name == "ctrl" || name == "primary")
            parsed.modifiers |= MOD_CONTROL;
        else if (name == "alt" || name == "mod1") parsed.modifiers |= MOD_ALT;
        else if (name == "shift") parsed.modifiers |= MOD_SHIFT;
        else if (name == "super" || name == "mod4") parsed.modifiers |= MOD_WIN;
        rest.erase(0, end + 1);
    }
    parsed.key = lower(rest);
    return parsed;
}

bool isGnomeSession() {
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    return desktop != nullptr && std::strstr(desktop, "GNOME") != nullptr;
}

bool schemaBindsKey(GSettingsSchemaSource* source, const char* id, uint32_t modifiers,
                    const char* key) {
    GSettingsSchema* schema = g_settings_schema_source_lookup(source, id, TRUE);
    if (schema == nullptr) return false;
    GSettings* settings = g_settings_new_full(schema, nullptr, nullptr);
    gchar** names = g_settings_schema_list_keys(schema);
    bool bound = false;
    for (gchar** name = names; *name != nullptr && !bound; ++name) {
        GVariant* value = g_settings_get_value(settings, *name);
        if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING_ARRAY)) {
            const gchar** accelerators = g_variant_get_strv(value, nullptr);
            for (const gchar** a = accelerators; *a != nullptr && !bound; ++a) {
                const Accelerator parsed = parseAccelerator(*a);
                bound = parsed.modifiers == modifiers && parsed.key == key;
            }
            g_free(accelerators);
        } else if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)) {
            const Accelerator parsed = parseAccelerator(g_variant_get_string(value, nullptr));
            bound = parsed.modifiers == modifiers && parsed.key == key;
        }
        g_variant_unref(value);
    }
    g_strfreev(names);
    g_object_unref(settings);
    g_settings_schema_unref(schema);
    return bound;
}

}  // namespace

bool desktopBindsKey(uint32_t modifiers, uint32_t vk) {
    const char* name = keysymNameFor(vk);
    if (name == nullptr || !isGnomeSession()) return false;
    const std::string key = lower(name);
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (source == nullptr) return false;
    return std::any_of(std::begin(kSchemas), std::end(kSchemas), [&](const char* id) {
        return schemaBindsKey(source, id, modifiers, key.c_str());
    });
}

}  // namespace wsx::platform
