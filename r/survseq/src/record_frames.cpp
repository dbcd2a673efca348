#include "record_frames.h"

#include <cmath>
#include <initializer_list>
#include <string>
#include <utility>

#include "run/number_text.h"
#include "run/run_outcome.h"

namespace survseq::r {

namespace {

using run::shortestDouble;
using run::shortestSingle;

// Columns of a data frame, filled a row at a time.
class Frame {
 public:
  Frame& real(const char* name) { return column(name, REALSXP); }
  Frame& whole(const char* name) { return column(name, INTSXP); }

  void add(const char* name, double value) { at(name).reals.push_back(value); }
  void add(const char* name, int value) { at(name).wholes.push_back(value); }
  void add(const char* name, std::optional<double> value) {
    at(name).reals.push_back(value ? *value : NA_REAL);
  }

  SEXP done() const {
    cpp11::writable::list columns;
    cpp11::writable::strings names;
    R_xlen_t rows = 0;
    for (const Column& c : columns_) {
      if (c.type == REALSXP) {
        columns.push_back(cpp11::writable::doubles(c.reals.begin(), c.reals.end()));
        rows = static_cast<R_xlen_t>(c.reals.size());
      } else {
        columns.push_back(cpp11::writable::integers(c.wholes.begin(), c.wholes.end()));
        rows = static_cast<R_xlen_t>(c.wholes.size());
      }
      names.push_back(c.name);
    }
    columns.names() = names;
    columns.attr("row.names") = cpp11::writable::integers({NA_INTEGER, -static_cast<int>(rows)});
    columns.attr("class") = "data.frame";
    return columns;
  }

