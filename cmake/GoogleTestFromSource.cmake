# Debian ships GoogleTest's sources (package googletest); a cross build compiles them for
# its target, since the build machine's libgtest cannot be linked into Windows programs.
set(KX_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for cross builds")
if(NOT EXISTS ${KX_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${KX_GOOGLETEST_SOURCE} (package googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${KX_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(lib gtest gtest_main gmock gmock_main)
  # Third-party code: our warnings-as-errors are not its business, and optimising it
  # would only slow the build (gtest-all alone takes half a minute at -O2).
  set_property(TARGET ${lib} PROPERTY COMPILE_OPTIONS -w -O0)
  if(NOT TARGET GTest::${lib})
    add_library(GTest::${lib} ALIAS ${lib})
  endif()
endforeach()

# Each test program is one CTest test: every process start under an emulator costs
# about half a second, so one per test case would multiply the run time. A program whose
# cases take long (window tests, differential runs against the system) sets the target
# property KX_TEST_SHARDS to N and becomes N tests that ctest runs side by side, each
# running every Nth case (GoogleTest's own sharding; together they run every case).
function(gtest_discover_tests target)
  cmake_parse_arguments(arg "" "WORKING_DIRECTORY" "" ${ARGN})
  set(directory)
  if(arg_WORKING_DIRECTORY)
    set(directory WORKING_DIRECTORY ${arg_WORKING_DIRECTORY})
  endif()
  get_target_property(shards ${target} KX_TEST_SHARDS)
  if(NOT shards OR shards LESS 2)
    add_test(NAME ${target} COMMAND ${target} ${directory})
    return()
  endif()
  math(EXPR last "${shards} - 1")
  foreach(index RANGE ${last})
    add_test(NAME ${target}.${index} COMMAND ${target} ${directory})
    set_tests_properties(${target}.${index} PROPERTIES
                         ENVIRONMENT "GTEST_TOTAL_SHARDS=${shards};GTEST_SHARD_INDEX=${index}")
  endforeach()
endfunction()
