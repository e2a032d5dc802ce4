# One line per test target: folianto_add_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2)
# GoogleTest targets; each TEST becomes its own CTest case.
include(GoogleTest)
find_package(GTest REQUIRED)

# Test programs are compiled without optimisation (the code they test keeps the build's):
# they spend their time waiting on sockets and pages, and optimising them took more than
# half of the whole build's compile time.
function(folianto_unoptimised_test name)
  target_compile_options(${name} PRIVATE $<$<NOT:$<CONFIG:Debug>>:-O0>)
endfunction()

function(folianto_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main ${T_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  folianto_unoptimised_test(${name})
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "FOLIANTO_BIN=${CMAKE_BINARY_DIR}/bin"
               ENVIRONMENT_MODIFICATION "FOLIANTO_SOURCE=set:${CMAKE_SOURCE_DIR}")
endfunction()

# Qt Test targets that need a display; run under Xvfb by tests/run-under-xvfb.
function(folianto_add_gui_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests AUTOMOC ON)
  folianto_unoptimised_test(${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_test(NAME ${name} COMMAND ${CMAKE_SOURCE_DIR}/tests/run-under-xvfb $<TARGET_FILE:${name}>)
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS gui
    ENVIRONMENT "FOLIANTO_BIN=${CMAKE_BINARY_DIR}/bin;FOLIANTO_SOURCE=${CMAKE_SOURCE_DIR}")
endfunction()

# A libFuzzer target, run as a test for a bounded time over its seed corpus.
function(folianto_add_fuzzer name)
  cmake_parse_arguments(T "" "CORPUS;MAX_LEN" "SOURCES;LIBS" ${ARGN})
  if(NOT FOLIANTO_FUZZ)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  # The fuzz build's test run needs only these: "fuzzers" builds them without the rest.
  if(NOT TARGET fuzzers)
    add_custom_target(fuzzers)
  endif()
  add_dependencies(fuzzers ${name})
  if(NOT T_MAX_LEN)
    set(T_MAX_LEN 16384)
  endif()
  set(work ${CMAKE_BINARY_DIR}/fuzz/${name}-corpus)
  add_test(NAME ${name}
    COMMAND ${CMAKE_SOURCE_DIR}/tests/fuzz/run-fuzzer $<TARGET_FILE:${name}> ${T_CORPUS} ${work}
            ${FOLIANTO_FUZZ_SECONDS} ${T_MAX_LEN})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600 LABELS fuzz)
endfunction()
