#include "run/progress_display.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ostream>

#include "run/run_outcome.h"

namespace survseq::run {

namespace {

std::string formatted(const char* format, auto... values) {
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, format, values...);
  return buffer;
}

// Rates are shown to four significant digits: 50, 13.57, 3.685, 1234.
std::string rateText(float rate) { return formatted("%.4g", double(rate)); }

std::string estimateText(const search::PowerEstimate& estimate) {
  return formatted("%.4f \u00b1 %.4f", double(estimate.power), double(estimate.standardError));
}

}  // namespace

std::string elapsedText(double seconds) {
  if (seconds < 60.0) return formatted("%.1f s", seconds);
  const auto whole = static_cast<long>(std::floor(seconds));
  if (whole < 3600) return formatted("%ld min %02ld s", whole / 60, whole % 60);
  return formatted("%ld h %02ld min", whole / 3600, whole / 60 % 60);
}

double ProgressDisplay::steadySeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

ProgressDisplay::ProgressDisplay(std::ostream& out, bool live, Clock clock)
    : out_(out), live_(live), clock_(std::move(clock)), start_(clock_()) {}

void ProgressDisplay::iterationStarted(int32_t iterationNumber, float accrualRate,
                                       int32_t trialCount) {
  iterationNumber_ = iterationNumber;
  accrualRate_ = accrualRate;
  trialCount_ = trialCount;
  finishedCount_ = 0;
  if (live_) draw(runningLine());
}

void ProgressDisplay::trialsFinished(int32_t finishedCount) {
  finishedCount_ = finishedCount;
  if (!live_) return;
  if (clock_() - lastDraw_ < 1.0 / kRedrawsPerSecond) return;
  draw(runningLine());
}

void ProgressDisplay::iterationFinished(const search::IterationRecord& record) {
  finishedCount_ = trialCount_;
  std::string power;
  if (!record.statistics.empty()) {
    power = "power " + estimateText(record.testedEstimate()) + "  ";
  }
  const std::string line = runningLine(power);
  if (live_) {
    draw(line);
    drawnLength_ = 0;  // the finished line stays
  } else {
    out_ << line;
  }
  out_ << '\n' << std::flush;
}

std::string ProgressDisplay::runningLine(const std::string& power) const {
  const int width = static_cast<int>(std::to_string(trialCount_).size());
  return formatted("iteration %2d  rate %-7s  trials %*d of %d  %s%s", iterationNumber_,
                   rateText(accrualRate_).c_str(), width, finishedCount_, trialCount_,
                   power.c_str(), elapsedText(elapsed()).c_str());
}

void ProgressDisplay::draw(const std::string& line) {
  out_ << '\r' << line;
  // Blanks over what a longer line before left on screen.
  if (drawnLength_ > line.size()) out_ << std::string(drawnLength_ - line.size(), ' ');
  out_.flush();
  drawnLength_ = line.size();
  lastDraw_ = clock_();
}

void ProgressDisplay::stepAside() {
  if (drawnLength_ == 0) return;
  out_ << '\r' << std::string(drawnLength_, ' ') << '\r' << std::flush;
  drawnLength_ = 0;
}

void ProgressDisplay::writeClosingLine(const search::RunRecord& record,
                                       const std::string& reportName, int32_t threads,
                                       std::optional<float> analyticRate,
                                       std::optional<double> analyticPower,
                                       const std::string& outcomeText) {
  stepAside();
  const OutcomeFigures outcome = outcomeFigures(record);
  const bool reached = outcome.kind == search::SearchOutcome::WithinTwoStandardErrors ||
                       outcome.kind == search::SearchOutcome::FixedRate;
  out_ << (outcomeText.empty() ? outcomeWords(outcome.kind) : outcomeText) << (reached ? ": rate " : ": last rate ")
       << rateText(outcome.accrualRate) << " (" << outcome.patientCount << " patients), power "
       << estimateText(outcome.estimate);
  if (analyticRate) out_ << ", analytic rate " << rateText(*analyticRate);
  if (outcome.kind == search::SearchOutcome::FixedRate && analyticPower) {
    char power[16];
    std::snprintf(power, sizeof power, "%.4f", *analyticPower);
    out_ << ", analytic power " << power;
  }
  if (record.underNull) {
    out_ << ", type-I error "
         << estimateText(record.underNull->testedEstimate())
         << " under the null";
  }
  out_ << ", report " << reportName << ", "
       << elapsedText(elapsed()) << " on " << threads << (threads == 1 ? " thread" : " threads")
       << '\n'
       << std::flush;
}

}  // namespace survseq::run
