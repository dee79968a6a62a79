# One test program per test source file, so a broken file only breaks itself.
# Usage: qvr_add_tests(<folder-prefix> LIBS <libs...>)
function(qvr_add_tests prefix)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  foreach(src ${sources})
    get_filename_component(name ${src} NAME_WE)
    set(target ${prefix}_${name})
    add_executable(${target} ${src})
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
function(qvr_add_benches)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(src ${sources})
    get_filename_component(name ${src} NAME_WE)
    add_executable(bench_${name} ${src})
    target_link_libraries(bench_${name} PRIVATE ${ARG_LIBS} benchmark::benchmark)
  endforeach()
endfunction()

# A library of the .cpp files in the current folder, linked to `deps`. A folder
# with no sources yet gives an interface library, so dependents still configure.
function(qvr_add_library name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_link_libraries(${name} PUBLIC ${ARGN})
    set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
endfunction()
