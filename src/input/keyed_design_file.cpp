#include "input/keyed_design_file.h"

#include <istream>
#include <iterator>

#include "input/design_limits.h"
#include "input/keyed_sections.h"
#include "input/seed_limits.h"
#include "report/message_text.h"
#include "report/run_error.h"

namespace survseq::input {

namespace {

constexpr int32_t kDefaultSeed = -123457;
constexpr int32_t kDefaultSimulations = 1000;
constexpr float kDefaultTypeIError = 0.05f;
constexpr int32_t kDefaultSides = 2;
constexpr float kDefaultDesiredPower = 0.8f;
constexpr float kTypeIErrorZeroTest = 1e-10f;

// The report is named after the design file: design.toml writes design.out.
std::string defaultReportName(const std::string& fileName) {
  constexpr std::string_view suffix = ".toml";
  const size_t slash = fileName.find_last_of('/');
  std::string base = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
  if (base.size() > suffix.size() && base.ends_with(suffix)) {
    return base.substr(0, base.size() - suffix.size()) + ".out";
  }
  return "survseq.out";
}

void readReportAndSeed(const KeyedTable& root, DesignParameters& design) {
  design.outputFileName = root.text("report_file").value_or(defaultReportName(root.fileName()));
  if (design.outputFileName.empty()) root.fail("report_file", "must not be empty");
  if (design.outputFileName.find('\0') != std::string::npos) {
    root.fail("report_file", "a file name cannot hold the character NUL");
  }
  design.seed = root.whole("seed").value_or(kDefaultSeed);
  if (design.seed == 0) root.fail("seed", "must not be 0 (write -123457 for the positional file's 0)");
  root.atKey("seed", [&] { requireSeedWithinStream(design.seed, 0); });
}

void readEventTargets(const KeyedTable& root, DesignParameters& design) {
  root.refuse("analysis_times", "give analysis_times or analysis_events, not both");
  const std::vector<int32_t> events = *root.wholes("analysis_events", 1, MaxAnalyses);
  for (size_t i = 0; i < events.size(); ++i) {
    const std::string shown = "event target " + std::to_string(i + 1) + " (" +
                              std::to_string(events[i]) + ")";
    if (events[i] < 1) root.fail("analysis_events", shown + " must be at least 1");
    if (i > 0 && events[i] <= events[i - 1]) {
      root.fail("analysis_events", "the event targets must increase: " + shown +
                                       " is not above event target " + std::to_string(i) + " (" +
                                       std::to_string(events[i - 1]) + ")");
    }
    if (events[i] > kMaxPatientsPerTrial) {
      root.fail("analysis_events", shown + " is above the most patients a trial may have (" +
                                       std::to_string(static_cast<int32_t>(kMaxPatientsPerTrial)) +
                                       ")");
    }
    design.analysisEvents[i + 1] = events[i];
  }
  design.analysisCount = static_cast<int32_t>(events.size());
  design.analysisTiming = AnalysisTiming::FixedEvents;
}

void readAnalyses(const KeyedTable& root, DesignParameters& design) {
  const std::optional<std::string> timing = root.text("analysis_timing");
  if (timing && *timing != "calendar" && *timing != "events") {
    root.fail("analysis_timing", "must be \"calendar\" or \"events\", not \"" +
                                     report::echoedValue(*timing) + "\"");
  }
  if (root.has("analysis_events")) {
    if (timing == "calendar") {
      root.fail("analysis_timing", "is \"calendar\", but analysis_events sets event targets");
    }
    readEventTargets(root, design);
    return;
  }
  root.require("analysis_times", "give the calendar times of the analyses (or analysis_events)");
  const std::vector<float> times = *root.reals("analysis_times", 1, MaxAnalyses);
  design.analysisCount = static_cast<int32_t>(times.size());
  for (size_t i = 0; i < times.size(); ++i) design.analysisTimes[i + 1] = times[i];
  if (!(times.back() > 0.0f)) {
    root.fail("analysis_times",
              "the last analysis time must be above 0 (got " + report::numberText(times.back()) + ")");
  }
  root.atKey("analysis_times", [&] { requireIncreasingAnalysisTimes(design, 0); });
  if (timing == "events") design.analysisTiming = AnalysisTiming::PlannedEvents;
}

void readStatistics(const KeyedTable& root, DesignParameters& design) {
  const toml::array* statistics = root.tableArray("statistics");
  if (statistics == nullptr) {
    design.statisticCount = 1;  // the log-rank test
    return;
  }
  root.atKey("statistics", [&] {
    requireCountWithin(static_cast<int32_t>(statistics->size()), MaxStatistics,
                       "the number of statistics", 0);
  });
  design.statisticCount = static_cast<int32_t>(statistics->size());
  for (int32_t s = 1; s <= design.statisticCount; ++s) {
    const KeyedTable statistic(*statistics->get(static_cast<size_t>(s - 1))->as_table(),
                               "statistics[" + std::to_string(s) + "]", root.fileName());
    design.rho[s] = statistic.real("rho").value_or(0.0f);
    design.tau[s] = statistic.real("tau").value_or(0.0f);
    for (const char* key : {"rho", "tau"}) {
      const float value = key[0] == 'r' ? design.rho[s] : design.tau[s];
      if (value < 0.0f) statistic.fail(key, "must not be negative (got " + report::numberText(value) + ")");
    }
  }
}

void readSimulationAndError(const KeyedTable& root, DesignParameters& design) {
  design.simulationCount = root.whole("simulations_per_iteration").value_or(kDefaultSimulations);
  if (design.simulationCount < 1) {
    root.fail("simulations_per_iteration",
              "must be at least 1 (got " + std::to_string(design.simulationCount) + ")");
  }
  design.typeIError = root.real("type_one_error").value_or(kDefaultTypeIError);
  if (!(design.typeIError > kTypeIErrorZeroTest && design.typeIError < 1.0f)) {
    root.fail("type_one_error", "must lie above 1e-10 and below 1 (got " +
                                    report::numberText(design.typeIError) + ")");
  }
  design.sides = root.whole("sides").value_or(kDefaultSides);
  root.atKey("sides", [&] { requireKnownSides(design, 0); });
}

void readPlannedInformation(const KeyedTable& root, DesignParameters& design) {
  const std::string scale = root.text("planned_information").value_or("alternative");
  for (const PlannedInformation known :
       {PlannedInformation::Alternative, PlannedInformation::Null, PlannedInformation::Original}) {
    if (scale == plannedInformationName(known)) {
      design.plannedInformation = known;
      return;
    }
  }
  root.fail("planned_information", "must be \"alternative\", \"null\" or \"original\", not \"" +
                                       report::echoedValue(scale) + "\"");
}

// The target of the search; a design of given size searches for nothing.
void readDesiredPower(const KeyedTable& root, DesignParameters& design) {
  if (design.accrualForm == AccrualForm::GivenRate ||
      design.accrualForm == AccrualForm::GivenPatients) {
    const char* const size =
        design.accrualForm == AccrualForm::GivenRate ? "accrual.rate" : "accrual.patients";
    root.refuse("desired_power", std::string("is not used with a given size (") + size +
                                     "): the run simulates that size and searches for no rate");
  }
  design.desiredPower = root.real("desired_power").value_or(kDefaultDesiredPower);
  root.atKey("desired_power", [&] { requireAttainablePower(design, 0); });
}

}  // namespace

toml::table parseKeyedDesign(std::istream& text, const std::string& fileName) {
  // Read whole first: the parser's own stream reading needs a seekable stream, and
  // standard input may be a pipe.
  const std::string whole{std::istreambuf_iterator<char>(text), std::istreambuf_iterator<char>()};
  try {
    return toml::parse(whole, fileName);
  } catch (const toml::parse_error& error) {
    // The parser's own words, on one line.
    std::string description(error.description());
    for (char& c : description) {
      if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    }
    throw RunError(sourceLocation(fileName, error.source()) + description);
  }
}

void readKeyedDesign(const toml::table& document, const std::string& fileName,
                     DesignParameters& design) {
  const KeyedTable root(document, "", fileName);
  readReportAndSeed(root, design);
  readAnalyses(root, design);
  readStatistics(root, design);
  readSimulationAndError(root, design);
  readKeyedBoundary(root, design);
  readKeyedCombination(root, design);
  readKeyedAccrual(root, design);
  readDesiredPower(root, design);
  readKeyedCurves(root, design);
  readPlannedInformation(root, design);
}

std::string keyedLocation(const toml::table& document, const std::string& fileName,
                          std::string_view key) {
  const toml::node_view<const toml::node> node = document.at_path(key);
  const toml::source_region where = node ? node.node()->source() : document.source();
  return sourceLocation(fileName, where) + std::string(key);
}

}  // namespace survseq::input
