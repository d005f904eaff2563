# The sound engine on the virtual clock: parser, piece table, WAV files, every MCI command,
# and the command strings the window sends; FLAC, Opus and MP3 saves decoded back; the
# playback clock without a server; the transport checked against a reference model with
# random scripts (TransportModel).
wsx_add_gtest(wsx_sound_tests
  SOURCES
    unit/MciTokenizerTest.cpp
    unit/PieceTableTest.cpp
    unit/WavFileTest.cpp
    unit/WavReaderTest.cpp
    unit/MciFileTest.cpp
    unit/MciEngineTest.cpp
    unit/MciParserTest.cpp
    unit/MciWaitNotifyTest.cpp
    unit/MciRecordingTest.cpp
    unit/ModuleRecordTest.cpp
    unit/TakeJournalTest.cpp
    unit/MciTakeTest.cpp
    unit/DamagedTakeTest.cpp
    unit/TakeCompactionTest.cpp
    unit/MciReasonTest.cpp
    unit/PlaybackClockTest.cpp
    unit/TransportModel.cpp
    unit/TransportModelTest.cpp
    unit/CaptureMixerTest.cpp
    unit/CaptureWriterTest.cpp
    unit/CaptureGapTest.cpp
    unit/MciInputTest.cpp
    unit/LevelMeterTest.cpp
    unit/SoundExportTest.cpp
    support/WavReader.cpp
  LIBS wsx_modules wsx_engine wsx_audio PkgConfig::SNDFILE)
target_compile_definitions(wsx_sound_tests PRIVATE
  WSX_TEST_SUPPORT_DIR="${CMAKE_CURRENT_SOURCE_DIR}/support")

# Power cuts: a disk that keeps only what was synced (PowerCutDisk interposes fsync, fdatasync,
# unlink and rename, so it is a program of its own), cut at random moments of random scripts.
wsx_add_gtest(wsx_powercut_tests
  SOURCES unit/PowerCutTest.cpp unit/PowerCutDisk.cpp
  LIBS wsx_engine wsx_audio ${CMAKE_DL_LIBS})
