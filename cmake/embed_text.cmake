# Writes the source file of a function that returns the bytes of a text file, so that
# the program carries the file with it (the annotated parameter template).
#
# Inputs: INPUT, OUTPUT, FUNCTION (a name in namespace survseq::run, declared in
# run/program_info.h).

file(READ "${INPUT}" bytes HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${bytes}")
file(RELATIVE_PATH name "${CMAKE_CURRENT_LIST_DIR}/.." "${INPUT}")

file(WRITE "${OUTPUT}" "// Generated at build time from ${name} by cmake/embed_text.cmake; do not edit.
#include \"run/program_info.h\"

namespace survseq::run {

namespace {

constexpr char kText[] = {${bytes}'\\0'};

}  // namespace

std::string_view ${FUNCTION}() { return {kText, sizeof kText - 1}; }

}  // namespace survseq::run
")
