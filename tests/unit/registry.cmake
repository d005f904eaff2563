# Registry stand-in (Run key as autostart entries, system-information keys) and ModuleReg.
# Each test makes its own temporary config folder and search path; nothing of the user's is
# read or written.
wsx_add_gtest(wsx_registry_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/RegistryRunKeyTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RegistryApiTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ModuleRegTest.cpp
  LIBS wsx_modules wsx_registry)
