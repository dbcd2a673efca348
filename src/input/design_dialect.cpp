#include "input/design_dialect.h"

#include <algorithm>
#include <sstream>

#include <toml++/toml.h>

#include "input/keyed_vocabulary.h"
#include "input/parameter_file.h"
#include "report/run_error.h"

namespace survseq::input {

bool looksLikeKeyedDesign(const std::string& text) {
  toml::table document;
  try {
    document = toml::parse(text);
  } catch (const toml::parse_error&) {
    return false;
  }
  const auto known = keysOfTable("");
  return std::any_of(known.begin(), known.end(),
                     [&](std::string_view key) { return document.contains(key); });
}

bool looksLikeParameterFile(const std::string& text) {
  std::istringstream in(text);
  std::ostringstream unseen;
  DesignParameters design;
  try {
    readParameterFile(in, unseen, unseen, design, [](const std::string&, int32_t) {});
  } catch (const RunError&) {
    return false;
  }
  return true;
}

bool holdsNothing(const std::string& text) {
  return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

}  // namespace survseq::input
