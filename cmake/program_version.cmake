# Writes the source file of programVersion(): the project version and, when the sources
# are a git checkout, the revision they were built from (with "-dirty" for uncommitted
# changes). Runs at every build, so that a new commit shows without a new configure; the
# file is replaced only when its text changes, so nothing recompiles otherwise.
#
# Inputs: SOURCE_DIR, OUTPUT, VERSION, GIT_EXECUTABLE (may be empty).

set(revision "")
if(GIT_EXECUTABLE AND EXISTS "${SOURCE_DIR}/.git")
  execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" describe --always --dirty
                          --abbrev=10 --exclude=*
                  OUTPUT_VARIABLE revision OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE status ERROR_QUIET)
  if(NOT status EQUAL 0)
    set(revision "")
  endif()
endif()

set(text "${VERSION}")
if(revision)
  set(text "${VERSION} (git ${revision})")
endif()

set(source "// Generated at build time by cmake/program_version.cmake; do not edit.
#include \"run/program_info.h\"

namespace survseq::run {

std::string_view programVersion() { return \"${text}\"; }

}  // namespace survseq::run
")

if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" previous)
  if(previous STREQUAL source)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${source}")
