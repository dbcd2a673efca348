// The design object of the JSON results, written as TOML, is a keyed design file of the same
// design: for every golden run, and for the keyed-only boundaries and futility.

#include "run/json_design.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "input/keyed_design_file.h"
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

json readBack(const std::string& keyedFile) {
  std::istringstream text(keyedFile);
  input::DesignParameters design;
  input::readKeyedDesign(input::parseKeyedDesign(text, "d.toml"), "d.toml", design);
  return designJson(design);
}

void expectReadsBack(const json& written) {
  std::string document;
  for (const auto& [key, value] : written.items()) document += key + " = " + toml(value) + "\n";
  EXPECT_EQ(readBack(document).dump(), written.dump()) << document;
}

TEST(JsonDesign, TheDesignObjectReadAsAKeyedFileGivesTheSameDesign) {
  for (const testing::GoldenCase& golden : testing::allGoldenCases()) {
    SCOPED_TRACE(golden.name);
    expectReadsBack(json::parse(testing::readFile(testing::goldenPath(golden.name, ".json")))
                        .at("design"));
  }
  for (const char* keyedOnly : {"[boundary]\nuse_function = \"kim_demets\"\nexponent = 3\n"
                                "[futility]\nz = [0.5]\nbinding = true\n",
                                "[boundary]\nuse_function = \"hwang_shih_decani\"\ngamma = -4\n"}) {
    expectReadsBack(readBack("analysis_times = [12, 24]\nsides = 1\n" + std::string(keyedOnly) +
                             "[accrual]\nperiod = 24\n[baseline_survival]\nmedian = 12\n"
                             "[alternative]\nhazard_ratio = 0.7\n"));
  }
}

}  // namespace
}  // namespace survseq::run
