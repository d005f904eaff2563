# The fuzz targets: a name (the seeds are in seeds/<name>), the source of the entry point,
# and the libraries it calls. Included after wsx_fuzz_target is defined: as libFuzzer
# executables by tests/fuzz/CMakeLists.txt, as seed replays in the ordinary test build by
# tests/fuzz/seeds.cmake.
wsx_fuzz_target(mci_command MciCommandFuzzer.cpp wsx_engine wsx_log)
wsx_fuzz_target(take_journal TakeJournalFuzzer.cpp wsx_engine)
wsx_fuzz_target(take_folder TakeFolderFuzzer.cpp wsx_engine wsx_log)
wsx_fuzz_target(wav_reader WavReaderFuzzer.cpp wsx_engine wsx_log)
wsx_fuzz_target(autostart_entry AutostartEntryFuzzer.cpp wsx_registry)
wsx_fuzz_target(desktop_quoting DesktopQuotingFuzzer.cpp wsx_registry)
wsx_fuzz_target(settings_reader SettingsReaderFuzzer.cpp wsx_settings wsx_log)
wsx_fuzz_target(command_line CommandLineFuzzer.cpp wsx_command_line)
