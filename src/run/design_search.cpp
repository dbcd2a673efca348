#include "run/design_search.h"

#include <ostream>

#include "search/accrual_search.h"
#include "search/report.h"
#include "search/simulation_pass.h"
#include "sim/uniform_generator.h"

namespace survseq::run {

search::RunRecord searchDesign(input::DesignParameters& design, std::ostream& console,
                               std::ostream& report, int32_t threads,
                               search::SearchObserver* observer, const std::string& bracketNote) {
  search::Report lines(console, report);
  sim::UniformGenerator generator;
  search::AccrualSearch accrualSearch(design, lines, observer);
  accrualSearch.start(generator);
  if (!bracketNote.empty()) report << bracketNote << '\n';

  search::SimulationPass pass(search::patientCapacityFor(design), threads);
  return accrualSearch.run([&](input::DesignParameters& d) -> const search::IterationRecord& {
    return pass.run(d, generator, lines, observer);
  });
}

}  // namespace survseq::run
