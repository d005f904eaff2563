// GLib's headers stay out of Qt's way (its `signals` keyword): this file includes no Qt.
#include "platform/shell/DesktopAssociations.h"

#include <gio/gio.h>

namespace wsx::platform {

namespace {

// The default program for the file's type; the caller unrefs it. nullptr when none.
GAppInfo* defaultProgram(const std::string& path) {
    gboolean uncertain = FALSE;
    gchar* type = g_content_type_guess(path.c_str(), nullptr, 0, &uncertain);
    if (type == nullptr) return nullptr;
    GAppInfo* program = g_app_info_get_default_for_type(type, FALSE);
    g_free(type);
    return program;
}

}  // namespace

std::string defaultProgramFor(const std::string& path) {
    GAppInfo* program = defaultProgram(path);
    if (program == nullptr) return {};
    const char* id = g_app_info_get_id(program);
    std::string name = id != nullptr ? id : g_app_info_get_name(program);
    g_object_unref(program);
    return name;
}

bool openWithDefaultProgram(const std::string& path) {
    GAppInfo* program = defaultProgram(path);
    if (program == nullptr) return false;
    GFile* file = g_file_new_for_path(path.c_str());
    GList* files = g_list_append(nullptr, file);
    // No launch context: the program inherits the environment (DISPLAY, WAYLAND_DISPLAY).
    const bool started = g_app_info_launch(program, files, nullptr, nullptr) != FALSE;
    g_list_free(files);
    g_object_unref(file);
    g_object_unref(program);
    return started;
}

}  // namespace wsx::platform
