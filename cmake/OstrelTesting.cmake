# ostrel_add_test(NAME SOURCES ... LIBS ... [LABELS ...] [SANITIZE thread|address|undefined ...]
#                 [FIXTURES ...])
#
# FIXTURES names ctest fixtures the program needs (servers a setup test
# starts), in every build, sanitizer builds included.
#
# One GoogleTest program per call, registered as one ctest test. Its tests
# run from the source tree's folder of the same name, so fixtures are found
# relative to it. In a sanitizer build only the programs that ask for that
# sanitizer (each of them, for a list such as address,undefined) are built;
# asking for address also asks for undefined.
include(GoogleTest)

# A test program's own sources compile at -O1: optimising the test bodies
# fully cost more compile time than their runs save, while the templates
# they instantiate from the libraries' headers (sorting, the dispatch loops)
# still run at a useful speed. They reuse one precompiled header of
# GoogleTest and the Qt core, whose parsing was half of what was left.
function(ostrel_test_pch)
  if(TARGET ostrel_test_pch)
    return()
  endif()
  find_package(GTest REQUIRED)
  add_library(ostrel_test_pch OBJECT EXCLUDE_FROM_ALL ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
  target_link_libraries(ostrel_test_pch PRIVATE ostrel_core GTest::gtest GTest::gmock)
  target_compile_options(ostrel_test_pch PRIVATE -O1)
  target_precompile_headers(ostrel_test_pch PRIVATE
    <gtest/gtest.h> <gmock/gmock.h> <QtCore/QString> <QtCore/QVariant> <vector> <string>)
endfunction()

# Qt's moc runs only for test sources that declare Qt objects: most declare
# none, and every program compiling an empty generated file (against the
# precompiled header) added more than a minute to a build.
function(ostrel_test_automoc target)
  set(needs_moc OFF)
  foreach(source IN LISTS ARGN)
    get_filename_component(path ${source} ABSOLUTE)
    file(STRINGS ${path} declarations REGEX "Q_OBJECT|Q_GADGET|Q_NAMESPACE|#include \".*\\.moc\"")
    if(declarations)
      set(needs_moc ON)
    endif()
  endforeach()
  set_target_properties(${target} PROPERTIES AUTOMOC ${needs_moc})
endfunction()

# In a unity build (see the top CMakeLists.txt) a test program's sources
# compile in batches too; a test whose file-local names clash with another
# file's sets SKIP_UNITY_BUILD_INCLUSION beside its program.
function(ostrel_test_unity target)
  if(OSTREL_UNITY_BUILD)
    set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE 16)
    target_compile_options(${target} PRIVATE $<$<CXX_COMPILER_ID:GNU>:-Wno-subobject-linkage>)
  endif()
endfunction()

# How a test program's or test library's own sources compile: at -O1,
# with moc only where needed, in batches in a unity build, and with the
# shared precompiled header. The header is built with the core library's
# definitions, so only targets that use the core can take it.
function(ostrel_test_compile target sources libs)
  target_compile_options(${target} PRIVATE -O1)
  ostrel_test_automoc(${target} ${sources})
  ostrel_test_unity(${target})
  if(libs MATCHES "ostrel_(core|draw|gui)")
    ostrel_test_pch()
    target_precompile_headers(${target} REUSE_FROM ostrel_test_pch)
  endif()
endfunction()

