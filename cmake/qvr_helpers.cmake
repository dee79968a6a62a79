# Build helpers. Every library and program names its sources and its
# dependencies; nothing is found by globbing, so a folder's CMakeLists.txt is
# the complete statement of what it holds and what it may use (the layout
# check in tests/layout/ holds the includes to it).

# A static library of the given sources, linked PUBLIC to DEPS. Headers are
# included by their folder ("registry/registry_api.h"), so the project's root
# is the include directory of every library.
# Usage: qvr_add_library(<name> SOURCES <files...> DEPS <libs...>)
function(qvr_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
endfunction()

# One test program per test source file, so a broken file only breaks itself:
# <prefix>_<name> from <name>.cpp of the current folder.
# Usage: qvr_add_tests(<prefix> LIBS <libs...> TESTS <names...>)
function(qvr_add_tests prefix)
  cmake_parse_arguments(ARG "" "" "LIBS;TESTS" ${ARGN})
  foreach(name ${ARG_TESTS})
    set(target ${prefix}_${name})
    add_executable(${target} ${CMAKE_CURRENT_SOURCE_DIR}/${name}.cpp)
    target_link_libraries(${target} PRIVATE ${ARG_LIBS} qvr_testsupport GTest::gtest GTest::gmock GTest::gtest_main)
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60)
    # The environment of the discovered tests. (gtest_discover_tests' own
    # PROPERTIES splits a list value at its ";", so it could pass only one.)
    set(env_script ${CMAKE_CURRENT_BINARY_DIR}/${target}_environment.cmake)
    file(WRITE ${env_script}
      "if(${target}_TESTS)\n"
      "  set_tests_properties(\${${target}_TESTS} PROPERTIES ENVIRONMENT\n"
      "    \"QT_QPA_PLATFORM=offscreen;QVR_TEST_BIN_DIR=${CMAKE_BINARY_DIR}\")\n"
      "endif()\n")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${env_script})
  endforeach()
endfunction()

# One benchmark program per bench source file: bench/<name>.cpp -> bench_<name>.
# Usage: qvr_add_benches(LIBS <libs...> BENCHES <names...>)
function(qvr_add_benches)
  cmake_parse_arguments(ARG "" "" "LIBS;BENCHES" ${ARGN})
  foreach(name ${ARG_BENCHES})
    add_executable(bench_${name} ${CMAKE_CURRENT_SOURCE_DIR}/${name}.cpp)
    target_link_libraries(bench_${name} PRIVATE ${ARG_LIBS} benchmark::benchmark)
  endforeach()
endfunction()
