# Shared build settings and test helpers.

# The driver's code: no exceptions, no RTTI, warnings on. On Windows every
# function keeps its frame pointer, so that WinDbg and Visual Studio walk a
# crash's stack through EBP: the PDB that GNU ld writes has no frame data.
function(veldrin_driver_options target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -fno-exceptions -fno-rtti)
  if(WIN32)
    target_compile_options(${target} PRIVATE -fno-omit-frame-pointer)
    target_compile_definitions(${target} PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
  endif()
endfunction()

# Native sanitizer build of pure code and the simulator (VELDRIN_SANITIZE=ON).
option(VELDRIN_SANITIZE "Build native code with ASan and UBSan" OFF)
if(NOT WIN32 AND VELDRIN_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

if(WIN32)
  # Everything built for Windows links libgcc and libstdc++ statically, so the
  # only DLLs it needs are Windows' own (and ZoVav.dll for the driver).
  add_link_options(-static -static-libgcc -static-libstdc++)

  # Reproducible: the same source gives the same bytes wherever it is built.
  # No time stamp in the PE header, the source and build folders named
  # relatively in debug information and __FILE__, archives without dates.
  add_link_options(-Wl,--no-insert-timestamp)
  add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
                      -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
  foreach(lang C CXX)
    set(CMAKE_${lang}_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
    set(CMAKE_${lang}_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
    set(CMAKE_${lang}_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")
  endforeach()

  # GoogleTest from Debian's sources, cross-built once for the Wine runners.
  if(NOT TARGET gtest)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  endif()

  # veldrin_wine_test(NAME SOURCES ... [LIBS ...]): a GoogleTest program run
  # under Wine through tools/wine-run (one ctest entry per program).
  function(veldrin_wine_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} gtest gtest_main)
    # Table rows leave their trailing fields at their defaults.
    target_compile_options(${name} PRIVATE -Wall -Wextra -Wno-missing-field-initializers)
    target_compile_definitions(${name} PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
    add_test(NAME ${name} COMMAND ${name})
    # Ended after 5 minutes: the Wine program takes 30 to 90 s (emulated,
    # instrumented for coverage, on a busy machine); a fault that makes it
    # wait for ever fails here as a time-out rather than holding the run.
    set_tests_properties(${name} PROPERTIES RUN_SERIAL TRUE TIMEOUT 300)
  endfunction()
else()
  find_package(GTest REQUIRED)

  # veldrin_native_test(NAME SOURCES ... [LIBS ...]): a GoogleTest program run
  # natively.
  function(veldrin_native_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
    # Table rows leave their trailing fields at their defaults.
    target_compile_options(${name} PRIVATE -Wall -Wextra -Wno-missing-field-initializers)
    add_test(NAME ${name} COMMAND ${name})
  endfunction()
endif()