 private:
  struct Column {
    std::string name;
    SEXPTYPE type;
    std::vector<double> reals;
    std::vector<int> wholes;
  };
  Frame& column(const char* name, SEXPTYPE type) {
    columns_.push_back(Column{name, type, {}, {}});
    return *this;
  }
  Column& at(const char* name) {
    for (Column& c : columns_) {
      if (c.name == name) return c;
    }
    throw std::logic_error(std::string("no column ") + name);
  }
  std::vector<Column> columns_;
};

bool eventDriven(const input::DesignParameters& design) {
  return design.analysisTiming != input::AnalysisTiming::Calendar;
}

// A mean over the trials that reached a look; none when no trial did.
std::optional<double> meanOver(const search::LookFigures& look, float mean) {
  if (look.reachedCount == 0) return std::nullopt;
  return shortestDouble(mean);
}

// The stop counts of a look, their shares of `trials`, the trials that reached it and
// their mean critical value: the columns a statistic's look and the combination's share.
void addStopsAndCriticalValue(Frame& frame, const search::LookFigures& look, double trials) {
  frame.add("stopped", look.stoppedCount);
  frame.add("stopped_share",
            shortestDouble(static_cast<float>(double(look.stoppedCount) / trials)));
  frame.add("futility_stopped", look.futilityStoppedCount);
  frame.add("futility_stopped_share",
            shortestDouble(static_cast<float>(double(look.futilityStoppedCount) / trials)));
  frame.add("reached", look.reachedCount);
  frame.add("mean_critical_value", meanOver(look, look.meanCriticalValue));
}

std::optional<double> futilityOf(bool has, float z) {
  if (!has) return std::nullopt;
  return shortestDouble(z);
}

}  // namespace

SEXP iterationFrame(const search::RunRecord& record) {
  Frame frame;
  frame.whole("iteration").real("accrual_rate").whole("patients").whole("statistic");
  frame.real("rho").real("tau").real("power").real("standard_error");
  frame.real("average_stopping_time");
  for (const search::IterationRecord& iteration : record.iterations) {
    for (size_t i = 0; i < iteration.statistics.size(); ++i) {
      const search::StatisticSummary& summary = iteration.statistics[i].summary;
      frame.add("iteration", iteration.iterationNumber);
      frame.add("accrual_rate", shortestDouble(iteration.accrualRate));
      frame.add("patients", iteration.patientCount);
      frame.add("statistic", static_cast<int>(i + 1));
      frame.add("rho", shortestDouble(summary.rho));
      frame.add("tau", shortestDouble(summary.tau));
      frame.add("power", shortestDouble(summary.estimate.power));
      frame.add("standard_error", shortestDouble(summary.estimate.standardError));
      frame.add("average_stopping_time", shortestDouble(summary.averageStoppingTime));
    }
  }
  return frame.done();
}

SEXP lookFrame(const input::DesignParameters& design, const search::RunRecord& record) {
  Frame frame;
  // Named as the results JSON names it: the original scale is the null variance.
  const char* const planned = design.plannedInformation == input::PlannedInformation::Original
                                  ? "null_variance"
                                  : "planned_information";
  frame.whole("iteration").whole("statistic").whole("look").real("time").real(planned);
  frame.whole("stopped").real("stopped_share").whole("futility_stopped");
  frame.real("futility_stopped_share").whole("reached").real("mean_critical_value");
  frame.real("mean_events").real("mean_information");
  if (eventDriven(design)) frame.whole("event_target").real("mean_time");
  const double trials = design.simulationCount;
  for (const search::IterationRecord& iteration : record.iterations) {
    for (size_t i = 0; i < iteration.statistics.size(); ++i) {
      const auto s = static_cast<int32_t>(i + 1);
      for (int32_t k = 1; k <= design.analysisCount; ++k) {
        const auto at = static_cast<size_t>(k);
        const search::LookFigures& look = iteration.statistics[i].looks[at];
        frame.add("iteration", iteration.iterationNumber);
        frame.add("statistic", s);
        frame.add("look", k);
        frame.add("time", shortestDouble(iteration.lookTime(design, k)));
        frame.add(planned,
                  shortestDouble(iteration.plannedInformation[static_cast<size_t>(s)][at]));
        addStopsAndCriticalValue(frame, look, trials);
        frame.add("mean_events", meanOver(look, look.meanEventCount));
        frame.add("mean_information", meanOver(look, look.meanInformation));
        if (eventDriven(design)) {
          frame.add("event_target", iteration.eventTargets[at]);
          frame.add("mean_time", iteration.lookTakenCount[at] > 0
                                     ? std::optional<double>(shortestDouble(iteration.meanLookTime[at]))
                                     : std::nullopt);
        }
      }
    }
  }
  return frame.done();
}

SEXP plannedLookFrame(const input::DesignParameters& design, const search::RunRecord& record) {
  Frame frame;
  frame.whole("iteration").whole("statistic").whole("look").real("information_fraction");
  frame.real("efficacy_z").real("nominal_p").real("futility_z");
  for (const search::IterationRecord& iteration : record.iterations) {
    for (size_t i = 0; i < iteration.statistics.size(); ++i) {
      for (int32_t k = 1; k <= design.analysisCount; ++k) {
        const bounds::PlannedLook& look = iteration.statistics[i].plannedLooks[static_cast<size_t>(k)];
        frame.add("iteration", iteration.iterationNumber);
        frame.add("statistic", static_cast<int>(i + 1));
        frame.add("look", k);
        frame.add("information_fraction", shortestDouble(look.informationFraction));
        frame.add("efficacy_z", shortestDouble(look.efficacyZ));
        frame.add("nominal_p", shortestDouble(look.nominalP));
        frame.add("futility_z", futilityOf(look.hasFutilityBound, look.futilityZ));
      }
    }
  }
  return frame.done();
}

SEXP combinationFrame(const input::DesignParameters& design, const search::RunRecord& record) {
  Frame frame;
  frame.whole("iteration").real("power").real("standard_error").real("average_stopping_time");
  frame.whole("look").whole("stopped").real("stopped_share").whole("futility_stopped");
  frame.real("futility_stopped_share").whole("reached").real("mean_critical_value");
  frame.real("efficacy_z").real("nominal_p");
  const double trials = design.simulationCount;
  for (const search::IterationRecord& iteration : record.iterations) {
    if (!iteration.combination) continue;
    const search::CombinationRecord& combination = *iteration.combination;
    for (int32_t k = 1; k <= design.analysisCount; ++k) {
      const auto at = static_cast<size_t>(k);
      const search::LookFigures& look = combination.looks[at];
      frame.add("iteration", iteration.iterationNumber);
      frame.add("power", shortestDouble(combination.estimate.power));
      frame.add("standard_error", shortestDouble(combination.estimate.standardError));
      frame.add("average_stopping_time", shortestDouble(combination.averageStoppingTime));
      frame.add("look", k);
      addStopsAndCriticalValue(frame, look, trials);
      frame.add("efficacy_z", shortestDouble(combination.plannedLooks[at].efficacyZ));
      frame.add("nominal_p", shortestDouble(combination.plannedLooks[at].nominalP));
    }
  }
  return frame.done();
}

SEXP outcomeList(const search::RunRecord& record, std::optional<float> analyticRate,
                 std::optional<double> analyticPower) {
  const run::OutcomeFigures outcome = run::outcomeFigures(record);
  using cpp11::named_arg;
  return cpp11::writable::list({
      named_arg("kind") = std::string(run::outcomeKey(outcome.kind)),
      named_arg("words") = run::outcomeWords(outcome.kind),
      named_arg("iteration") = outcome.iterationNumber,
      named_arg("accrual_rate") = shortestDouble(outcome.accrualRate),
      named_arg("patients") = outcome.patientCount,
      named_arg("power") = shortestDouble(outcome.estimate.power),
      named_arg("standard_error") = shortestDouble(outcome.estimate.standardError),
      named_arg("analytic_accrual_rate") = analyticRate ? shortestDouble(*analyticRate) : NA_REAL,
      named_arg("analytic_power") = analyticPower ? shortestSingle(*analyticPower) : NA_REAL});
}

SEXP planList(const plan::AnalyticPlan& plan, const run::ProtocolTable& protocol,
              bool givenSize) {
  // A figure that may be missing (NaN), as the JSON plan's null.
  const auto optional = [](double value) {
    return std::isnan(value) ? std::nullopt : std::optional<double>(shortestSingle(value));
  };
  Frame statistics;
  statistics.whole("statistic").real("rho").real("tau").real("power");
  Frame looks;
  looks.whole("statistic").whole("look").real("expected_time").real("expected_events");
  looks.real("information_fraction").real("efficacy_z").real("nominal_p").real("futility_z");
  looks.real("cumulative_power").real("cumulative_type_one_error");
  looks.real("events_needed").real("patients_enrolled").real("efficacy_hazard_ratio");
  looks.real("futility_hazard_ratio");
  for (int32_t s = 1; s <= plan.statisticCount; ++s) {
    const plan::AnalyticStatistic& statistic = plan.statistics[static_cast<size_t>(s)];
    statistics.add("statistic", s);
    statistics.add("rho", shortestDouble(statistic.rho));
    statistics.add("tau", shortestDouble(statistic.tau));
    statistics.add("power", shortestSingle(statistic.power));
    for (int32_t k = 1; k <= plan.analysisCount; ++k) {
      const plan::AnalyticLook& look = statistic.looks[static_cast<size_t>(k)];
      looks.add("statistic", s);
      looks.add("look", k);
      looks.add("expected_time", shortestSingle(look.expectedTime));
      looks.add("expected_events", shortestSingle(look.expectedEvents));
      looks.add("information_fraction", shortestDouble(look.informationFraction));
      looks.add("efficacy_z", shortestDouble(look.efficacyZ));
      looks.add("nominal_p", shortestDouble(look.nominalP));
      looks.add("futility_z", futilityOf(look.hasFutilityBound, look.futilityZ));
      looks.add("cumulative_power", shortestSingle(look.cumulativePower));
      looks.add("cumulative_type_one_error", shortestSingle(look.cumulativeTypeOneError));
      const run::ProtocolLook& cited =
          protocol.statistics[static_cast<size_t>(s - 1)].looks[static_cast<size_t>(k - 1)];
      looks.add("events_needed", shortestSingle(cited.events));
      looks.add("patients_enrolled", shortestSingle(cited.patients));
      looks.add("efficacy_hazard_ratio", optional(cited.efficacyHazardRatio));
      looks.add("futility_hazard_ratio", optional(cited.futilityHazardRatio));
    }
  }
  using cpp11::named_arg;
  return cpp11::writable::list({named_arg("basis") = std::string(givenSize ? "given_size" : "desired_power"),
                                named_arg("accrual_rate") = shortestDouble(plan.accrualRate),
                                named_arg("patients") = plan.patients,
                                named_arg("statistics") = statistics.done(),
                                named_arg("looks") = looks.done()});
}

}  // namespace survseq::r
