#pragma once

// The progress of the search on the error stream, for the person waiting at a terminal:
// one line per iteration (its number, the accrual rate, the trials done of the total and
// the time since the run began) that is redrawn in place while the trials run and ends
// with the power of the first statistic and its standard error, then one closing line
// with the outcome. Without a terminal (ProgressMode::Lines) only the finished lines are
// written.

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "search/run_record.h"

namespace survseq::run {

class ProgressDisplay : public search::SearchObserver {
 public:
  // Seconds on a clock that never goes back.
  using Clock = std::function<double()>;

  // `live`: redraw the running iteration's line in place. The run's time starts now.
  ProgressDisplay(std::ostream& out, bool live, Clock clock = steadySeconds);

  void iterationStarted(int32_t iterationNumber, float accrualRate, int32_t trialCount) override;
  void trialsFinished(int32_t finishedCount) override;
  void iterationFinished(const search::IterationRecord& record) override;

  // Clears the line being redrawn so that other text (a console line on the same
  // terminal, an error) starts at the left margin; the next redraw brings it back.
  void stepAside();

  // The closing line: outcome, rate and patients, power ± standard error, the analytic
  // rate when there is one (for a design of a given size, the analytic power at it), the
  // report file, the time taken and the number of threads. `outcomeText` says the outcome
  // in place of outcomeWords with the positional file's lines.
  void writeClosingLine(const search::RunRecord& record, const std::string& reportName,
                        int32_t threads, std::optional<float> analyticRate = std::nullopt,
                        std::optional<double> analyticPower = std::nullopt,
                        const std::string& outcomeText = "");

  static double steadySeconds();

  // At most this many redraws a second: a terminal that scrolls thousands of lines a
  // second would slow the run and flicker.
  static constexpr double kRedrawsPerSecond = 10.0;

 private:
  // The line of the present iteration; `power` (with its trailing blanks) goes before the time.
  std::string runningLine(const std::string& power = "") const;
  void draw(const std::string& line);
  double elapsed() const { return clock_() - start_; }

  std::ostream& out_;
  bool live_;
  Clock clock_;
  double start_;
  double lastDraw_ = 0.0;
  size_t drawnLength_ = 0;  // characters of the line now on screen; 0 when none is
  int32_t iterationNumber_ = 0;
  float accrualRate_ = 0.0f;
  int32_t trialCount_ = 0;
  int32_t finishedCount_ = 0;
};

// "12.3 s" below a minute, "4 min 05 s" below an hour, "1 h 02 min" after.
std::string elapsedText(double seconds);

}  // namespace survseq::run
