#include "input/curve_repairs.h"

#include <ostream>

#include "input/repair_messages.h"

namespace survseq::input {

namespace {

constexpr float kCutPointZeroTest = 1e-10f;
constexpr float kCensoringCutPointZeroTest = 1e-8f;
constexpr float kSurvivalFloor = 0.00001f;
constexpr float kHazardRatioZeroTest = 1e-10f;
constexpr int32_t kLargestCutPoint = 10;
constexpr int32_t kLargestCensoringCutPoint = 20;

constexpr const char* kOneInterval = " The number of intervals is set to 1.";

size_t at(int32_t index) { return static_cast<size_t>(index); }

// Counts that are repaired only when below 1 (every count of intervals or points
// except the baseline's).
void raiseToOne(int32_t& count, std::ostream& console, const char* message) {
  if (count > 0) return;
  count = 1;
  writeTextMessage(console, message);
}

void spaceEvenlyIfLastNotAbove(IntervalValues& cutPoints, int32_t count, float zeroTest,
                               int32_t largest, std::ostream& console) {
  if (cutPoints[at(count)] > zeroTest) return;
  spaceCutPointsEvenly(cutPoints, count, largest);
  writeEqualSpacingMessage(console, largest);
}

}  // namespace

void spaceCutPointsEvenly(IntervalValues& cutPoints, int32_t count, double largest) {
  for (int32_t i = 1; i <= count; ++i) {
    cutPoints[at(i)] = static_cast<float>(double(i) * largest / double(count));
  }
}

void repairBaselineIntervalCount(DesignParameters& design, std::ostream& console) {
  SurvivalCurve& curve = design.baselineCurve;
  if (curve.count == 0) {
    curve.count = 1;
    writeTextMessage(console, kOneInterval);
  }
  curve.x[0] = 0.0f;
}

void repairBaselineCutPoints(DesignParameters& design, std::ostream& console) {
  SurvivalCurve& curve = design.baselineCurve;
  spaceEvenlyIfLastNotAbove(curve.x, curve.count, kCutPointZeroTest, kLargestCutPoint, console);
  curve.s[0] = 1.0f;
}

void repairLastSurvivalValue(SurvivalCurve& curve, std::ostream& console) {
  float& last = curve.s[at(curve.count)];
  if (last > kSurvivalFloor) return;
  last = kSurvivalFloor;
  writeSurvivalRepairMessage(console, curve.x[at(curve.count)]);
}

void repairHazardRatioCount(DesignParameters& design, std::ostream& console) {
  raiseToOne(design.hazardRatioCount, console, kOneInterval);
}

void repairHazardRatioCuts(DesignParameters& design, std::ostream& console) {
  spaceEvenlyIfLastNotAbove(design.hazardRatioCuts, design.hazardRatioCount, kCutPointZeroTest,
                            kLargestCutPoint, console);
}

void prepareAlternativeCurve(DesignParameters& design) {
  SurvivalCurve& curve = design.alternativeCurve;
  curve.count = design.hazardRatioCount;
  for (int32_t i = 1; i <= curve.count; ++i) curve.x[at(i)] = design.hazardRatioCuts[at(i)];
  curve.s[0] = 1.0f;
}

void repairHazardRatios(DesignParameters& design, std::ostream& console) {
  for (int32_t i = 1; i <= design.hazardRatioCount; ++i) {
    float& ratio = design.hazardRatios[at(i)];
    if (ratio > kHazardRatioZeroTest) continue;
    ratio = 1.0f;
    writeHazardRatioRepairMessage(console, design.hazardRatioCuts[at(i)]);
  }
}

void repairControlCensoringCount(DesignParameters& design, std::ostream& console) {
  raiseToOne(design.censoringControl.count, console, "The number of intervals is set to 1.");
  design.censoringControl.x[0] = 0.0f;
}

void repairTreatmentCensoringCount(DesignParameters& design, std::ostream& console) {
  raiseToOne(design.censoringTreatment.count, console, kOneInterval);
  design.censoringTreatment.x[0] = 0.0f;
}

void repairCensoringCutPoints(SurvivalCurve& curve, std::ostream& console) {
  spaceEvenlyIfLastNotAbove(curve.x, curve.count, kCensoringCutPointZeroTest,
                            kLargestCensoringCutPoint, console);
  curve.s[0] = 1.0f;
}

void repairDropPointCount(int32_t& count, std::ostream& console) {
  raiseToOne(count, console, kOneInterval);
}

}  // namespace survseq::input
