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
  } else if (value.is_number_integer()) {
    table.insert(key, value.get<int64_t>());
  } else {
    table.insert(key, value.get<double>());
  }
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
    const json written = designJson(positional);
    toml::table document;
    for (const auto& [key, value] : written.items()) insertAsToml(document, key, value);
    input::DesignParameters keyed;
    input::readKeyedDesign(document, "design.json", keyed);
    EXPECT_EQ(designJson(keyed).dump(), written.dump()) << golden.name;
  }
}

}  // namespace
}  // namespace survseq::run
