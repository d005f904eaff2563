# The recorder window driven headlessly: real engine on the virtual clock, scripted dialogs,
# recording fakes for the tray, hot keys and shell, the real registry on a temporary folder.
wsx_add_gtest(wsx_gui_tests QT_MAIN
  SOURCES
    integration/RecorderStateTest.cpp
    integration/RecorderPositionTest.cpp
    integration/RecorderLifecycleTest.cpp
    integration/RecorderFileTest.cpp
    integration/RecorderEditTest.cpp
    integration/RecorderShellTest.cpp
    integration/RecorderLayoutTest.cpp
    integration/RecorderTakesTest.cpp
    integration/RecorderCommandsTest.cpp
    integration/RecorderInputTest.cpp
    integration/RecorderHotKeysTest.cpp
    integration/RecorderAccessTest.cpp
    integration/RecorderSleepTest.cpp
    support/WavReader.cpp
  LIBS wsx_forms wsx_session wsx_session_commands Qt6::Test)

# The window's layout again with AR PL UMing as the only Song face (Noto's CJK faces hidden
# from fontconfig): the places are then exactly the table's, and still nothing is cut off.
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/uming-only-fonts.conf [=[<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <include ignore_missing="yes">/etc/fonts/fonts.conf</include>
  <selectfont><rejectfont><glob>*Noto*CJK*</glob></rejectfont></selectfont>
</fontconfig>
]=])
add_test(NAME Layout.WithUMingOnly COMMAND wsx_gui_tests --gtest_filter=Layout.*)
set_tests_properties(Layout.WithUMingOnly PROPERTIES
  ENVIRONMENT "FONTCONFIG_FILE=${CMAKE_CURRENT_BINARY_DIR}/uming-only-fonts.conf")

# The same at twice the scale (a 200 % desktop): nothing may run out of its window.
add_test(NAME Layout.AtTwiceTheScale COMMAND wsx_gui_tests --gtest_filter=Layout.*)
set_tests_properties(Layout.AtTwiceTheScale PROPERTIES ENVIRONMENT "QT_SCALE_FACTOR=2")
