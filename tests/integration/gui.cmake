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
    support/WavReader.cpp
  LIBS wsx_forms wsx_session Qt6::Test)
