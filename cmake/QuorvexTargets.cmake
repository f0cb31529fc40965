# Shared build rules: warnings, sanitizers, version stamping, module and test helpers.

set(QV_WARNINGS -Wall -Wextra -Wshadow -Werror)

# A fuzz build instruments every library for libFuzzer's coverage feedback, under ASan + UBSan,
# so that the targets exercise the same code the service runs.
if(QV_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "QV_FUZZ needs clang: configure with CC=clang CXX=clang++")
  endif()
  set(QV_SANITIZE address,undefined)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

if(QV_SANITIZE)
  add_compile_options(-fsanitize=${QV_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${QV_SANITIZE})
endif()

set(QV_VERSION_NOTE_SOURCE ${CMAKE_BINARY_DIR}/generated/version_note.c)
configure_file(${CMAKE_SOURCE_DIR}/cmake/version_note.c.in ${QV_VERSION_NOTE_SOURCE} @ONLY)

# Every executable and shared library we ship carries the project version as an ELF note,
# read back by the version route.
function(qv_stamp_version target)
  target_sources(${target} PRIVATE ${QV_VERSION_NOTE_SOURCE})
endfunction()

# qv_add_module(<name> [DEPS <targets...>]): a static library from every .cpp of the
# current folder, with src/ as its include root.
function(qv_add_module name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_compile_options(${name} PRIVATE ${QV_WARNINGS})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# qv_add_test(<name> [DEPS <targets...>]): one GoogleTest executable from every .cpp of
# the current folder, registered with CTest.
function(qv_add_test name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_compile_options(${name} PRIVATE ${QV_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} qv_test_support GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "QV_BUILD_DIR=${CMAKE_BINARY_DIR}")
endfunction()
