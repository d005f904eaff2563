# Warnings are errors for every target of the project; third-party headers come in as
# system includes, so they do not trip these.
add_library(wsx_warnings INTERFACE)
target_compile_options(wsx_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
  -Wunused -Woverloaded-virtual -Wnull-dereference -Wformat=2 -Werror)
