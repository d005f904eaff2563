# End-to-end journeys: the built program in Xvfb with trayer and a PulseAudio null sink,
# driven with xdotool, its sound checked with sox. Screenshots land in build/e2e-output.
foreach(journey IN ITEMS record-stop-play)
  add_test(NAME e2e.${journey}
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/e2e/run-journey.sh ${journey}.sh
           WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(e2e.${journey} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 180)
endforeach()
