#include "run/design_search.h"

#include <ostream>

#include "search/accrual_search.h"
#include "search/report.h"
#include "search/simulation_pass.h"
#include "sim/uniform_generator.h"

namespace survseq::run {

search::RunRecord searchDesign(input::DesignParameters& design, std::ostream& console,
                               std::ostream& report, int32_t threads,
                               search::SearchObserver* observer, const std::string& bracketNote,
                               bool underNull) {
  search::Report lines(console, report);
  sim::UniformGenerator generator;
  search::AccrualSearch accrualSearch(design, lines, observer);
  accrualSearch.start(generator);
  if (!bracketNote.empty()) report << bracketNote << '\n';

  search::SearchPasses passes(threads);
  search::RunRecord record =
      accrualSearch.run([&](input::DesignParameters& d) -> const search::IterationRecord& {
        return passes.run(d, generator, lines, observer);
      });
  if (underNull) {
    // The pass's own blocks stay out of the report, which gets a block of its own.
    std::ostream silent(nullptr);
    search::Report quiet(silent, silent);
    design.accrualRate = record.accrualRate;
    const input::DesignParameters drawn = search::drawnUnderNull(design);
    record.underNull = passes.run(design, generator, quiet, nullptr, &drawn);
    lines.writeUnderNullBlock(design, *record.underNull);
  }
  return record;
}

}  // namespace survseq::run
