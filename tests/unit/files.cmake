# The atomic file writer, in temporary folders.
wsx_add_gtest(wsx_files_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/AtomicFileTest.cpp
  LIBS wsx_files)
