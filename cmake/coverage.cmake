# The coverage build (VELDRIN_COVERAGE=ON, as tools/coverage configures
# build/coverage-win and build/coverage-native): the DLL's code and labelhost
# compiled with gcc's --coverage, so that every run of them adds its counts to
# the .gcda files beside their objects. Off (every other build), this file
# adds nothing, and the released files keep their bytes.
option(VELDRIN_COVERAGE "Instrument the DLL's code and labelhost for gcov (tools/coverage)" OFF)
if(NOT VELDRIN_COVERAGE)
  return()
endif()

# Not optimised, so that each line and branch counted is one of the source's;
# NDEBUG stays as the build type sets it.
set(options --coverage -O0)
if(WIN32)
  # -ffile-prefix-map (cmake/veldrin.cmake) also rewrites the paths the
  # coverage notes keep (the source and the build folder), which gcov needs
  # to find the sources; these identity maps, given after it, win over it.
  list(APPEND options -fprofile-prefix-map=${PROJECT_SOURCE_DIR}=${PROJECT_SOURCE_DIR}
       -fprofile-prefix-map=${CMAKE_BINARY_DIR}=${CMAKE_BINARY_DIR})
endif()

# Instrumented: the DLL's code, labelhost, and the test program with its
# helpers, which compile some of labelhost's sources themselves (the job
# records, the image loader, the host dialog) and load the driver through
# labelhost's loader. The reports name only the DLL's and labelhost's
# sources, so labelhost's figures count every run of its code, in labelhost
# or in the test program. labelhost links the same objects of the driver's
# code as the DLL: their counts add up in one .gcda file per object.
# GoogleTest, the simulator and the stand-in host library stay as they are.
foreach(target veldrin_pure veldrin_core veldrin_imaging VELDRIN labelhost labelhost_driver_api
               veldrin_test_support test_wine)
  if(TARGET ${target})
    target_compile_options(${target} PRIVATE ${options})
    # Whatever links an instrumented library links gcov's runtime too.
    target_link_options(${target} PUBLIC --coverage)
  endif()
endforeach()
