# The desktop's own shortcuts read through GSettings, from a private compiled schema; key
# combinations as text, key symbols and portal triggers.
wsx_add_gtest(wsx_hotkeys_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/GnomeBindingsTest.cpp ${CMAKE_CURRENT_LIST_DIR}/HotKeyChordTest.cpp
  LIBS wsx_hotkeys)
