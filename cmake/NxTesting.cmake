include(GoogleTest)

# nx_add_gtest(<name> SOURCES <files...> LIBS <targets...>)
# A GoogleTest executable whose cases CTest lists one by one. Tests run headless
# (offscreen Qt) from the program folder, with no emulated meters unless a test sets them.
function(nx_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${NX_PROGRAM_DIR}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;NIVEX_EMULATED_METERS=;NX_PROGRAM_DIR=${NX_PROGRAM_DIR};NX_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endfunction()

# nx_add_qtest(<name> SOURCES <files...> LIBS <targets...>)
# A Qt Test executable (windows, offscreen platform), one CTest entry.
function(nx_add_qtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test)
  add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${NX_PROGRAM_DIR})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;NIVEX_EMULATED_METERS=;NX_PROGRAM_DIR=${NX_PROGRAM_DIR};NX_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endfunction()
