# End-to-end journeys: the built program in Xvfb with trayer and a PulseAudio null sink,
# driven with xdotool, its sound checked with sox. Screenshots land in build/e2e-output.
# Tries to take the three hot keys the way another program would.
add_executable(grabkeys ${CMAKE_CURRENT_SOURCE_DIR}/support/grabkeys.cpp)
target_link_libraries(grabkeys PRIVATE PkgConfig::WSX_XCB wsx_warnings wsx_sanitize)
set_target_properties(grabkeys PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

foreach(journey IN ITEMS record-stop-play tray-hotkeys tray-sni hotkeys-other command-line hotkeys-portal save-as autostart-about journey-whole-take journey-close-question journey-eleven-mono journey-server-dies journey-sink-stalls journey-take-comes-back journey-display-lost journey-disk-full journey-input-sources help-opens save-formats)
  add_test(NAME e2e.${journey}
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/e2e/run-journey.sh ${journey}.sh
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(e2e.${journey} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 180)
endforeach()
