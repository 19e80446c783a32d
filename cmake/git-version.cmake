# Writes OUTPUT, the header of the version resource's build facts, from the git
# checkout at SOURCE_DIR; run at every build (cmake -P), it rewrites the file
# only when a fact changed, so an unchanged checkout rebuilds nothing.
#
#   VELDRIN_BUILD_NUMBER  the fourth version field: the number of commits up to
#                         HEAD (git rev-list --count HEAD), so builds of different
#                         commits on one line of history differ
#   VELDRIN_COMMIT        the commit id, full
#   VELDRIN_MODIFIED      1 when tracked files differ from the commit (the
#                         resource then sets VS_FF_PRIVATEBUILD and says so)
#   VELDRIN_NO_GIT        1 for a source tree without git (a source tarball):
#                         build number 0, the commit "unknown", VS_FF_SPECIALBUILD
#
# Untracked files do not count as changes: the build reads only what CMake lists.
cmake_minimum_required(VERSION 3.25)
set(number 0)
set(commit "unknown")
set(modified 0)
set(no_git 1)
find_program(git git)
if(git)
  execute_process(COMMAND ${git} -C ${SOURCE_DIR} rev-parse --show-toplevel
                  OUTPUT_VARIABLE top OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE failed ERROR_QUIET)
  # A tarball unpacked inside some other checkout is not that checkout.
  file(REAL_PATH "${SOURCE_DIR}" source)
  if(NOT failed)
    file(REAL_PATH "${top}" top)
  endif()
  if(NOT failed AND top STREQUAL source)
    execute_process(COMMAND ${git} -C ${SOURCE_DIR} rev-parse HEAD
                    OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND ${git} -C ${SOURCE_DIR} rev-list --count HEAD
                    OUTPUT_VARIABLE number OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND ${git} -C ${SOURCE_DIR} status --porcelain --untracked-files=no
                    OUTPUT_VARIABLE changes COMMAND_ERROR_IS_FATAL ANY)
    if(NOT changes STREQUAL "")
      set(modified 1)
    endif()
    set(no_git 0)
    if(number GREATER 65535)
      message(FATAL_ERROR "more than 65535 commits: the build number no longer fits its field")
    endif()
  endif()
endif()
set(text "// Made by cmake/git-version.cmake at build time: the build's git facts.
#define VELDRIN_BUILD_NUMBER ${number}
#define VELDRIN_COMMIT \"${commit}\"
#define VELDRIN_MODIFIED ${modified}
#define VELDRIN_NO_GIT ${no_git}
")
set(old "")
if(EXISTS ${OUTPUT})
  file(READ ${OUTPUT} old)
endif()
if(NOT old STREQUAL text)
  file(WRITE ${OUTPUT} "${text}")
endif()
