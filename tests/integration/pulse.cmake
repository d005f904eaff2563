# PulseAudioBackend against real servers. Run the cases under the private test server:
#   tests/support/pulse-env.sh ctest --test-dir BUILD -R Pulse --output-on-failure
# Without it, the cases that need a server skip and say why.
wsx_add_gtest(wsx_pulse_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/PulseAudioBackendTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PulseTestAudio.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PulseTestServer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PulseTakeTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PulseSourcesTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PulseFormatsTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../support/WavReader.cpp
  LIBS wsx_engine wsx_audio)
target_compile_definitions(wsx_pulse_tests PRIVATE
  WSX_SOUND_SERVER_SCRIPT="${PROJECT_SOURCE_DIR}/tests/support/sound-server.sh")
