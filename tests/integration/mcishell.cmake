# mcishell against a real PulseAudio server (its own private one): record a tone from the
# monitor, save, check with sox, play back and hear it again.
add_test(NAME mcishell.RecordsAndPlaysARealTone
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/integration/mcishell-tone.sh ${CMAKE_BINARY_DIR})
set_tests_properties(mcishell.RecordsAndPlaysARealTone PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 60)
# mcishell with no sound server at all: the codes on standard output as always, the cause of
# each failure beside its code on standard error.
add_test(NAME mcishell.SaysWhyWithNoServer
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/integration/mcishell-no-server.sh ${CMAKE_BINARY_DIR})
set_tests_properties(mcishell.SaysWhyWithNoServer PROPERTIES TIMEOUT 60)
