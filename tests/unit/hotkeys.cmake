# The desktop's own shortcuts read through GSettings, from a private compiled schema.
wsx_add_gtest(wsx_hotkeys_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/GnomeBindingsTest.cpp
  LIBS wsx_hotkeys)
