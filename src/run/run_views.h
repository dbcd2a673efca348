#pragma once

// What a run shows beside the console and the report, as the options ask: the progress
// on the error stream with its closing line, the JSON file and the plot. All of them are
// views of the run's records.

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "input/design_parameters.h"
#include "report/file_roles.h"
#include "run/console_guard.h"
#include "run/design_run.h"
#include "run/output_file.h"
#include "run/progress_display.h"
#include "search/run_record.h"

namespace survseq::run {

class RunViews {
 public:
  RunViews(const RunOptions& options, std::ostream& console, std::ostream& errors);
  RunViews(const RunViews&) = delete;  // the console guard holds on to this
  RunViews& operator=(const RunViews&) = delete;

  // Counts the files the options name among the `files` the run writes; throws RunError
  // when one is a file the run reads or writes already.
  void claimFiles(report::FileRoles& files) const;
  // Creates them; throws RunError when one cannot be created or the table file's name
  // asks for no format it has.
  void createFiles();

  // Where the console lines of the run go: `console`, through a guard that keeps them
  // off the progress line when it is redrawn in place.
  std::ostream& console() { return guarded_ ? *guarded_ : console_; }

  // Told of the search's progress; null when no progress is shown.
  search::SearchObserver* observer() { return display_ ? &*display_ : nullptr; }

  // After the search: writes the JSON file and the plot from `record`, then the closing
  // line and, when the simulated power lies more than three standard errors from the
  // analytic one, a warning. The analytic figures are worked out only for the JSON file
  // and the closing line. `design` as it stood after reading (with the bracket of a design
  // that takes it from the analytic rate); `threads` the threads that simulated.
  void finish(const input::DesignParameters& design, const search::RunRecord& record,
              int32_t threads);

  // Before an error line: the progress line makes room for it.
  void makeRoomForError();

 private:
  // The closing line's outcome: in the keyed file's terms for a keyed design.
  std::string closingWords(const input::DesignParameters& design,
                           const search::RunRecord& record) const;

  std::ostream& console_;
  std::ostream& errors_;
  bool keyed_;
  std::optional<ProgressDisplay> display_;
  std::unique_ptr<ConsoleGuard> guard_;
  std::unique_ptr<std::ostream> guarded_;
  std::string jsonPath_;
  std::string plotPath_;
  std::optional<OutputFile> json_;
  std::optional<OutputFile> plot_;
  std::optional<OutputFile> table_;
  std::string tablePath_;
};

}  // namespace survseq::run
