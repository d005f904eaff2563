# Every fuzz target's seeds through its entry point, one test per target (SeedReplay.cpp),
# so a rule only a fuzzer guards fails the ordinary suite too. A target whose libraries
# this build has not (the settings reader without the GUI) is left out.
function(wsx_fuzz_target name source)
  foreach(library IN LISTS ARGN)
    if(NOT TARGET ${library})
      return()
    endif()
  endforeach()
  set(dir ${PROJECT_SOURCE_DIR}/tests/fuzz)
  add_executable(${name}_seeds ${dir}/${source} ${dir}/SeedReplay.cpp)
  target_link_libraries(${name}_seeds PRIVATE ${ARGN} wsx_warnings wsx_sanitize)
  add_test(NAME fuzz_seeds.${name} COMMAND ${name}_seeds ${dir}/seeds/${name})
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/targets.cmake)
