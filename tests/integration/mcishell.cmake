# mcishell against a real PulseAudio server (its own private one): record a tone from the
# monitor, save, check with sox, play back and hear it again.
add_test(NAME mcishell.RecordsAndPlaysARealTone
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/integration/mcishell-tone.sh ${CMAKE_BINARY_DIR})
set_tests_properties(mcishell.RecordsAndPlaysARealTone PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 60)

# Takes survive SIGKILL: mcishell is killed at 50 random moments of a session of overwrites,
# inserts and deletes on the virtual clock; each reopened take must equal what a save just
# before the kill held, less at most 0.5 s of the capture under way. Prints its seed.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND)
  add_test(NAME mcishell.KilledTakesReopenSampleForSample
           COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/integration/mcishell-kill.py
                   ${CMAKE_BINARY_DIR} 50)
  set_tests_properties(mcishell.KilledTakesReopenSampleForSample PROPERTIES TIMEOUT 120)
  # The same with a compaction after every edit, paced so kills land inside them too.
  add_test(NAME mcishell.TakesKilledWhileCompactingReopenSampleForSample
           COMMAND Python3::Interpreter ${CMAKE_CURRENT_SOURCE_DIR}/integration/mcishell-kill.py
                   ${CMAKE_BINARY_DIR} 50 --compact)
  set_tests_properties(mcishell.TakesKilledWhileCompactingReopenSampleForSample PROPERTIES TIMEOUT 120)
endif()

# No sound server: record fails with "noserver" and leaves no take; bad waits are refused.
add_test(NAME mcishell.RefusesWhatItCannotDoAndSaysWhy
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/integration/mcishell-refusals.sh ${CMAKE_BINARY_DIR})
set_tests_properties(mcishell.RefusesWhatItCannotDoAndSaysWhy PROPERTIES TIMEOUT 60)

# mcishell with no sound server at all: the codes on standard output as always, the cause of
# each failure beside its code on standard error.
add_test(NAME mcishell.SaysWhyWithNoServer
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/integration/mcishell-no-server.sh ${CMAKE_BINARY_DIR})
set_tests_properties(mcishell.SaysWhyWithNoServer PROPERTIES TIMEOUT 60)

# Scripted recordings against a real server: "record A to 1500 wait" takes its 1.5 s and
# saves exactly 1.5 s; Ctrl+C ends a "record A wait" and the next line saves what it got.
add_test(NAME mcishell.WaitTimesARecordingAndCtrlCEndsIt
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/integration/mcishell-wait.sh ${CMAKE_BINARY_DIR})
set_tests_properties(mcishell.WaitTimesARecordingAndCtrlCEndsIt PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 60)

# Every failure with a known cause says it on standard error: a folder for takes that cannot
# be made, a file that is no WAV, a damaged take (a FIFO journal, refused without a hang), a
# folder that is no take.
add_test(NAME mcishell.SaysWhyForEachFailure
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/integration/mcishell-causes.sh ${CMAKE_BINARY_DIR})
set_tests_properties(mcishell.SaysWhyForEachFailure PROPERTIES TIMEOUT 60)

# A take follows the clock on a real server: the sink suspended 3 s mid-take, the saved
# length within 0.3 s of the wall time, silence where the stall was.
add_test(NAME mcishell.ASuspendedSinkBecomesSilenceAndTheTakeKeepsTheTime
         COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/integration/mcishell-stall.sh ${CMAKE_BINARY_DIR})
set_tests_properties(mcishell.ASuspendedSinkBecomesSilenceAndTheTakeKeepsTheTime PROPERTIES
  SKIP_RETURN_CODE 77 TIMEOUT 60)
