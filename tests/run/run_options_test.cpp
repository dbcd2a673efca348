// What --threads and --progress do: the thread count a run takes (that every count gives
// the same bytes, the golden runs show), and the progress display, on a clock the test
// moves, with the guard that keeps console lines off its line.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>

#include "report/run_error.h"
#include "run/console_guard.h"
#include "run/design_run.h"
#include "run/progress_display.h"
#include "run/thread_count.h"
#include "search/program_runner.h"
#include "search/simulation_pass.h"

namespace survseq::run {
namespace {

TEST(ThreadCount, ZeroMeansEveryUsableCoreAndOnlySensibleCountsAreTaken) {
  EXPECT_GE(usableCores(), 1);
  EXPECT_EQ(threadsToUse(0), usableCores());
  for (const int32_t threads : {1, 2, 7, kMaxThreads}) EXPECT_EQ(threadsToUse(threads), threads);
  EXPECT_THROW(threadsToUse(-1), RunError);
  EXPECT_THROW(threadsToUse(kMaxThreads + 1), RunError);
  // An unusable count ends the run before anything is read.
  std::istringstream parameters(testing::exampleFile("haybittle.par"));
  std::ostringstream out;  // console and errors
  RunOptions options;
  options.threads = -2;
  EXPECT_EQ(runDesign(parameters, out, out, options), 1);
  EXPECT_EQ(out.str(),
            "survseq: the number of threads must lie between 0 (every core) and 256, not -2\n");
}

search::IterationRecord finishedIteration(int32_t number, float rate, int32_t patients,
                                          int32_t rejections, int32_t trials) {
  search::IterationRecord record;
  std::tie(record.iterationNumber, record.accrualRate, record.patientCount) =
      std::tuple(number, rate, patients);
  record.statistics.push_back({{0.0f, 0.0f, search::estimatePower(rejections, trials), 10.0f}, {}});
  return record;
}

// A display on a clock the test moves (declared first: the display reads it when made).
struct Progress {
  explicit Progress(bool live) : display(out, live, [this] { return now; }) {}
  void iterate(int32_t number, float rate, int32_t trials, double secondsPerTrial,
               int32_t rejections) {
    display.iterationStarted(number, rate, trials);
    for (int32_t t = 1; t <= trials; ++t) {
      now += secondsPerTrial;
      display.trialsFinished(t);
    }
    display.iterationFinished(
        finishedIteration(number, rate, static_cast<int32_t>(rate * 10), rejections, trials));
  }
  double now = 100.0;
  std::ostringstream out;
  ProgressDisplay display;
};

TEST(ProgressDisplay, LiveLineIsRedrawnAtMostTenTimesASecondAndClearedForConsoleText) {
  Progress p(true);
  std::ostringstream console;
  ConsoleGuard guard(*console.rdbuf(), [&] { p.display.stepAside(); });
  std::ostream guarded(&guard);
  guarded << " before any line\n";  // nothing on screen: nothing to clear
  p.iterate(1, 50.0f, 1000, 0.002, 900);  // two seconds of trials
  const std::string text = p.out.str();
  EXPECT_EQ(text.rfind("\riteration  1  rate 50       trials    0 of 1000  0.0 s", 0), 0u) << text;
  // The first draw, about twenty while the trials run (one a tenth of a second), and the
  // finished line, each starting at the left margin.
  const auto draws = std::count(text.begin(), text.end(), '\r');
  EXPECT_TRUE(draws >= 20 && draws <= 22) << text;
  EXPECT_TRUE(text.ends_with(
      "\riteration  1  rate 50       trials 1000 of 1000  power 0.9000 \u00b1 0.0095  2.0 s\n"))
      << text;
  p.display.iterationStarted(2, 27.5f, 100);
  const std::string drawn = p.out.str().substr(text.size());
  guarded << " The" << 3 << "   th v0 is too large." << '\n';
  guarded.flush();
  EXPECT_EQ(console.str(), " before any line\n The3   th v0 is too large.\n");
  // Cleared once, with as many blanks as the line was long.
  EXPECT_EQ(p.out.str(), text + drawn + "\r" + std::string(drawn.size() - 1, ' ') + "\r");
  EXPECT_TRUE(guarded.good());
}

// Without a terminal only finished lines are written; the closing line names outcome, rate,
// patients, power, report, time and threads, and the analytic rate of a search or the
// analytic power at a given size.
TEST(ProgressDisplay, WithoutATerminalFinishedLinesAndTheClosingLine) {
  Progress p(false);
  p.iterate(1, 50.0f, 1000, 0.002, 900);
  p.iterate(2, 13.57386f, 1000, 0.001, 412);
  search::RunRecord record;
  record.iterations.push_back(finishedIteration(5, 12.9f, 309, 803, 1000));
  p.now += 62.0;
  const std::tuple<search::SearchOutcome, int32_t, std::optional<float>> closings[] = {
      {search::SearchOutcome::WithinTwoStandardErrors, 1, 12.8f},
      {search::SearchOutcome::UpperBoundTooSmall, 4, std::nullopt},
      {search::SearchOutcome::FixedRate, 2, std::nullopt}};
  for (const auto& [outcome, threads, analyticRate] : closings) {
    record.outcome = outcome;
    p.display.writeClosingLine(record, "a.out", threads, analyticRate, 0.80123);
  }
  EXPECT_EQ(p.out.str(),
            "iteration  1  rate 50       trials 1000 of 1000  power 0.9000 \u00b1 0.0095  2.0 s\n"
            "iteration  2  rate 13.57    trials 1000 of 1000  power 0.4120 \u00b1 0.0156  3.0 s\n"
            "desired power reached: rate 12.9 (309 patients), power 0.8030 \u00b1 0.0126, analytic "
            "rate 12.8, report a.out, 1 min 05 s on 1 thread\n"
            "upper bound of the accrual rate too small (line 88): last rate 12.9 (309 patients), power "
            "0.8030 \u00b1 0.0126, report a.out, 1 min 05 s on 4 threads\n"
            "power at the given size: rate 12.9 (309 patients), power 0.8030 \u00b1 0.0126, analytic "
            "power 0.8012, report a.out, 1 min 05 s on 2 threads\n");
}

TEST(ElapsedText, SecondsMinutesHours) {
  const std::pair<double, const char*> cases[] = {
      {0.0, "0.0 s"},         {59.94, "59.9 s"},      {61.0, "1 min 01 s"},
      {1500.0, "25 min 00 s"}, {3599.9, "59 min 59 s"}, {3600.0, "1 h 00 min"},
      {3725.0, "1 h 02 min"}};
  for (const auto& [seconds, text] : cases) EXPECT_EQ(elapsedText(seconds), text) << seconds;
}

}  // namespace
}  // namespace survseq::run
