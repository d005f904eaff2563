# End-to-end journeys: the built program in Xvfb with trayer and a PulseAudio null sink,
# driven with xdotool, its sound checked with sox. Screenshots land in build/e2e-output.
# Tries to take the three hot keys the way another program would.
add_executable(grabkeys ${CMAKE_CURRENT_SOURCE_DIR}/support/grabkeys.cpp)
target_link_libraries(grabkeys PRIVATE PkgConfig::WSX_XCB wsx_warnings wsx_sanitize)
set_target_properties(grabkeys PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

foreach(journey IN ITEMS journey-screen-reader journey-window-manager record-stop-play tray-hotkeys tray-sni tray-panel hotkeys-other command-line hotkeys-portal hotkeys-kde hotkeys-gnome save-as autostart-about journey-whole-take journey-close-question journey-eleven-mono journey-server-dies journey-sink-stalls journey-take-comes-back journey-display-lost journey-disk-full journey-input-sources help-opens save-formats)
  add_test(NAME e2e.${journey}
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/e2e/run-journey.sh ${journey}.sh
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(e2e.${journey} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 180)
endforeach()

# Presses keys inside a KWin Wayland session (tests/e2e/hotkeys-kde.sh), through KWin's
# fake-input protocol. Built only where libwayland-dev and plasma-wayland-protocols are
# installed; without it that journey skips.
pkg_check_modules(WSX_WAYLAND_CLIENT IMPORTED_TARGET wayland-client)
find_package(PlasmaWaylandProtocols QUIET)
find_program(WSX_WAYLAND_SCANNER wayland-scanner)
if(WSX_WAYLAND_CLIENT_FOUND AND PlasmaWaylandProtocols_FOUND AND WSX_WAYLAND_SCANNER)
  enable_language(C)  # wayland-scanner writes the protocol's code in C
  set(fake_input_xml ${PLASMA_WAYLAND_PROTOCOLS_DIR}/fake-input.xml)
  set(fake_input_dir ${CMAKE_CURRENT_BINARY_DIR}/fake-input)
  add_custom_command(
    OUTPUT ${fake_input_dir}/fake-input-client-protocol.h ${fake_input_dir}/fake-input-protocol.c
    COMMAND ${CMAKE_COMMAND} -E make_directory ${fake_input_dir}
    COMMAND ${WSX_WAYLAND_SCANNER} client-header ${fake_input_xml} ${fake_input_dir}/fake-input-client-protocol.h
    COMMAND ${WSX_WAYLAND_SCANNER} private-code ${fake_input_xml} ${fake_input_dir}/fake-input-protocol.c
    DEPENDS ${fake_input_xml})
  add_executable(fakekeys ${CMAKE_CURRENT_SOURCE_DIR}/support/fakekeys.cpp
                          ${fake_input_dir}/fake-input-protocol.c)
  # The generated code is wayland-scanner's, not held to the project's warnings.
  set_source_files_properties(${fake_input_dir}/fake-input-protocol.c PROPERTIES COMPILE_OPTIONS -w)
  target_include_directories(fakekeys SYSTEM PRIVATE ${fake_input_dir})
  target_link_libraries(fakekeys PRIVATE PkgConfig::WSX_WAYLAND_CLIENT wsx_warnings)
  set_target_properties(fakekeys PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
endif()
