#pragma once

// Reading a design in either format into the one design record, and opening the report
// file it names: everything after this step is the same for both formats.

#include <functional>
#include <fstream>
#include <iosfwd>
#include <string>

#include "input/design_parameters.h"
#include "report/file_roles.h"
#include "report/report_file.h"
#include "run/design_run.h"

namespace survseq::run {

struct DesignSource {
  DesignFormat format = DesignFormat::Positional;
  std::string name;  // the file as the user named it, in the keyed file's errors
  std::string reportPath;  // where the report goes instead of its name; empty for none
};

// The positional file repairs as it reads, with the repair lines on `console`; the keyed
// file refuses instead and opens the report only once all of it has been read. The report
// is one of the `files` the run writes, refused when it is one the run reads or writes
// already; once it is known to be a file of its own, `createOutputs` creates the run's
// other outputs and the report is opened, so that no output is touched before every
// name is checked. Warnings go to `warnings`; faults throw RunError.
void readDesign(std::istream& text, const DesignSource& source, std::ostream& console,
                std::ostream& warnings, input::DesignParameters& design,
                report::ReportFile& reportFile, report::FileRoles& files,
                const std::function<void()>& createOutputs);

// The same reading for a command that writes no report: the file the design names is
// neither created nor touched, and the positional file's repair lines go to `warnings`.
void readDesignWithoutReport(std::istream& text, const DesignSource& source,
                             std::ostream& warnings, input::DesignParameters& design);

// How messages name a design file of `format`: "design file" (keyed) or "parameter file".
const char* designFileWord(DesignFormat format);

// Opens the design file at `path` for reading; false after one line on `errors` that
// names the file and the system's reason.
bool openDesignFile(const std::string& path, DesignFormat format, std::ifstream& file,
                    std::ostream& errors);

}  // namespace survseq::run
