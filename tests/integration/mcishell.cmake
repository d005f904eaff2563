# mcishell against a real PulseAudio server (its own private one): record a tone from the
# monitor, save, check with sox, play back and hear it again.
add_test(NAME mcishell.RecordsAndPlaysARealTone
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/integration/mcishell-tone.sh ${CMAKE_BINARY_DIR})
set_tests_properties(mcishell.RecordsAndPlaysARealTone PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 60)
