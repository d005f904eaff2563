# Desktop stand-ins on a real X server: global hot keys (X11 grabs, keys pressed with
# xdotool), the tray icon in a real XEmbed tray host (trayer; the tests start one when the
# display has none), and the shell. Run them on a private display:
#   tests/support/x-env.sh ctest --test-dir BUILD -R Desktop --output-on-failure
# Without a reachable display the cases that need X skip and say why. The test program
# chooses the xcb platform itself when DISPLAY answers, and takes a per-display lock so
# cases pressing global keys never run at the same time.
find_package(Qt6 REQUIRED COMPONENTS Test)
wsx_add_gtest(wsx_desktop_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/DesktopTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DesktopHotKeysTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DesktopTrayTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DesktopTrayMenuTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DesktopShellTest.cpp
  LIBS wsx_hotkeys wsx_shell Qt6::Test PkgConfig::WSX_XCB
  ENV "QT_QPA_PLATFORM=xcb")

# A tray host that appears after the icon needs a display without one, and the test
# session's display has trayer: this case runs again on a display of its own.
add_test(NAME DesktopTray.IconDocksWhenATrayHostAppearsLater.OwnDisplay
         COMMAND ${PROJECT_SOURCE_DIR}/tests/support/x-env.sh $<TARGET_FILE:wsx_desktop_tests>
                 --gtest_filter=DesktopTray.IconDocksWhenATrayHostAppearsLater)
set_tests_properties(DesktopTray.IconDocksWhenATrayHostAppearsLater.OwnDisplay PROPERTIES
  ENVIRONMENT QT_QPA_PLATFORM=xcb SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]" TIMEOUT 60)
