#include "input/design_repairs.h"

#include <cmath>
#include <ostream>

#include "input/repair_messages.h"

namespace survseq::input {

namespace {

constexpr float kTypeIErrorZeroTest = 1e-10f;
constexpr float kErrorSumTolerance = 1e-6f;
constexpr float kBoundaryValueFloor = 0.00001f;

}  // namespace

void repairBoundaryMethod(DesignParameters& design, std::ostream& console) {
  if (design.boundaryMethod != 0) return;
  design.boundaryMethod = LanDeMets;
  writeTextMessage(console, " The Lan-Demets method is chosen.");
}

void repairSeed(DesignParameters& design, std::ostream& console) {
  if (design.seed != 0) return;
  design.seed = -123457;
  writeTextMessage(console, " The seed is set to -123457.");
}

void repairAnalysisCount(DesignParameters& design, std::ostream& console) {
  if (design.analysisCount > 1) return;
  design.analysisCount = 1;
  writeTextMessage(console, " You have specified the non-sequential design.");
}

void repairLastAnalysisTime(DesignParameters& design, std::ostream& console) {
  float& lastTime = design.analysisTimes[static_cast<size_t>(design.analysisCount)];
  if (lastTime > 0.0f) return;
  lastTime = 10.0f;
  writeTextMessage(console, " The last look has been set at 10.");
}

void repairStatisticCount(DesignParameters& design, std::ostream& console) {
  if (design.statisticCount != 0) return;
  design.statisticCount = 1;
  writeTextMessage(console, " One test statistic is specified.");
}

void clearInformationLimits(DesignParameters& design) {
  for (int32_t j = 1; j <= design.statisticCount; ++j) {
    design.informationFloor[static_cast<size_t>(j)] = 0.0f;
    design.informationCeiling[static_cast<size_t>(j)] = 0.0f;
  }
}

void repairSimulationCount(DesignParameters& design, std::ostream& console) {
  if (design.simulationCount > 0) return;
  design.simulationCount = 1000;
  writeTextMessage(console, " The number of simulation is set to 1000.");
}

void repairTypeIError(DesignParameters& design, std::ostream& console) {
  if (design.typeIError > kTypeIErrorZeroTest) return;
  design.typeIError = 0.05f;
  writeTextMessage(console, " The type-I error is set to 0.05.");
}

void repairSides(DesignParameters& design, std::ostream& console) {
  if (design.sides != 0) return;
  design.sides = 2;
  writeTextMessage(console, " 2 sided test is spcified.");
}

void accumulateErrorSplit(DesignParameters& design, std::ostream& console) {
  if (design.boundaryMethod != ErrorSplit) return;
  AnalysisValues& spent = design.errorSplit;
  const auto K = static_cast<size_t>(design.analysisCount);
  // With a single analysis all of alpha is spent there, whatever the line held.
  if (K == 1) {
    spent[1] = design.typeIError;
    return;
  }
  for (size_t i = 1; i <= K; ++i) spent[i] = spent[i] + spent[i - 1];
  const float mismatch = std::fabs(spent[K] - design.typeIError);
  if (mismatch > kErrorSumTolerance)
    writeTextMessage(console, " The sum of the e's is not equal to the type-I error.");
}

void chooseHaybittleB(DesignParameters& design, std::ostream& console) {
  if (design.haybittleBInput > 1.0f) {
    design.haybittleB = design.haybittleBInput;
    return;
  }
  design.haybittleB = 3.0f;
  writeTextMessage(console, " You input is less than 1, b is re-set to 3.");
}

void repairBoundaryValues(DesignParameters& design) {
  for (int32_t i = 1; i <= design.analysisCount; ++i) {
    float& value = design.boundaryValues[static_cast<size_t>(i)];
    if (value < kBoundaryValueFloor) value = 1.96f;
  }
}

void repairUseFunction(DesignParameters& design, std::ostream& console) {
  if (design.useFunction > 0) return;
  design.useFunction = OBrienFleming;
  writeTextMessage(console, " The OBrien and Fleming use function is chosen.");
}

void repairAccrual(DesignParameters& design) {
  if (design.accrualPeriod == 0.0f) design.accrualPeriod = 10.0f;
  if (design.accrualRateLower == 0.0f) design.accrualRateLower = 10.0f;
  if (design.accrualRateUpper == 0.0f) design.accrualRateUpper = 50.0f;
  design.accrualRate = design.accrualRateUpper;
}

}  // namespace survseq::input
