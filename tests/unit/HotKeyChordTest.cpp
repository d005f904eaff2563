// Key combinations as text: every key offered reads back as written, is spelt as Qt spells
// it (the key editors hand their keys over as Qt text), and reaches X and the portal under
// its key symbol's name; anything else is refused.
#include "platform/hotkeys/HotKeyChord.h"
#include "platform/hotkeys/HotKeys.h"
#include "platform/hotkeys/PortalHotKeys.h"

#include <gtest/gtest.h>

#include <QKeySequence>

#include <X11/keysym.h>

using namespace wsx::platform;

TEST(HotKeyChord, EveryOfferedKeyRoundTripsAndIsSpeltAsQtSpellsIt) {
    int offered = 0;
    for (uint32_t vk = 0; vk < 0x100; ++vk) {
        const HotKeyChord chord{MOD_CONTROL | MOD_ALT | MOD_SHIFT | MOD_WIN, vk};
        const std::string text = chordText(chord);
        if (text.empty()) {
            EXPECT_EQ(keysymFor(vk), 0U) << vk;
            continue;
        }
        ++offered;
        EXPECT_EQ(chordFromText(text), chord) << text;
        const QString qt =
            QKeySequence::fromString(QString::fromStdString(text), QKeySequence::PortableText)
                .toString(QKeySequence::PortableText);
        EXPECT_EQ(qt.toStdString(), text) << "Qt reads " << text << " as " << qt.toStdString();
        EXPECT_NE(keysymFor(vk), 0U) << text;
        EXPECT_NE(keysymNameFor(vk), nullptr) << text;
    }
    EXPECT_EQ(offered, 13 + 10 + 26 + 24);

    EXPECT_EQ(chordText({MOD_CONTROL | MOD_ALT, VK_DOWN}), "Ctrl+Alt+Down");
    EXPECT_EQ(chordText({MOD_WIN | MOD_SHIFT, 0x21}), "Meta+Shift+PgUp");
    EXPECT_EQ(chordFromText("alt+CTRL+r"), (HotKeyChord{MOD_CONTROL | MOD_ALT, 'R'}));
    EXPECT_EQ(chordFromText("F5"), (HotKeyChord{0, 0x74}));
    EXPECT_EQ(keysymFor('R'), uint32_t(XK_r));
    EXPECT_EQ(keysymFor(0x87), uint32_t(XK_F24));
    EXPECT_EQ(keysymFor(0x2E), uint32_t(XK_Delete));
    EXPECT_EQ(keysymFor(0x20), uint32_t(XK_space));
}

TEST(HotKeyChord, RefusesWhatIsNotOneOfferedKeyWithKnownModifiers) {
    for (const char* text :
         {"", "+", "Ctrl+", "Ctrl++", "Ctrl+Alt+Down+", "Ctrl+Ctrl+A", "Hyper+A", "Ctrl+Alt+Ä",
          "Ctrl+Alt+Tab", "Ctrl+Alt+,", "Ctrl Alt Down", "Ctrl+Alt+Down, Ctrl+Up", "Ctrl+Alt+F25",
          "Ctrl+Alt+AB", "Ctrl+Alt+ Down"})
        EXPECT_FALSE(chordFromText(text).has_value()) << '"' << text << '"';
    // Shift alone does not make a key safe to take from every program.
    EXPECT_FALSE(hasCommandModifier({MOD_SHIFT, 'A'}));
    EXPECT_FALSE(hasCommandModifier({0, 0x70}));
    for (uint32_t modifier : {MOD_CONTROL, MOD_ALT, MOD_WIN})
        EXPECT_TRUE(hasCommandModifier({modifier | MOD_SHIFT, 'A'}));
}

TEST(HotKeyChord, PortalTriggersUseTheKeySymbolNames) {
    EXPECT_EQ(PortalHotKeys::triggerFor(MOD_CONTROL | MOD_ALT, VK_DOWN), "CTRL+ALT+Down");
    EXPECT_EQ(PortalHotKeys::triggerFor(MOD_CONTROL | MOD_SHIFT, 'R'), "CTRL+SHIFT+r");
    EXPECT_EQ(PortalHotKeys::triggerFor(MOD_WIN, 0x22), "LOGO+Page_Down");
    EXPECT_EQ(PortalHotKeys::triggerFor(MOD_ALT, 0x7B), "ALT+F12");
    EXPECT_EQ(PortalHotKeys::triggerFor(MOD_ALT, 0x0D), "");  // Return is not offered
}
