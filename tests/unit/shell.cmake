# The desktop's MIME database through GIO, from private XDG folders.
wsx_add_gtest(wsx_shell_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/DesktopAssociationsTest.cpp
  LIBS wsx_shell)
