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

if(WIN32)
  # Every executable and library we ship carries the project version in a VERSIONINFO
  # resource, as Windows' own file properties show it and the version route reads it.
  function(qv_stamp_version target)
    get_target_property(type ${target} TYPE)
    get_target_property(output_name ${target} OUTPUT_NAME)
    if(NOT output_name)
      set(output_name ${target})
    endif()
    if(type STREQUAL "EXECUTABLE")
      set(QV_RC_FILE_TYPE VFT_APP)
      set(QV_RC_FILE_NAME ${output_name}.exe)
    else()
      set(QV_RC_FILE_TYPE VFT_DLL)
      set(QV_RC_FILE_NAME ${output_name}.dll)
    endif()
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/generated/${target}_version.rc)
    configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
  endfunction()
else()
  set(QV_VERSION_NOTE_SOURCE ${CMAKE_BINARY_DIR}/generated/version_note.c)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/version_note.c.in ${QV_VERSION_NOTE_SOURCE} @ONLY)

  # Every executable and shared library we ship carries the project version as an ELF note,
  # read back by the version route.
  function(qv_stamp_version target)
    target_sources(${target} PRIVATE ${QV_VERSION_NOTE_SOURCE})
  endfunction()
endif()

# qv_sources(<var> <folder>): the .cpp files of <folder> that belong to the system we build
# for. Files ending in _posix.cpp or _elf.cpp (optionally followed by _test) are for Linux,
# those ending in _windows.cpp for Windows; every other file is for both.
function(qv_sources var folder)
  file(GLOB sources CONFIGURE_DEPENDS ${folder}/*.cpp)
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "_(posix|elf)(_test)?\\.cpp$")
  else()
    list(FILTER sources EXCLUDE REGEX "_windows(_test)?\\.cpp$")
  endif()
  set(${var} ${sources} PARENT_SCOPE)
endfunction()

# qv_add_module(<name> [DEPS <targets...>]): a static library from every .cpp of the
# current folder (those of this system), with src/ as its include root.
function(qv_add_module name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  qv_sources(sources ${CMAKE_CURRENT_SOURCE_DIR})
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

# Test processes find the build tree through QV_BUILD_DIR. A Windows test run under Wine sees
# the Linux file system as drive Z:.
if(WIN32 AND CMAKE_CROSSCOMPILING)
  set(QV_TEST_BUILD_DIR "Z:${CMAKE_BINARY_DIR}")
  # Discovered when CTest runs them (under the emulator), not while building.
  set(QV_DISCOVERY_MODE PRE_TEST)
else()
  set(QV_TEST_BUILD_DIR "${CMAKE_BINARY_DIR}")
  set(QV_DISCOVERY_MODE POST_BUILD)
endif()

# qv_add_test(<name> [DEPS <targets...>]): one GoogleTest executable from every .cpp of
# the current folder (those of this system), registered with CTest, each test labelled with
# <name> so that one suite runs with `ctest -L <name>`.
function(qv_add_test name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  qv_sources(sources ${CMAKE_CURRENT_SOURCE_DIR})
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_compile_options(${name} PRIVATE ${QV_WARNINGS})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} qv_test_support GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 DISCOVERY_MODE ${QV_DISCOVERY_MODE}
                       PROPERTIES ENVIRONMENT "QV_BUILD_DIR=${QV_TEST_BUILD_DIR}" LABELS ${name})
endfunction()

# qv_clisitef_library(<target> [<output folder>]): names the shared library <target> as the
# payment library (QV_CLISITEF_LIBRARY), so that the engine loads it as it would the real one.
function(qv_clisitef_library target)
  get_filename_component(stem ${QV_CLISITEF_LIBRARY} NAME_WE)
  get_filename_component(extension ${QV_CLISITEF_LIBRARY} LAST_EXT)
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${stem} SUFFIX ${extension})
  if(ARGC GREATER 1)
    # A DLL is a runtime output (its import library an archive), an ELF library a library
    # output.
    set_target_properties(${target} PROPERTIES LIBRARY_OUTPUT_DIRECTORY ${ARGV1}
      RUNTIME_OUTPUT_DIRECTORY ${ARGV1} ARCHIVE_OUTPUT_DIRECTORY ${ARGV1})
  endif()
  if(WIN32)
    # The linker's own names for stdcall functions (Name@20) are not the library's; the .def
    # file's undecorated names are matched to them (the fix-up, expected, not worth a warning).
    target_link_options(${target} PRIVATE -Wl,--kill-at -Wl,--enable-stdcall-fixup)
  endif()
endfunction()
