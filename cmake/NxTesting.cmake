include(GoogleTest)

function(nx_test_environment target)
  set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tests/test_environment.cpp)
  target_compile_definitions(${target} PRIVATE
    NX_TEST_PROGRAM_DIR="${NX_PROGRAM_DIR}" NX_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endfunction()

# nx_add_gtest(<name> SOURCES <files...> LIBS <targets...>)
# A GoogleTest executable whose cases CTest lists one by one. Tests run from the program
# folder; tests/test_environment.cpp makes them headless and tells them where things are.
function(nx_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  nx_test_environment(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name} WORKING_DIRECTORY ${NX_PROGRAM_DIR} DISCOVERY_MODE PRE_TEST)
endfunction()

# nx_add_qtest(<name> SOURCES <files...> LIBS <targets...>)
# A Qt Test executable (windows, offscreen platform), one CTest entry.
function(nx_add_qtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  nx_test_environment(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test)
  add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${NX_PROGRAM_DIR})
endfunction()
