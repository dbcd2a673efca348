#include "grid/kept_inputs.h"

#include <string>
#include <utility>

#include "grid/scenario_folder.h"
#include "report/file_roles.h"
#include "report/message_text.h"
#include "report/run_error.h"

namespace survseq::grid {

void keepInputsApart(const GridFile& grid, const std::filesystem::path& dir, bool running) {
  const std::pair<std::string, const char*> inputs[] = {{grid.path, "grid file"},
                                                        {grid.basePath, "base design"}};
  report::FileRoles files;
  for (const auto& [path, what] : inputs) files.input(path, what);
  files.output((dir / "results.csv").string(), "results table");
  files.output((dir / "grid.svg").string(), "grid picture");
  if (!running) return;
  std::error_code error;
  const fs::path folder = fs::weakly_canonical(fs::absolute(dir), error);
  for (const auto& [path, what] : inputs) {
    const fs::path file = fs::weakly_canonical(fs::absolute(path), error);
    for (fs::path inside = file; inside.has_relative_path(); inside = inside.parent_path()) {
      if (inside.parent_path() != folder || !isScenarioFolderName(inside.filename().string()))
        continue;
      throw RunError(std::string("the ") + what + " '" + report::echoedValue(path) +
                     "' lies in the scenario folder '" + (dir / inside.filename()).string() +
                     "', which the run may replace; nothing was written");
    }
  }
}

}  // namespace survseq::grid
