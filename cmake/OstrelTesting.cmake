# ostrel_add_test(NAME SOURCES ... LIBS ... [LABELS ...] [SANITIZE thread|address ...])
#
# One GoogleTest program per call. Its tests run from the source tree's
# folder of the same name, so fixtures are found relative to it. In a
# sanitizer build only the programs that ask for that sanitizer are built.
include(GoogleTest)
function(ostrel_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS;SANITIZE" ${ARGN})
  if(OSTREL_SANITIZER AND NOT OSTREL_SANITIZER IN_LIST T_SANITIZE)
    return()
  endif()
  find_package(GTest REQUIRED)
  add_executable(${name} ${T_SOURCES})
  if(OSTREL_SANITIZER STREQUAL "address")
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/lsan_suppressions.cpp)
  elseif(OSTREL_SANITIZER STREQUAL "thread")
    target_sources(${name} PRIVATE ${PROJECT_SOURCE_DIR}/cmake/tsan_suppressions.cpp)
  endif()
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    OSTREL_TEST_SOURCE_DIR="${CMAKE_CURRENT_SOURCE_DIR}"
    OSTREL_SHARED_DIR="${CMAKE_SOURCE_DIR}/../shared"
    OSTREL_TEST_BINARY_DIR="${CMAKE_CURRENT_BINARY_DIR}")
  set(props ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  if(T_LABELS)
    list(APPEND props LABELS "${T_LABELS}")
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES ${props})
endfunction()