# ostrel_add_test_support(NAME SOURCES ... LIBS ...)
#
# Sources that several test programs share, compiled once as an object
# library; a program takes them by naming it among its LIBS. They see their
# own folder as OSTREL_TEST_SOURCE_DIR and OSTREL_TEST_BINARY_DIR. Only the
# builds with a program that takes them compile them.
function(ostrel_add_test_support name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  find_package(GTest REQUIRED)
  add_library(${name} OBJECT EXCLUDE_FROM_ALL ${T_SOURCES})
  ostrel_test_compile(${name} "${T_SOURCES}" "${T_LIBS}")
  target_link_libraries(${name} PUBLIC ${T_LIBS} GTest::gtest GTest::gmock)
  target_compile_definitions(${name} PRIVATE
    OSTREL_TEST_SOURCE_DIR="${CMAKE_CURRENT_SOURCE_DIR}"
    OSTREL_TEST_BINARY_DIR="${CMAKE_CURRENT_BINARY_DIR}")
endfunction()

function(ostrel_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS;SANITIZE;FIXTURES" ${ARGN})
  # UndefinedBehaviorSanitizer rides along with AddressSanitizer: a program
  # that runs under one runs under both.
  if("address" IN_LIST T_SANITIZE)
    list(APPEND T_SANITIZE undefined)
  endif()
  string(REPLACE "," ";" sanitizers "${OSTREL_SANITIZER}")
  foreach(sanitizer IN LISTS sanitizers)
    if(NOT sanitizer IN_LIST T_SANITIZE)
      return()
    endif()
  endforeach()
  find_package(GTest REQUIRED)
  add_executable(${name} ${T_SOURCES})
  ostrel_test_compile(${name} "${T_SOURCES}" "${T_LIBS}")
  if("address" IN_LIST sanitizers)
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/lsan_suppressions.cpp)
  elseif(OSTREL_SANITIZER STREQUAL "thread")
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/tsan_suppressions.cpp)
  endif()
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    OSTREL_TEST_SOURCE_DIR="${CMAKE_CURRENT_SOURCE_DIR}"
    OSTREL_TEST_BINARY_DIR="${CMAKE_CURRENT_BINARY_DIR}")
  # One ctest test per program: a process per case (and one more to list
  # the cases) cost more than the cases themselves. A failure still names
  # its case in GoogleTest's output ("[  FAILED  ] Suite.Case"), which
  # ctest --output-on-failure shows.
  #
  # Under ThreadSanitizer each case still runs in a process of its own:
  # oneTBB is not instrumented, and once the process has forked (the cases
  # that reopen a document in a new process) the sanitizer loses the
  # hand-offs that ds_dispatch_apply annotates and reports races between a
  # later loop's caller and its workers on the reused stack. Without the
  # forking cases, a whole program runs clean in one process.
  if(OSTREL_SANITIZER STREQUAL "thread")
    gtest_discover_tests(${name}
      WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
      DISCOVERY_MODE PRE_TEST
      PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS "${T_LABELS}"
                 FIXTURES_REQUIRED "${T_FIXTURES}")
    return()
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  if(T_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
  endif()
  if(T_FIXTURES)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED "${T_FIXTURES}")
  endif()
endfunction()

# ostrel_suppress_libgsf_leaks(TEST)
#
# In an address-sanitizer build, runs the ctest test with libgsf's own
# leaks suppressed (cmake/lsan_libgsf.supp) and with the slow unwinder on
# every allocation, which alone sees the frames inside libgsf; every other
# program reports any leak that passes through libgsf.
function(ostrel_suppress_libgsf_leaks test)
  if(OSTREL_SANITIZER MATCHES address AND TEST ${test})
    set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT
      "ASAN_OPTIONS=fast_unwind_on_malloc=0"
      "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/cmake/lsan_libgsf.supp")
  endif()
endfunction()

# ostrel_oracle_cases(PROGRAM [FILTER])
#
# The cases of a test program that compare with an oracle run at test time
# (R, say; see tests/support/ds_oracles.h) are reported as skipped when they
# skip, never as passed. FILTER (a GoogleTest filter) names them: they
# become a ctest test of their own, PROGRAM_oracles, and the program's test
# runs the other cases. Without FILTER every case of the program is one.
# Under ThreadSanitizer each case already is a ctest test of its own.
function(ostrel_oracle_cases program)
  if(NOT TARGET ${program} OR OSTREL_SANITIZER STREQUAL "thread")
    return()
  endif()
  if(ARGC LESS 2)
    set_tests_properties(${program} PROPERTIES SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
    return()
  endif()
  set(filter ${ARGV1})
  add_test(NAME ${program}_oracles COMMAND ${program} --gtest_filter=${filter})
  get_test_property(${program} LABELS labels)
  set_tests_properties(${program}_oracles PROPERTIES
    WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
  if(labels)
    set_tests_properties(${program}_oracles PROPERTIES LABELS "${labels}")
  endif()
  set_property(TEST ${program} APPEND PROPERTY ENVIRONMENT "GTEST_FILTER=-${filter}")
endfunction()
