// Feeds arbitrary bytes to a whole short run: the parameter file is read as the program
// reads it, the design is cut down to a few trials of few patients, and the accrual
// search runs with every pass, its console and report text formatted and dropped. Every
// input must end normally or with a RunError; anything else (another exception, a
// sanitizer report, a run past libFuzzer's -timeout) is a finding. No file is opened.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <string>

#include "input/design_parameters.h"
#include "input/parameter_file.h"
#include "report/run_error.h"
#include "search/accrual_search.h"
#include "search/report.h"
#include "search/run_record.h"
#include "search/simulation_pass.h"
#include "sim/uniform_generator.h"

namespace {

using survseq::input::DesignParameters;

// Trials per pass, patients per trial and trials per run at most: a whole search of 20
// passes then stays within a fraction of a second, whatever the design.
constexpr int32_t kMaxTrialsPerPass = 2;
constexpr double kMaxPatientsPerTrial = 60.0;
constexpr int32_t kMaxTrialsPerRun = 40;
// The planned information costs one step per 0.01 time units up to each analysis, for
// each statistic, in every pass; designs whose last analysis comes later than this are
// only read, so that a run stays within the time limit.
constexpr float kLatestAnalysisTimeRun = 200.0f;

// Accepts every character and keeps none, so that all output is still formatted.
class DiscardingBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize count) override { return count; }
};

// Ends a run that has used up its trials; not an error of the program.
struct TrialBudgetSpent {};

class TrialBudget : public survseq::search::SearchObserver {
 public:
  void trialsFinished(int32_t) override {
    if (++trials_ >= kMaxTrialsPerRun) throw TrialBudgetSpent{};
  }

 private:
  int32_t trials_ = 0;
};

// Fewer trials, and both accrual rates scaled down alike, so that the upper rate gives
// at most kMaxPatientsPerTrial patients; everything else stays as read.
void shortenRun(DesignParameters& design) {
  design.simulationCount = std::min(design.simulationCount, kMaxTrialsPerPass);
  const double patients = double(design.accrualRateUpper) * double(design.accrualPeriod);
  if (patients > kMaxPatientsPerTrial) {
    const double scale = kMaxPatientsPerTrial / patients;
    design.accrualRateUpper = static_cast<float>(design.accrualRateUpper * scale);
    design.accrualRateLower =
        std::min(static_cast<float>(design.accrualRateLower * scale), design.accrualRateUpper);
    design.accrualRate = design.accrualRateUpper;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  namespace search = survseq::search;
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  DiscardingBuffer discard;
  std::ostream console(&discard);
  std::ostream reportText(&discard);
  DesignParameters design;
  try {
    survseq::input::readParameterFile(in, console, console, design,
                                      [](const std::string&, int32_t) {});
    if (!(design.analysisTimes[design.analysisCount] <= kLatestAnalysisTimeRun)) return 0;
    shortenRun(design);
    search::Report report(console, reportText);
    survseq::sim::UniformGenerator generator;
    search::AccrualSearch accrualSearch(design, report);
    accrualSearch.start(generator);
    search::SimulationPass pass(search::patientCapacityFor(design));
    TrialBudget budget;
    accrualSearch.run([&](DesignParameters& d) -> const search::IterationRecord& {
      return pass.run(d, generator, report, &budget);
    });
  } catch (const survseq::RunError&) {
  } catch (const TrialBudgetSpent&) {
  }
  return 0;
}
