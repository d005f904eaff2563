// The desktop's own shortcuts as GNOME keeps them, from a private compiled schema: keys found
// whatever the spelling of the modifiers, only the exact combination, only on GNOME.
#include "platform/hotkeys/DesktopBindings.h"
#include "platform/hotkeys/HotKeys.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

using namespace wsx::platform;

TEST(GnomeBindings, FoundInAnySpellingOnlyForTheExactKeyAndOnlyOnGnome) {
    wsx::test::TempDir dir;
    std::ofstream(dir.path() / "org.gnome.desktop.wm.keybindings.gschema.xml") << R"(<schemalist>
  <schema id="org.gnome.desktop.wm.keybindings" path="/org/gnome/desktop/wm/keybindings/">
    <key name="switch-to-workspace-up" type="as"><default>['&lt;Super&gt;Page_Up', '&lt;Control&gt;&lt;Alt&gt;Up']</default></key>
    <key name="switch-to-workspace-down" type="as"><default>['&lt;Alt&gt;&lt;Primary&gt;down']</default></key>
    <key name="show-desktop" type="s"><default>'&lt;Ctrl&gt;&lt;Alt&gt;&lt;Shift&gt;Right'</default></key>
  </schema>
</schemalist>)";
    const std::string compile = "glib-compile-schemas " + dir.path().string();
    if (std::system(compile.c_str()) != 0) GTEST_SKIP() << "glib-compile-schemas failed";
    setenv("GSETTINGS_SCHEMA_DIR", dir.path().c_str(), 1);
    setenv("GSETTINGS_BACKEND", "memory", 1);

    setenv("XDG_CURRENT_DESKTOP", "KDE", 1);
    EXPECT_FALSE(desktopBindsKey(MOD_CONTROL | MOD_ALT, VK_UP));

    setenv("XDG_CURRENT_DESKTOP", "ubuntu:GNOME", 1);
    EXPECT_TRUE(desktopBindsKey(MOD_CONTROL | MOD_ALT, VK_UP));
    EXPECT_TRUE(desktopBindsKey(MOD_CONTROL | MOD_ALT, VK_DOWN));    // "<Alt><Primary>down"
    EXPECT_FALSE(desktopBindsKey(MOD_CONTROL | MOD_ALT, VK_RIGHT));  // only with Shift
    EXPECT_TRUE(desktopBindsKey(MOD_CONTROL | MOD_ALT | MOD_SHIFT, VK_RIGHT));
    EXPECT_FALSE(desktopBindsKey(MOD_ALT, VK_UP));
    EXPECT_FALSE(desktopBindsKey(MOD_CONTROL | MOD_ALT, 0x41));
    EXPECT_TRUE(desktopBindsKey(MOD_WIN, 0x21));  // "<Super>Page_Up": keys beyond the arrows
}
