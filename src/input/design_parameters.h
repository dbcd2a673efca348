#pragma once

// The one record of a run: every value of the parameter file, the settings derived
// from them while reading, and the few members the design search moves later.
//
// Indexing: the small tables follow the parameter file's numbering and start at 1.
// The arrays are one longer than their capacity; element 0 carries meaning only for
// the survival curves (x[0] = 0, s[0] = 1) and for errorSplit (errorSplit[0] = 0).
// Every stored real is single precision, every count a 32-bit integer.

#include <array>
#include <cstdint>
#include <string>

namespace survseq::input {

inline constexpr int32_t MaxAnalyses = 15;
inline constexpr int32_t MaxStatistics = 5;
inline constexpr int32_t MaxIntervals = 20;
inline constexpr int32_t MaxDropPoints = 20;
inline constexpr int32_t MaxAccrualPieces = 20;

// The reader refuses designs whose largest accrual (upper rate x accrual period)
// needs more patients than this per simulated trial.
inline constexpr double kMaxPatientsPerTrial = 10'000'000.0;

using AnalysisValues = std::array<float, MaxAnalyses + 1>;     // [1..K], errorSplit [0..K]
using StatisticValues = std::array<float, MaxStatistics + 1>;  // [1..statisticCount]
using IntervalValues = std::array<float, MaxIntervals + 1>;    // [1..n], curves [0..n]
using DropPointValues = std::array<float, MaxDropPoints + 1>;  // [1..count]
using AccrualPieceValues = std::array<float, MaxAccrualPieces + 1>;  // [1..count]
using AnalysisCounts = std::array<int32_t, MaxAnalyses + 1>;          // [1..K]

// Codes as they stand in the parameter file; the record stores the plain numbers.
enum BoundaryMethod : int32_t { ErrorSplit = 1, LanDeMets = 2, Haybittle = 3, GivenBoundaries = 4 };
enum UseFunction : int32_t { OBrienFleming = 1, Pocock = 2, Linear = 3, HaybittleType = 4 };
enum AlternativeKind : int32_t { SurvivalCurveGiven = 1, HazardRatiosGiven = 2 };

// What the design asks of the accrual rate: a search within a bracket (the positional
// file's only form), one pass at a given rate or a given number of patients, or a search
// that starts at the analytic rate and is steered by the analytic power curve.
enum class AccrualForm : int32_t { Bracket, GivenRate, GivenPatients, AnalyticStart };

// When the analyses take place: at the calendar times, at the calendar times of event
// targets planned from the calendar times at each pass's rate, or at fixed event targets.
enum class AnalysisTiming : int32_t { Calendar, PlannedEvents, FixedEvents };

// The information each statistic is planned to have at the looks, which sets the scale of
// the boundaries: its expectation under the design's alternative or under the null
// hypothesis, from the exact law the trials are drawn from, or the original null variance
// (constant event density between the control curve's points), as the positional file plans.
enum class PlannedInformation : int32_t { Alternative, Null, Original };

// The spending family of a Lan-DeMets boundary: the coded use function (useFunction), or
// one of the one-parameter families that only the keyed file can name.
enum class SpendingFamily : int32_t { Coded, HwangShihDeCani, KimDeMets };

// A piecewise survival function given by its values at right cut points:
// s[i] = S(x[i]) for i = 1..count, with x[0] = 0 and s[0] = 1.
struct SurvivalCurve {
  int32_t count = 0;
  IntervalValues x{};
  IntervalValues s{};
};

struct DesignParameters {
  int32_t boundaryMethod = 0;
  std::string outputFileName;  // as given, without padding
  int32_t seed = 0;
  int32_t analysisCount = 0;
  AnalysisValues analysisTimes{};
  int32_t statisticCount = 0;
  StatisticValues rho{};
  StatisticValues tau{};
  StatisticValues informationFloor{};
  StatisticValues informationCeiling{};
  int32_t simulationCount = 0;
  float typeIError = 0.0f;
  int32_t sides = 0;
  AnalysisValues errorSplit{};  // cumulative type-I error after reading
  float haybittleBInput = 0.0f;
  float haybittleB = 0.0f;
  AnalysisValues boundaryValues{};
  int32_t useFunction = 0;
  SurvivalCurve baselineCurve;
  float accrualPeriod = 0.0f;
  float accrualRateLower = 0.0f;
  float accrualRateUpper = 0.0f;
  float accrualRate = 0.0f;
  float desiredPower = 0.0f;
  int32_t hazardRatioCount = 0;
  IntervalValues hazardRatioCuts{};
  float alternativeKind = 0.0f;
  IntervalValues hazardRatios{};
  SurvivalCurve alternativeCurve;
  SurvivalCurve censoringControl;
  SurvivalCurve censoringTreatment;
  int32_t dropInCount = 0;
  DropPointValues dropInTimes{};
  DropPointValues dropInRates{};
  int32_t dropOutCount = 0;
  DropPointValues dropOutTimes{};
  DropPointValues dropOutRates{};

  // Only the keyed design file sets what follows; the defaults are the original design:
  // a bracketed search, calendar analyses, 1:1 allocation, one accrual piece at the full
  // rate, the coded use function, no futility rule and the original planned information.
  AccrualForm accrualForm = AccrualForm::Bracket;
  int32_t givenPatients = 0;  // GivenPatients: patients per trial
  AnalysisTiming analysisTiming = AnalysisTiming::Calendar;
  AnalysisCounts analysisEvents{};  // FixedEvents: the event target of each analysis
  float allocationRatio = 1.0f;     // treatment patients per control patient
  // Ramp-up accrual: piece i enrols for accrualPieceDurations[i] at accrualRate times
  // accrualRelativeRates[i]; 0 pieces: the whole accrual period at the full rate.
  int32_t accrualPieceCount = 0;
  AccrualPieceValues accrualPieceDurations{};
  AccrualPieceValues accrualRelativeRates{};
  SpendingFamily spendingFamily = SpendingFamily::Coded;
  float spendingGamma = 0.0f;     // HwangShihDeCani
  float spendingExponent = 0.0f;  // KimDeMets
  bool futility = false;
  bool futilityBinding = false;
  AnalysisValues futilityZ{};  // [1..K-1]: stop for futility when Z lies below
  PlannedInformation plannedInformation = PlannedInformation::Original;
  // [combination]: the trial's test is the largest of these statistics (numbers into the
  // statistics, in the order given); 0 of them: no combination, each statistic tests alone.
  int32_t combinationCount = 0;
  std::array<int32_t, MaxStatistics> combinationStatistics{};
};

inline bool usesCombination(const DesignParameters& design) { return design.combinationCount > 0; }

// The keyed file's name of a planned-information scale: "alternative", "null", "original".
const char* plannedInformationName(PlannedInformation scale);

// True when the design uses something the positional file cannot state; only then do
// the report and the console show the lines of those features, so a keyed design that
// says no more than a positional one is reported exactly as the positional one.
bool usesKeyedOnlyFeatures(const DesignParameters& design);

// The alternative code is a real read from the file; everything above 1.5 means
// that line 113 held hazard ratios.
inline bool hazardRatiosGiven(const DesignParameters& design) {
  return design.alternativeKind > 1.5f;
}

// Every use-function code other than 1, 2 and 3 means the use function with the
// parameter b (HaybittleType), whose b is checked before the trials.
inline bool usesHaybittleTypeFunction(const DesignParameters& design) {
  return design.spendingFamily == SpendingFamily::Coded &&
         design.useFunction != OBrienFleming && design.useFunction != Pocock &&
         design.useFunction != Linear;
}

}  // namespace survseq::input
