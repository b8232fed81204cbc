# Test programs: GoogleTest from the system on native builds, built from the
# Debian sources for the mingw builds. Windows test programs run under wine64
# or the 32-bit wine (CMAKE_CROSSCOMPILING_EMULATOR), so ctest drives all.
if(IMEXP_WINDOWS)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(IMEXP_GTEST gtest gtest_main)
else()
  find_package(GTest REQUIRED)
  set(IMEXP_GTEST GTest::gtest GTest::gtest_main)
endif()

if(IMEXP_WINDOWS)
  # One wine prefix per build tree, created once before the first test; the
  # wine server is kept running for the whole test run. The prefix is a
  # 64-bit one, where the 32-bit loader runs the win32 build's programs.
  set(IMEXP_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  set(IMEXP_TEST_ENVIRONMENT WINEPREFIX=${IMEXP_WINEPREFIX} WINEDEBUG=-all)
  add_test(NAME wine.start COMMAND ${CMAKE_COMMAND} -E env ${IMEXP_TEST_ENVIRONMENT}
           sh ${PROJECT_SOURCE_DIR}/cmake/start_wine.sh ${IMEXP_WINEPREFIX})
  set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine)
  add_test(NAME wine.stop COMMAND ${CMAKE_COMMAND} -E env ${IMEXP_TEST_ENVIRONMENT} /usr/lib/wine/wineserver -k)
  set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine)
else()
  set(IMEXP_TEST_ENVIRONMENT "")
endif()

# GoogleTest's header and the standard ones the suites share, compiled once
# per build tree and reused by every suite (their parsing was a third of each
# suite file's compile time). The suites are compiled as this program is:
# same warnings, position-independent code as for programs, and -pthread
# (which the GTK suites get from GTK's flags).
file(WRITE ${CMAKE_BINARY_DIR}/imexp_test_headers.cpp "int main() { return 0; }\n")
add_executable(imexp_test_headers ${CMAKE_BINARY_DIR}/imexp_test_headers.cpp)
target_link_libraries(imexp_test_headers PRIVATE ${IMEXP_GTEST})
imexp_warnings(imexp_test_headers)
# GoogleTest's EXPECT macros after an unbraced if read as a dangling else.
# GCC 12 gives false -Wstringop-overflow, -overread and -Warray-bounds alarms on
# std::string (as it does -Wrestrict ones) in code that includes the library
# through a precompiled header.
set(IMEXP_TEST_OPTIONS -Wno-dangling-else -Wno-stringop-overflow -Wno-stringop-overread -Wno-array-bounds)
if(NOT IMEXP_WINDOWS)
  list(APPEND IMEXP_TEST_OPTIONS -pthread)
endif()
# The suites' own code is optimised lightly in release builds (at -O3 it took
# most of the build's time); what they test keeps the build's optimisation.
list(APPEND IMEXP_TEST_OPTIONS $<$<NOT:$<CONFIG:Debug>>:-O1>)
target_compile_options(imexp_test_headers PRIVATE ${IMEXP_TEST_OPTIONS})
target_precompile_headers(imexp_test_headers PRIVATE <gtest/gtest.h> <algorithm> <cstdint> <cstring> <filesystem>
                          <map> <set> <string> <tuple> <vector>)

# imexp_add_test(<name> SOURCES <files...> [LIBRARIES <libs...>] [SHARDS <n>])
#
# One program per suite. Tests whose name contains "Russian" run in a second
# pass with a Russian locale, because under wine the ANSI code page is fixed
# when the process starts. A suite of many slow cases (each starts programs)
# runs as SHARDS ctest entries, name.1 to name.n, each a slice of its
# English cases, so that they run side by side.
function(imexp_add_test name)
  cmake_parse_arguments(ARG "" "SHARDS" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${IMEXP_GTEST} ${ARG_LIBRARIES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/include
                                             ${PROJECT_SOURCE_DIR}/resources)
  imexp_warnings(${name})
  target_compile_options(${name} PRIVATE ${IMEXP_TEST_OPTIONS})
  target_precompile_headers(${name} REUSE_FROM imexp_test_headers)
  set(entries ${name}.ru)
  if(ARG_SHARDS)
    math(EXPR last "${ARG_SHARDS} - 1")
    foreach(shard RANGE ${last})
      math(EXPR number "${shard} + 1")
      add_test(NAME ${name}.${number} COMMAND ${name} --gtest_filter=-*Russian*)
      set_tests_properties(${name}.${number} PROPERTIES
        ENVIRONMENT "${IMEXP_TEST_ENVIRONMENT};LC_ALL=C;LANG=C;GTEST_TOTAL_SHARDS=${ARG_SHARDS};GTEST_SHARD_INDEX=${shard}"
        TIMEOUT 600)
      list(APPEND entries ${name}.${number})
    endforeach()
  else()
    add_test(NAME ${name} COMMAND ${name} --gtest_filter=-*Russian*)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${IMEXP_TEST_ENVIRONMENT};LC_ALL=C;LANG=C" TIMEOUT 600)
    list(APPEND entries ${name})
  endif()
  add_test(NAME ${name}.ru COMMAND ${name} --gtest_filter=*Russian*)
  set_tests_properties(${name}.ru PROPERTIES ENVIRONMENT "${IMEXP_TEST_ENVIRONMENT};LC_ALL=ru_RU.UTF-8"
                                             TIMEOUT 600)
  if(IMEXP_WINDOWS)
    set_tests_properties(${entries} PROPERTIES FIXTURES_REQUIRED wine)
  endif()
endfunction()
