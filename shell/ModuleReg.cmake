# ModuleReg over the registry stand-in; no Qt, so it is tested on its own.
# Included from the top-level CMakeLists after platform/registry has been added.
add_library(wsx_modulereg STATIC ${CMAKE_CURRENT_LIST_DIR}/ModuleReg.cpp)
target_include_directories(wsx_modulereg PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(wsx_modulereg
  PUBLIC wsx_registry
  PRIVATE wsx_warnings wsx_sanitize)
