#include "search/accrual_search.h"

#include <cmath>

#include "input/accrual_profile.h"
#include "plan/analytic_rate.h"
#include "search/analytic_steering.h"

namespace survseq::search {

namespace {

using input::DesignParameters;

// Deliberately the single-precision 0.3333 rather than one third.
constexpr float kDescentExponent = 0.3333f;
constexpr int32_t kLastDescentIteration = 3;

float plusTwoStandardErrors(const PowerEstimate& e) {
  return static_cast<float>(double(e.power) + 2.0 * double(e.standardError));
}

float minusTwoStandardErrors(const PowerEstimate& e) {
  return static_cast<float>(double(e.power) - 2.0 * double(e.standardError));
}

std::optional<SearchOutcome> interpolate(SearchState& state, DesignParameters& design,
                                         const PowerEstimate& estimate) {
  const float d = design.desiredPower;
  if (minusTwoStandardErrors(estimate) > d) {
    design.accrualRateUpper = design.accrualRate;
    state.upperEndPower = estimate.power;
    state.upperEndStandardError = estimate.standardError;
  } else {
    design.accrualRateLower = design.accrualRate;
    state.lowerEndPower = estimate.power;
    state.lowerEndStandardError = estimate.standardError;
  }
  if (plusTwoStandardErrors({state.lowerEndPower, state.lowerEndStandardError}) > d) {
    return SearchOutcome::WithinTwoStandardErrors;
  }
  // Linear interpolation of power against rate between the ends of the bracket.
  design.accrualRate = static_cast<float>(
      ((double(state.upperEndPower) - d) * design.accrualRateLower +
       (double(d) - state.lowerEndPower) * design.accrualRateUpper) /
      (double(state.upperEndPower) - state.lowerEndPower));
  if (state.iterationIndex + 1 == kMaxIterations) return SearchOutcome::IterationLimit;
  ++state.iterationIndex;
  return std::nullopt;
}

// Each rate steered to enrols whole patients: the analytic rate's patients rounded up.
float wholePatientRate(const DesignParameters& design, double rate) {
  const double patients = std::ceil(plan::patientsOf(design, rate) - 1e-9);
  return input::rateForPatients(design, static_cast<int32_t>(std::max(1.0, patients)));
}

}  // namespace

float descentStepFactor(float accrualRateLower, float accrualRateUpper) {
  return static_cast<float>(
      std::pow(double(accrualRateLower) / double(accrualRateUpper), double(kDescentExponent)));
}

std::optional<SearchOutcome> advanceSearch(SearchState& state, DesignParameters& design,
                                           const PowerEstimate& estimate) {
  if (state.phase == SearchPhase::Descending) {
    const float d = design.desiredPower;
    const bool significantlyAbove = minusTwoStandardErrors(estimate) > d;
    if (state.iterationIndex == 0 && plusTwoStandardErrors(estimate) < d) {
      return SearchOutcome::UpperBoundTooSmall;
    }
    if (state.iterationIndex == kLastDescentIteration) {
      if (significantlyAbove) return SearchOutcome::LowerBoundTooBig;
    } else if (significantlyAbove) {
      design.accrualRateUpper = design.accrualRate;
      state.upperEndPower = estimate.power;
      state.upperEndStandardError = estimate.standardError;
      design.accrualRate = design.accrualRate * state.stepFactor;
      ++state.iterationIndex;
      return std::nullopt;
    }
    state.phase = SearchPhase::Interpolating;
  }
  return interpolate(state, design, estimate);
}

bool givenSize(const input::DesignParameters& design) {
  return design.accrualForm == input::AccrualForm::GivenRate ||
         design.accrualForm == input::AccrualForm::GivenPatients;
}

void AccrualSearch::start(sim::UniformGenerator& generator) {
  if (design_.accrualForm == input::AccrualForm::GivenPatients) {
    design_.accrualRate = input::rateForPatients(design_, design_.givenPatients);
  }
  report_.writeSeedLine(design_.seed);
  generator.nextUniform(design_.seed);  // seeds the stream; the number is not used
  report_.writeDesignEcho(design_);
  report_.writeTrialFeatureEcho(design_);
  report_.writeOutputFileNotice(design_.outputFileName);
  report_.writeRunHeader(design_.simulationCount);
}

RunRecord AccrualSearch::run(const PassRunner& runPass) {
  if (givenSize(design_)) return runGivenSize(runPass);
  if (design_.accrualForm == input::AccrualForm::AnalyticStart) return runFromAnalyticRate(runPass);
  RunRecord record;
  SearchState state;
  state.stepFactor = descentStepFactor(design_.accrualRateLower, design_.accrualRateUpper);
  for (;;) {
    const IterationRecord& iteration = runIteration(state.iterationIndex + 1, runPass, record);
    const PowerEstimate estimate = iteration.testedEstimate();
    if (const auto outcome = advanceSearch(state, design_, estimate)) {
      const ClosingValues closing{design_.desiredPower, design_.accrualRateLower,
                                  {state.lowerEndPower, state.lowerEndStandardError},
                                  kMaxIterations, input::usesKeyedOnlyFeatures(design_),
                                  input::usesCombination(design_)};
      close(*outcome, closing, record);
      return record;
    }
  }
}

const IterationRecord& AccrualSearch::runIteration(int32_t iterationNumber,
                                                   const PassRunner& runPass, RunRecord& record) {
  report_.writeIterationHeader(iterationNumber, design_.accrualRate);
  if (observer_ != nullptr) {
    observer_->iterationStarted(iterationNumber, design_.accrualRate, design_.simulationCount);
  }
  record.iterations.push_back(runPass(design_));
  IterationRecord& iteration = record.iterations.back();
  iteration.iterationNumber = iterationNumber;
  if (observer_ != nullptr) observer_->iterationFinished(iteration);
  return iteration;
}

void AccrualSearch::close(SearchOutcome outcome, const ClosingValues& closing, RunRecord& record) {
  report_.writeClosingBlock(outcome, closing);
  record.outcome = outcome;
  record.accrualRate = closing.accrualRate;
  record.estimate = closing.estimate;
  if (outcome == SearchOutcome::WithinTwoStandardErrors &&
      design_.boundaryMethod == input::Haybittle && design_.haybittleBInput < design_.haybittleB) {
    report_.writeHaybittleBWarning(design_.haybittleBInput, design_.haybittleB);
  }
}

RunRecord AccrualSearch::runFromAnalyticRate(const PassRunner& runPass) {
  RunRecord record;
  AnalyticSteering steering;
  for (int32_t iterationNumber = 1;; ++iterationNumber) {
    const IterationRecord& iteration = runIteration(iterationNumber, runPass, record);
    const PowerEstimate estimate = iteration.testedEstimate();
    const ClosingValues closing{design_.desiredPower, iteration.accrualRate, estimate,
                                kMaxIterations, input::usesKeyedOnlyFeatures(design_),
                                input::usesCombination(design_)};
    if (withinTwoStandardErrors(estimate, design_.desiredPower)) {
      close(SearchOutcome::WithinTwoStandardErrors, closing, record);
      return record;
    }
    if (iterationNumber == kMaxIterations) {
      close(SearchOutcome::IterationLimit, closing, record);
      return record;
    }
    const double analyticPower =
        plan::analyticTestPower(design_, iteration.accrualRate, double(iteration.patientCount));
    steering.add({analyticPower, estimate, design_.simulationCount});
    design_.accrualRate = wholePatientRate(
        design_, plan::analyticAccrualRate(design_, steering.analyticTarget(design_.desiredPower)));
  }
}

RunRecord AccrualSearch::runGivenSize(const PassRunner& runPass) {
  RunRecord record;
  const IterationRecord& iteration = runIteration(1, runPass, record);
  std::vector<StatisticSummary> summaries;
  for (const StatisticRecord& statistic : iteration.statistics) summaries.push_back(statistic.summary);
  report_.writeFixedRateClosing(iteration.accrualRate, iteration.patientCount, summaries,
                                iteration.combination ? &iteration.combination->estimate : nullptr);
  record.outcome = SearchOutcome::FixedRate;
  record.accrualRate = iteration.accrualRate;
  record.estimate = iteration.testedEstimate();
  if (design_.boundaryMethod == input::Haybittle && design_.haybittleBInput < design_.haybittleB) {
    report_.writeHaybittleBWarning(design_.haybittleBInput, design_.haybittleB);
  }
  return record;
}

}  // namespace survseq::search
