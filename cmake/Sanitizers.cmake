# One INTERFACE target carries the sanitizer flags so every project target links the same
# runtime; turned on with -DWSX_SANITIZE=ON.
add_library(wsx_sanitize INTERFACE)
if(WSX_SANITIZE)
  target_compile_options(wsx_sanitize INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(wsx_sanitize INTERFACE -fsanitize=address,undefined)
endif()
# The fuzz build gives libFuzzer the coverage of everything a target calls, not only of the
# harness: every library carries the coverage hooks (their callbacks come with the
# sanitizer runtime); only the fuzz targets link libFuzzer itself (-fsanitize=fuzzer).
if(WSX_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "WSX_FUZZ needs clang: configure with CXX=clang++")
  endif()
  if(NOT WSX_SANITIZE)
    message(FATAL_ERROR "WSX_FUZZ needs WSX_SANITIZE=ON (the coverage hooks live in its runtime)")
  endif()
  target_compile_options(wsx_sanitize INTERFACE -fsanitize=fuzzer-no-link)
endif()
