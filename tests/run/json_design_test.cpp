// One vocabulary: the JSON results' design object, written as TOML, is a keyed design
// file of the same design, for every golden design.

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

// The JSON value as a TOML node: objects become tables, arrays arrays.
void insertAsToml(toml::table& table, const std::string& key, const json& value);

toml::array tomlArray(const json& values) {
  toml::array array;
  for (const json& value : values) {
    if (value.is_object()) {
      toml::table element;
      for (const auto& [key, member] : value.items()) insertAsToml(element, key, member);
      array.push_back(std::move(element));
    } else if (value.is_number_integer()) {
      array.push_back(value.get<int64_t>());
    } else {
      array.push_back(value.get<double>());
    }
  }
  return array;
}

void insertAsToml(toml::table& table, const std::string& key, const json& value) {
  if (value.is_object()) {
    toml::table inner;
    for (const auto& [name, member] : value.items()) insertAsToml(inner, name, member);
    table.insert(key, std::move(inner));
  } else if (value.is_array()) {
    table.insert(key, tomlArray(value));
  } else if (value.is_string()) {
    table.insert(key, value.get<std::string>());
  } else if (value.is_boolean()) {
    table.insert(key, value.get<bool>());
  } else if (value.is_number_integer()) {
    table.insert(key, value.get<int64_t>());
  } else {
    table.insert(key, value.get<double>());
  }
}

// designJson of `design` must read back as a keyed file to the same designJson.
void expectReadsBack(const input::DesignParameters& design, const std::string& name) {
  const json written = designJson(design);
  toml::table document;
  for (const auto& [key, value] : written.items()) insertAsToml(document, key, value);
  input::DesignParameters keyed;
  input::readKeyedDesign(document, "design.json", keyed);
  EXPECT_EQ(designJson(keyed).dump(), written.dump()) << name;
}

TEST(JsonDesign, TheDesignObjectReadAsAKeyedFileGivesTheSameDesign) {
  auto cases = testing::exampleGoldenCases();
  const auto purposeBuilt = testing::purposeBuiltGoldenCases();
  cases.insert(cases.end(), purposeBuilt.begin(), purposeBuilt.end());
  for (const testing::GoldenCase& golden : cases) {
    std::istringstream text(golden.parameterFile);
    std::ostringstream dropped;
    input::DesignParameters positional;
    input::readParameterFile(text, dropped, dropped, positional,
                             [](const std::string&, int32_t) {});
    expectReadsBack(positional, golden.name);
  }
  // The keys of the keyed-only features, in the forms the JSON writes them.
  for (const char* keyedOnly :
       {"analysis_events = [100, 200]\nallocation_ratio = 2\nsides = 1\n"
        "[boundary]\nuse_function = \"kim_demets\"\nexponent = 3\n"
        "[futility]\nz = [0.5]\nbinding = true\n"
        "[accrual]\nperiod = 24\npatients = 420\npiece_durations = [6, 18]\n"
        "relative_rates = [0.25, 1]\n",
        "analysis_times = [12, 24]\nanalysis_timing = \"events\"\n"
        "[boundary]\nuse_function = \"hwang_shih_decani\"\ngamma = -4\n"
        "[accrual]\nperiod = 24\n"}) {
    std::istringstream text(std::string(keyedOnly) +
                            "[baseline_survival]\nmedian = 12\n[alternative]\nhazard_ratio = 0.7\n");
    input::DesignParameters design;
    input::readKeyedDesign(input::parseKeyedDesign(text, "d.toml"), "d.toml", design);
    expectReadsBack(design, keyedOnly);
  }
}

}  // namespace
}  // namespace survseq::run
