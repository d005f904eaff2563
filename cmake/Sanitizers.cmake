# One INTERFACE target carries the sanitizer flags so every project target links the same
# runtime; turned on with -DWSX_SANITIZE=ON.
add_library(wsx_sanitize INTERFACE)
if(WSX_SANITIZE)
  target_compile_options(wsx_sanitize INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(wsx_sanitize INTERFACE -fsanitize=address,undefined)
endif()
