// [boundary] and [futility] of the keyed design file.

#include <cmath>

#include "input/keyed_sections.h"
#include "report/message_text.h"

namespace survseq::input {

namespace {

constexpr float kDefaultB = 3.0f;
constexpr float kCriticalValueFloor = 0.00001f;  // the positional file replaces less by 1.96
constexpr float kErrorSumTolerance = 1e-6f;      // as the positional file's check

struct NamedCode {
  const char* name;
  int32_t code;
};

constexpr NamedCode kMethods[] = {{"error_split", ErrorSplit},
                                  {"lan_demets", LanDeMets},
                                  {"haybittle", Haybittle},
                                  {"given_critical_values", GivenBoundaries}};

std::string quotedNames(std::initializer_list<const char*> names) {
  std::string text;
  size_t i = 0;
  for (const char* name : names) {
    if (i > 0) text += i + 1 == names.size() ? " or " : ", ";
    text += std::string("\"") + name + "\"";
    ++i;
  }
  return text;
}

int32_t readMethod(const KeyedTable& boundary) {
  const std::string method = boundary.text("method").value_or("lan_demets");
  for (const NamedCode& known : kMethods) {
    if (method == known.name) return known.code;
  }
  boundary.fail("method", "must be " +
                              quotedNames({"error_split", "lan_demets", "haybittle",
                                           "given_critical_values"}) +
                              ", not \"" + report::echoedValue(method) + "\"");
}

// b of the Haybittle boundary and of the b-parameter use function: above 1.
void readB(const KeyedTable& boundary, DesignParameters& design) {
  const float b = boundary.real("b").value_or(kDefaultB);
  if (!(b > 1.0f)) boundary.fail("b", "must be above 1 (got " + report::numberText(b) + ")");
  design.haybittleBInput = b;
  design.haybittleB = b;
}

void readUseFunction(const KeyedTable& boundary, DesignParameters& design) {
  const std::string name = boundary.text("use_function").value_or("obrien_fleming");
  const bool hwangShihDeCani = name == "hwang_shih_decani";
  const bool kimDeMets = name == "kim_demets";
  if (name == "obrien_fleming") design.useFunction = OBrienFleming;
  else if (name == "pocock") design.useFunction = Pocock;
  else if (name == "linear") design.useFunction = Linear;
  else if (name == "b_parameter") design.useFunction = HaybittleType;
  else if (!hwangShihDeCani && !kimDeMets) {
    boundary.fail("use_function",
                  "must be " +
                      quotedNames({"obrien_fleming", "pocock", "linear", "b_parameter",
                                   "hwang_shih_decani", "kim_demets"}) +
                      ", not \"" + report::echoedValue(name) + "\"");
  }
  const std::string with = "is not used with use_function = \"" + name + "\"";
  if (design.useFunction == HaybittleType) readB(boundary, design);
  else boundary.refuse("b", with);
  if (!hwangShihDeCani) boundary.refuse("gamma", with);
  if (!kimDeMets) boundary.refuse("exponent", with);
  if (hwangShihDeCani) {
    boundary.require("gamma", "the Hwang-Shih-DeCani function needs its gamma (0 is linear)");
    design.spendingFamily = SpendingFamily::HwangShihDeCani;
    design.spendingGamma = *boundary.real("gamma");
  } else if (kimDeMets) {
    boundary.require("exponent", "the Kim-DeMets function needs its exponent (1 is linear)");
    design.spendingFamily = SpendingFamily::KimDeMets;
    design.spendingExponent = *boundary.real("exponent");
    if (!(design.spendingExponent > 0.0f)) {
      boundary.fail("exponent", "must be above 0 (got " +
                                    report::numberText(design.spendingExponent) + ")");
    }
  }
}

void readErrorShares(const KeyedTable& boundary, DesignParameters& design) {
  const auto K = static_cast<size_t>(design.analysisCount);
  boundary.require("error_shares", "the error_split method needs the alpha spent at each look");
  const std::vector<float> shares = *boundary.reals("error_shares", K, K);
  AnalysisValues& spent = design.errorSplit;
  spent[0] = 0.0f;
  for (size_t i = 1; i <= K; ++i) {
    if (shares[i - 1] < 0.0f) {
      boundary.fail("error_shares", "share " + std::to_string(i) + " is negative (" +
                                        report::numberText(shares[i - 1]) + ")");
    }
    spent[i] = shares[i - 1] + spent[i - 1];
  }
  if (std::fabs(spent[K] - design.typeIError) > kErrorSumTolerance) {
    boundary.fail("error_shares", "must add up to type_one_error (got " +
                                      report::numberText(spent[K]) + " and " +
                                      report::numberText(design.typeIError) + ")");
  }
  if (K == 1) spent[1] = design.typeIError;
}

void readCriticalValues(const KeyedTable& boundary, DesignParameters& design) {
  const auto K = static_cast<size_t>(design.analysisCount);
  boundary.require("critical_values", "the given_critical_values method needs one per look");
  const std::vector<float> values = *boundary.reals("critical_values", K, K);
  for (size_t i = 1; i <= K; ++i) {
    if (!(values[i - 1] >= kCriticalValueFloor)) {
      boundary.fail("critical_values", "critical value " + std::to_string(i) + " (" +
                                           report::numberText(values[i - 1]) +
                                           ") is below 0.00001");
    }
    design.boundaryValues[i] = values[i - 1];
  }
}

void readFutility(const KeyedTable& root, DesignParameters& design) {
  const toml::table* table = root.table("futility");
  if (table == nullptr) return;
  const KeyedTable futility(*table, "futility", root.fileName());
  const auto refuseAll = [&](const std::string& why) { root.fail("futility", why); };
  if (design.sides != 1) refuseAll("applies to one-sided designs only (sides = 1)");
  if (design.boundaryMethod != LanDeMets && design.boundaryMethod != ErrorSplit) {
    refuseAll("needs a boundary that spends alpha (method \"lan_demets\" or \"error_split\")");
  }
  if (design.analysisCount < 2) refuseAll("needs an interim look; this design has one analysis");
  const auto interims = static_cast<size_t>(design.analysisCount - 1);
  futility.require("z", "one futility bound per interim look");
  const std::vector<float> z = *futility.reals("z", interims, interims);
  for (size_t i = 1; i <= interims; ++i) design.futilityZ[i] = z[i - 1];
  design.futility = true;
  design.futilityBinding = futility.flag("binding").value_or(false);
}

}  // namespace

void readKeyedBoundary(const KeyedTable& root, DesignParameters& design) {
  static const toml::table kNone;
  const toml::table* table = root.table("boundary");
  const KeyedTable boundary(table != nullptr ? *table : kNone, "boundary", root.fileName());
  design.boundaryMethod = readMethod(boundary);
  // Values the method does not use keep what a positional file of zeros gives them.
  design.haybittleBInput = design.haybittleB = kDefaultB;
  for (int32_t k = 1; k <= design.analysisCount; ++k) design.boundaryValues[k] = 1.96f;

  const std::string method = "is not used with method = \"" +
                             std::string(kMethods[design.boundaryMethod - 1].name) + "\"";
  if (design.boundaryMethod == LanDeMets) {
    readUseFunction(boundary, design);
  } else {
    for (const char* key : {"use_function", "gamma", "exponent"}) boundary.refuse(key, method);
    design.useFunction = OBrienFleming;
  }
  if (design.boundaryMethod == Haybittle) readB(boundary, design);
  else if (design.boundaryMethod != LanDeMets) boundary.refuse("b", method);
  if (design.boundaryMethod == ErrorSplit) readErrorShares(boundary, design);
  else boundary.refuse("error_shares", method);
  if (design.boundaryMethod == GivenBoundaries) readCriticalValues(boundary, design);
  else boundary.refuse("critical_values", method);
  readFutility(root, design);
}

}  // namespace survseq::input
