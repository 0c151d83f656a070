# GoogleTest from Debian's googletest source package, compiled with the same
# compiler and flags as the code under test (natively and for Windows).
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

# kwo_add_test(NAME SOURCES... LIBS ...): one GoogleTest program whose cases
# become separate CTest tests. Under Wine the list is taken when the tests run.
function(kwo_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main GTest::gmock)
  kwo_warnings(${name})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR} ${ARG_UNPARSED_ARGUMENTS})
endfunction()

# kwo_add_test_dir(NAME DIR LIBS ...): a test program of DIR's *Test.cpp files
# plus the shared helpers of tests/support.
function(kwo_add_test_dir name dir)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  kwo_glob_sources(sources ${CMAKE_CURRENT_SOURCE_DIR}/${dir} GLOB "*Test.cpp")
  kwo_glob_sources(support ${CMAKE_SOURCE_DIR}/tests/support)
  kwo_add_test(${name} SOURCES ${sources} ${support} LIBS ${ARG_LIBS})
endfunction()
