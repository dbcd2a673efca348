#pragma once

#include <cstdint>
#include <iosfwd>
#include <vector>

#include "input/design_parameters.h"
#include "sim/uniform_generator.h"

namespace survseq::sim {

// The patients of one simulated trial. Patient j (1-based, as in the draws) is stored
// at index j - 1. Sized once for the largest trial of the run and reused.
struct SimulatedTrial {
  explicit SimulatedTrial(int32_t patientCapacity)
      : entryTime(static_cast<size_t>(patientCapacity)),
        eventTime(static_cast<size_t>(patientCapacity)),
        censoringTime(static_cast<size_t>(patientCapacity)),
        group(static_cast<size_t>(patientCapacity)) {}

  int32_t capacity() const { return static_cast<int32_t>(entryTime.size()); }

  std::vector<float> entryTime;      // calendar time of entry
  std::vector<float> eventTime;      // time from entry to the event
  std::vector<float> censoringTime;  // time from entry to loss to follow-up
  std::vector<float> group;          // 0 control, 1 treatment
};

// Draws patients 1..subjectCount (control arm first, then treatment) in the fixed
// order of draws. A subjectCount above trial.capacity() is refused with a RunError
// before anything is drawn.
void generateTrial(const input::DesignParameters& design, int32_t subjectCount,
                   UniformGenerator& generator, int32_t& seed, SimulatedTrial& trial,
                   std::ostream& report);

}  // namespace survseq::sim
