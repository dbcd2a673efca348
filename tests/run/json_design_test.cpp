// One vocabulary: the JSON results' design object, written as TOML, is a keyed design file
// of the same design, for every golden design and the keyed-only boundaries and futility.

#include "run/json_design.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "input/keyed_design_file.h"
#include "input/parameter_file.h"
#include "search/golden_cases.h"

namespace survseq::run {
namespace {

using json = nlohmann::ordered_json;

// A JSON value as TOML: objects become inline tables; numbers, strings and arrays read alike.
std::string toml(const json& value) {
  if (!value.is_object() && !value.is_array()) return value.dump();
  std::string text;
  for (const auto& [key, member] : value.items()) {
    text += (text.empty() ? "" : ", ") + (value.is_object() ? key + " = " : "") + toml(member);
  }
  return value.is_object() ? "{" + text + "}" : "[" + text + "]";
}

input::DesignParameters keyedDesign(const std::string& text) {
  std::istringstream in(text);
  input::DesignParameters design;
  input::readKeyedDesign(input::parseKeyedDesign(in, "d.toml"), "d.toml", design);
  return design;
}

// designJson of `design` must read back as a keyed file to the same designJson.
void expectReadsBack(const input::DesignParameters& design, const std::string& name) {
  const json written = designJson(design);
  std::string document;
  for (const auto& [key, value] : written.items()) document += key + " = " + toml(value) + "\n";
  EXPECT_EQ(designJson(keyedDesign(document)).dump(), written.dump()) << name << '\n' << document;
}

TEST(JsonDesign, TheDesignObjectReadAsAKeyedFileGivesTheSameDesign) {
  for (const testing::GoldenCase& golden : testing::allGoldenCases()) {
    if (golden.keyed) {
      expectReadsBack(keyedDesign(golden.parameterFile), golden.name);
      continue;
    }
    std::istringstream text(golden.parameterFile);
    std::ostringstream dropped;
    input::DesignParameters positional;
    input::readParameterFile(text, dropped, dropped, positional,
                             [](const std::string&, int32_t) {});
    expectReadsBack(positional, golden.name);
  }
  for (const char* keyedOnly :
       {"[boundary]\nuse_function = \"kim_demets\"\nexponent = 3\n"
        "[futility]\nz = [0.5]\nbinding = true\n",
        "[boundary]\nuse_function = \"hwang_shih_decani\"\ngamma = -4\n"}) {
    expectReadsBack(keyedDesign("analysis_times = [12, 24]\nsides = 1\n" + std::string(keyedOnly) +
                                "[accrual]\nperiod = 24\n[baseline_survival]\nmedian = 12\n"
                                "[alternative]\nhazard_ratio = 0.7\n"),
                    keyedOnly);
  }
}

}  // namespace
}  // namespace survseq::run
