#pragma once

// Everything the design search tells the user: the design echo, the run header, the
// blocks of each iteration and the closing block in the report file, and the few
// console lines of the search.

#include <cstdint>
#include <iosfwd>
#include <span>
#include <string>

#include "input/design_parameters.h"

namespace survseq::search {

struct StatisticRecord;
struct IterationRecord;
struct CombinationRecord;

// FixedRate: no search; the one iteration ran at the given rate or number of patients.
enum class SearchOutcome {
  UpperBoundTooSmall,
  LowerBoundTooBig,
  WithinTwoStandardErrors,
  IterationLimit,
  FixedRate
};

// Power of one statistic over the trials of a pass, with its binomial standard error.
struct PowerEstimate {
  float power = 0.0f;
  float standardError = 0.0f;
};

// What the pass reports for one statistic.
struct StatisticSummary {
  float rho = 0.0f;
  float tau = 0.0f;
  PowerEstimate estimate;
  float averageStoppingTime = 0.0f;
};

// The values a closing block prints.
struct ClosingValues {
  float desiredPower = 0.0f;
  float accrualRate = 0.0f;  // where the search ended: for a bracket, its final lower end
  PowerEstimate estimate;    // at that rate
  int32_t iterationLimit = 0;
  // The advice names the keys of the keyed file rather than the lines of the positional
  // one: for designs that only the keyed file can state (the others keep the positional
  // report byte for byte).
  bool namesKeys = false;
  // The estimate is the combination of statistics', not the first statistic's.
  bool ofCombination = false;
};

// The line "rho = ... tau = ... power = ... s.d. = ..." of one statistic, after `indent`;
// `quantity` names what the estimate is.
void writePowerLine(std::ostream& file, const StatisticSummary& summary, const char* indent,
                    const char* quantity = " power =");

class Report {
 public:
  Report(std::ostream& console, std::ostream& file) : console_(console), file_(file) {}

  std::ostream& console() { return console_; }
  std::ostream& file() { return file_; }

  // The design echo: the seed line alone (written before the generator first runs),
  // then everything after it.
  void writeSeedLine(int32_t seed);
  void writeDesignEcho(const input::DesignParameters& design);
  void writeOutputFileNotice(const std::string& outputFileName);
  void writeRunHeader(int32_t simulationCount);

  void writeIterationHeader(int32_t iterationNumber, float accrualRate);
  // haybittle is null unless the Haybittle boundary was fixed before the trials:
  // then it holds b and the last critical value.
  struct HaybittleValues {
    float b;
    float lastCriticalValue;
  };
  // The planned information of the statistic at the looks, under a line that names its
  // scale (the original null variance keeps the original line).
  void writePreSimulation(int32_t statistic, const HaybittleValues* haybittle,
                          input::PlannedInformation scale,
                          std::span<const float> plannedInformation);
  void writeSubjectCount(int32_t subjectCount);
  void writeNoEntryNote(float analysisTime, int32_t trialNumber);
  void writePassResults(const input::DesignParameters& design,
                        std::span<const StatisticSummary> statistics);
  // For designs that use what only the keyed file can state: the planned boundary table of
  // statistic `statistic`, with the trials that stopped for futility at each look.
  void writePlannedLooks(const input::DesignParameters& design, int32_t statistic,
                         const StatisticRecord& record);

  // For designs with a combination of statistics: the combination's power and looks.
  void writeCombination(const input::DesignParameters& design, const CombinationRecord& record);

  void writeClosingBlock(SearchOutcome outcome, const ClosingValues& values);
  // The closing block of a run at a given rate: the rate, the patients per trial and the
  // power of every statistic.
  // The block of the pass under the null hypothesis (RunRecord::underNull).
  void writeUnderNullBlock(const input::DesignParameters& design, const IterationRecord& pass);
  // `combination`, for a design with a combination of statistics: its power, after theirs.
  void writeFixedRateClosing(float accrualRate, int32_t patientCount,
                             std::span<const StatisticSummary> statistics,
                             const PowerEstimate* combination = nullptr);

  // Lines of the features only a keyed design can use, written only for such designs:
  // the echo of allocation, accrual pieces, event-driven analyses and a given size, after
  // the design echo; and the event targets and mean calendar times of the looks after the
  // results of an iteration with event-driven analyses.
  void writeTrialFeatureEcho(const input::DesignParameters& design);
  void writeEventLooks(int32_t analysisCount, const input::AnalysisCounts& eventTargets,
                       const input::AnalysisValues& meanLookTimes);
  void writeHaybittleBWarning(float bInput, float bUsed);

  // Console lines of the loops that raise b.
  void writeHaybittleBIncrease();
  void writeUseFunctionBReset();
  void writeUseFunctionBIncrease();

 private:
  std::ostream& console_;
  std::ostream& file_;
};

}  // namespace survseq::search
