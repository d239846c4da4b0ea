# Unit tests: one program per build with every *_test.cpp beside the code.
# End-to-end tests: under tests/, started against the built program.

if(CMAKE_CROSSCOMPILING)
  # The Windows builds take GoogleTest from the sources that Debian installs.
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  set(gtest_libraries gtest)
else()
  find_package(GTest REQUIRED)
  set(gtest_libraries GTest::gtest)
endif()
include(GoogleTest)

layer_tests(unit_test_sources platform platform/code_pages platform/${ANSIFOLD_BACKEND} fs console frame renamer)
add_executable(unit_tests ${unit_test_sources} tests/support/test_main.cpp
  tests/support/temp_dir.cpp)
target_link_libraries(unit_tests PRIVATE renamer ${gtest_libraries})
if(CMAKE_CROSSCOMPILING)
  set_target_properties(unit_tests PROPERTIES CROSSCOMPILING_EMULATOR
    "${CMAKE_SOURCE_DIR}/cmake/start-again;${CMAKE_CROSSCOMPILING_EMULATOR}")
endif()
target_include_directories(unit_tests PRIVATE ${CMAKE_SOURCE_DIR})

# Everything runs under the Japanese locale (ANSI code page 932); the suites
# whose outcome depends on the code page (named *AnsiCodePage*) run again
# under a Western one (1252).
if(CMAKE_CROSSCOMPILING AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  # Emulated, each start of a 32-bit program costs half a second: the test
  # program runs once per locale rather than once per test.
  foreach(locale IN ITEMS "ja;ja_JP.UTF-8;*" "c;C.UTF-8;*AnsiCodePage*")
    list(GET locale 0 prefix)
    list(GET locale 1 lang)
    list(GET locale 2 filter)
    add_test(NAME ${prefix}.unit_tests COMMAND unit_tests --gtest_filter=${filter})
    set_tests_properties(${prefix}.unit_tests PROPERTIES
      ENVIRONMENT "LANG=${lang};LC_ALL=;LC_CTYPE=" TIMEOUT 300)
  endforeach()
else()
  gtest_discover_tests(unit_tests
    TEST_PREFIX "ja."
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES ENVIRONMENT "LANG=ja_JP.UTF-8;LC_ALL=;LC_CTYPE=" TIMEOUT 120)
  gtest_discover_tests(unit_tests
    TEST_PREFIX "c."
    TEST_FILTER "*AnsiCodePage*"
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES ENVIRONMENT "LANG=C.UTF-8;LC_ALL=;LC_CTYPE=" TIMEOUT 120)
endif()

add_subdirectory(tests)
