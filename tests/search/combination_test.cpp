// The combination of statistics (the max-combo test) in the trials: a trial's critical
// value against an independent bivariate normal computation, the type-I error over a table
// of looks, statistics and sides, and the power against an independent analytic max-combo
// power under a delayed and a proportional effect, with the best single statistic beside it.
//
// References are independent of the code under test: bivariate normal probabilities by a
// fine one-dimensional integral (Simpson's rule on 20,000 panels), P(X < a, Y < b) =
// int_{-inf}^{a} phi(x) Phi((b - rho x) / sqrt(1 - rho^2)) dx, and the analytic moments of
// law/expected_moments.h. Monte Carlo errors: the binomial standard error of each share;
// tolerances are 3 of them. SURVSEQ_FULL_CHECK=1 runs 20,000 trials per case instead of the
// CI's counts below.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <sstream>

#include "bounds/reference_recursion.h"
#include "build_kind.h"
#include "input/keyed_design_file.h"
#include "law/expected_moments.h"
#include "plan/analytic_rate.h"
#include "search/simulation_pass.h"
#include "search/trial_analysis.h"

namespace survseq::search {
namespace {

int32_t trials(int32_t ciCount) { return std::getenv("SURVSEQ_FULL_CHECK") ? 20000 : ciCount; }

input::DesignParameters keyed(const std::string& text) {
  std::istringstream in(text);
  input::DesignParameters design;
  input::readKeyedDesign(input::parseKeyedDesign(in, "d.toml"), "d.toml", design);
  return design;
}

// `looks` of [24, 36, 48], the first `statistics` of FH(0,0), FH(0,1), FH(1,0), FH(1,1), all
// combined; 400 patients; O'Brien-Fleming spending; `effect` the [alternative] table.
std::string combinedDesign(int32_t looks, int32_t statistics, int32_t sides, int32_t trialCount,
                           const std::string& effect) {
  const char* times[] = {"", "[36]", "[24, 48]", "[24, 36, 48]"};
  const char* weights[] = {"", "rho = 0\ntau = 1\n", "rho = 1\ntau = 0\n", "rho = 1\ntau = 1\n"};
  std::string text = "seed = 4711\nanalysis_times = " + std::string(times[looks]) +
                     "\nsides = " + std::to_string(sides) + "\ntype_one_error = " +
                     (sides == 1 ? "0.025" : "0.05") +
                     "\nsimulations_per_iteration = " + std::to_string(trialCount) + "\n";
  for (int32_t s = 0; s < statistics; ++s) text += "[[statistics]]\n" + std::string(weights[s]);
  return text + "[combination]\n[accrual]\nperiod = 24\npatients = 400\n"
                "[baseline_survival]\nmedian = 12\n" + effect;
}
const std::string kDelayed = "[alternative]\ninterval_ends = [6, 60]\nhazard_ratios = [1, 0.6]\n";
const std::string kProportional = "[alternative]\nhazard_ratio = 0.75\n";

using testing::lowerTail;
using testing::phi;
using testing::simpson;

// P(X < a, Y < b) (two-sided: |X| < a, |Y| < b) for standard normals of correlation rho.
double bivariateBelow(double a, double b, double rho, int32_t sides) {
  const double s = std::sqrt(1.0 - rho * rho);
  const auto f = [&](double x) {
    const double inner = lowerTail((b - rho * x) / s);
    return phi(x) * (sides == 2 ? inner - lowerTail((-b - rho * x) / s) : inner);
  };
  return simpson(f, sides == 2 ? -a : -12.0, a, 20000);
}

// The one-sided critical value of two statistics of correlation rho at one look, alpha
// 0.025: 1 - P(Z1 < c, Z2 < c) = 0.025, by bisection.
double oneLookCriticalValue(double rho) {
  double low = 1.5, high = 3.5;
  for (int32_t i = 0; i < 50; ++i) {
    const double c = (low + high) / 2.0;
    (1.0 - bivariateBelow(c, c, rho, 1) > 0.025 ? low : high) = c;
  }
  return (low + high) / 2.0;
}

struct Pass {
  IterationRecord record;
  PassResults results;
};

Pass runPass(input::DesignParameters design, bool underNull, int32_t threads = 2) {
  std::ostringstream console, file;
  Report report(console, file);
  sim::UniformGenerator generator;
  generator.nextUniform(design.seed);
  SimulationPass pass(patientCapacityFor(design), threads);
  const input::DesignParameters drawn = drawnUnderNull(design);
  Pass out{pass.run(design, generator, report, nullptr, underNull ? &drawn : nullptr), {}};
  out.results = pass.results();
  return out;
}

std::string describe(const IterationRecord& record) {
  std::ostringstream out;
  out.precision(9);
  for (const StatisticRecord& statistic : record.statistics) {
    out << statistic.summary.estimate.power << ' ' << statistic.summary.averageStoppingTime;
    for (const LookFigures& look : statistic.looks) {
      out << " | " << look.stoppedCount << ' ' << look.reachedCount << ' ' << look.meanCriticalValue;
    }
    out << '\n';
  }
  if (record.combination) {
    out << record.combination->estimate.power << ' ' << record.combination->averageStoppingTime;
    for (const LookFigures& look : record.combination->looks) {
      out << " | " << look.stoppedCount << ' ' << look.reachedCount << ' ' << look.meanCriticalValue;
    }
  }
  return out.str();
}

// Each statistic beside the combination is tested as if it alone were the trial's test: its
// figures are those of the same design without [combination]; and the combination's figures
// are the same on one thread and on two.
TEST(Combination, TheStatisticsKeepTheirOwnFiguresAndTheThreadsChangeNothing) {
  const std::string text = combinedDesign(2, 3, 1, 40, kDelayed);
  std::string without = text;
  without.erase(without.find("[combination]\n"), 14);
  const Pass combined = runPass(keyed(text), false, 1);
  const Pass alone = runPass(keyed(without), false, 1);
  ASSERT_TRUE(combined.record.combination);
  EXPECT_FALSE(alone.record.combination);
  const std::string statistics = describe(alone.record);
  EXPECT_EQ(describe(combined.record).substr(0, statistics.size()), statistics);
  EXPECT_EQ(describe(runPass(keyed(text), false, 2).record), describe(combined.record));
}

// A single look: the trial's critical value c from its own covariance makes
// P(max Z >= c) (two-sided max |Z|) the type-I error, to 1e-4, and the trial rejects
// exactly when its maximum reaches c.
TEST(Combination, ASingleLookCriticalValueSpendsAlphaAtTheTrialsOwnCorrelation) {
  for (const int32_t sides : {1, 2}) {
    input::DesignParameters design = keyed(combinedDesign(1, 2, sides, 1, kDelayed));
    std::ostringstream console, file;
    Report report(console, file);
    sim::UniformGenerator generator;
    generator.nextUniform(design.seed);
    const int32_t subjects = design.givenPatients;
    sim::SimulatedTrial trial(subjects);
    TrialWorkspace workspace(subjects);
    TrialOutcome outcome;
    // One trial's pass sets the floor and ceiling of the information scale.
    SimulationPass(patientCapacityFor(design)).run(design, generator, report);
    for (int32_t n = 1; n <= 5; ++n) {
      sim::generateTrial(design, subjects, generator, design.seed, trial, file);
      analyseTrial(design, trial, subjects, n, workspace, report, outcome);
      const sim::ScoreCovariance& v = workspace.combination.covariance[1];
      const double rho = v(0, 1) / std::sqrt(double(v(0, 0)) * v(1, 1));
      const CombinationLook& look = outcome.combinationLooks[1];
      const double alpha = sides == 1 ? 0.025 : 0.05;
      EXPECT_NEAR(1.0 - bivariateBelow(look.criticalValue, look.criticalValue, rho, sides), alpha,
                  1e-4)
          << "sides " << sides << ", trial " << n << ", rho " << rho;
      EXPECT_EQ(look.rejected, look.maximum >= look.criticalValue);
    }
  }
}

// Under the null the combination rejects in alpha of the trials, within 3 standard errors,
// for 1 to 3 looks, 2 to 4 statistics, one- and two-sided. The CI's counts shrink with the
// cost of a trial's probabilities (dimension statistics x looks), and the cases whose trials
// take a quarter of a second or more (three looks) wait for SURVSEQ_FULL_CHECK; the critical
// values themselves are checked against 200,000 drawn score vectors in the bounds' tests.
// The largest standard error of a crossing probability behind the trials' critical values
// is printed beside the rate. The trials' own statistics are a little wider than normal, so
// the rate lies 1 to 2 % above alpha (README, "The max-combo test"): up to two thirds of a
// standard error at 20,000 trials.
TEST(Combination, TypeIErrorIsAlphaOverLooksStatisticsAndSides) {
  if (testing::kSanitizedBuild) GTEST_SKIP() << "statistical check";
  const struct {
    int32_t looks, statistics, sides, ciTrials;
  } cases[] = {{1, 2, 1, 2000}, {1, 4, 2, 600}, {2, 3, 1, 100},
               {2, 2, 2, 100},  {3, 4, 1, 0},    {3, 3, 2, 0}};
  for (const auto& c : cases) {
    const int32_t count = trials(c.ciTrials);
    if (count == 0) continue;
    const Pass pass =
        runPass(keyed(combinedDesign(c.looks, c.statistics, c.sides, count, kDelayed)), true);
    const double alpha = c.sides == 1 ? 0.025 : 0.05;
    const double se = std::sqrt(alpha * (1.0 - alpha) / count);
    ASSERT_TRUE(pass.record.combination);
    EXPECT_NEAR(pass.record.combination->estimate.power, alpha, 3.0 * se)
        << c.looks << " looks, " << c.statistics << " statistics, " << c.sides << " sides";
    std::cout << "[ max-combo ] " << c.looks << " looks, " << c.statistics << " statistics, "
              << c.sides << " sides, " << count << " trials: type-I error "
              << pass.record.combination->estimate.power << " (se " << se
              << "), largest crossing error " << pass.record.combination->largestError << '\n';
  }
}

// The power of a single look with FH(0,0) and FH(0,1) combined against the analytic
// max-combo power: Z_j with means sqrt(N) m_j / sqrt(v_j) and correlation
// v_12 / sqrt(v_11 v_22) under the alternative (v_12 the information of FH(0, 1/2)), c with
// 1 - P(Z1 < c, Z2 < c) = alpha at that correlation. Within 0.015 at 20,000 trials (3 SE
// at the CI's count). The combination rejects whenever its best statistic reaches c, so
// its power is at least that statistic's power less the cost of multiplicity,
// Phi(mu - z_alpha) - Phi(mu - c).
TEST(Combination, PowerMatchesTheAnalyticMaxComboPowerUnderDelayedAndProportionalEffects) {
  if (testing::kSanitizedBuild) GTEST_SKIP() << "statistical check";
  for (const std::string& effect : {kDelayed, kProportional}) {
    const int32_t count = trials(2000);
    const input::DesignParameters design = keyed(combinedDesign(1, 2, 1, count, effect));
    const law::ExpectedMoments moments(design, law::Hypothesis::Alternative);
    const double n = design.givenPatients;
    const law::PatientMoments m1 = moments.at(36.0, 0.0f, 0.0f), m2 = moments.at(36.0, 0.0f, 1.0f),
                              m12 = moments.at(36.0, 0.0f, 0.5f);
    const double rho = m12.information / std::sqrt(m1.information * m2.information);
    const double mu1 = std::sqrt(n) * m1.drift / std::sqrt(m1.information);
    const double mu2 = std::sqrt(n) * m2.drift / std::sqrt(m2.information);
    const double c = oneLookCriticalValue(rho);
    const double analytic = 1.0 - bivariateBelow(c - mu1, c - mu2, rho, 1);

    const Pass pass = runPass(design, false);
    const PowerEstimate combined = pass.record.combination->estimate;
    const double se = std::sqrt(analytic * (1.0 - analytic) / count);
    const double tolerance = std::getenv("SURVSEQ_FULL_CHECK") ? 0.015 : 3.0 * se;
    EXPECT_NEAR(combined.power, analytic, tolerance) << effect;

    const bool lateBest = mu2 > mu1;
    const double best = std::max(mu1, mu2);
    const double cost = lowerTail(best - 1.959963985) - lowerTail(best - c);
    const float single = pass.record.statistics[lateBest ? 1 : 0].summary.estimate.power;
    EXPECT_GE(combined.power, single - cost - 3.0 * se) << effect;
    std::cout << "[ max-combo ] " << (effect == kDelayed ? "delayed" : "proportional")
              << ": simulated " << combined.power << " (se " << combined.standardError
              << "), analytic " << analytic << "; FH(0,0) " << pass.record.statistics[0].summary.estimate.power
              << ", FH(0,1) " << pass.record.statistics[1].summary.estimate.power
              << ", multiplicity cost " << cost << '\n';
  }
}


// A design that combines statistics is planned by the combination's analytic power: one
// look of FH(0,0) and FH(0,1) under the delayed effect, whose max-combo power at N patients
// is 1 - P(Z1 < c - mu1 sqrt(N), Z2 < c - mu2 sqrt(N)) with c and the correlation from the
// expected covariances (as in the test above); the plan's patients are the fewest reaching
// 0.8 by that reference, within one patient (the plan's probabilities carry errors of 1e-5).
TEST(Combination, ThePlanIsSizedByTheCombinationsAnalyticPower) {
  std::string text = combinedDesign(1, 2, 1, 100, kDelayed);
  text.replace(text.find("patients = 400\n"), 15, "");
  input::DesignParameters design = keyed("desired_power = 0.8\n" + text);
  const law::ExpectedMoments moments(design, law::Hypothesis::Alternative);
  const law::PatientMoments m1 = moments.at(36.0, 0.0f, 0.0f), m2 = moments.at(36.0, 0.0f, 1.0f),
                            m12 = moments.at(36.0, 0.0f, 0.5f);
  const double rho = m12.information / std::sqrt(m1.information * m2.information);
  const double c = oneLookCriticalValue(rho);
  const auto power = [&](double n) {
    return 1.0 - bivariateBelow(c - std::sqrt(n) * m1.drift / std::sqrt(m1.information),
                                c - std::sqrt(n) * m2.drift / std::sqrt(m2.information), rho, 1);
  };
  double fewer = 10.0, more = 5000.0;
  for (int32_t i = 0; i < 40; ++i) {
    const double n = (fewer + more) / 2.0;
    (power(n) < 0.8 ? fewer : more) = n;
  }
  const plan::AnalyticPlan planned = plan::planOfDesign(design);
  ASSERT_TRUE(planned.combination);
  EXPECT_NEAR(planned.patients, std::ceil(more), 1.0);
  EXPECT_GE(planned.combination->power, 0.8 - 1e-4);
}

}  // namespace
}  // namespace survseq::search
