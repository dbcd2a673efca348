#pragma once

// A simulated trial generated in two steps, so that only the first stays on the thread
// that owns the random stream. drawUniforms takes the trial's draws (the generator's
// residues) from the stream in exactly the order generateTrial takes them, deciding each
// switch check on the draw itself (EventBeyondCut) instead of on the time it inverts to;
// patientsFromUniforms, on any thread, turns them into the patients generateTrial gives,
// float for float.
//
// Where a switch check cannot be decided on the draw (see EventBeyondCut), or the
// hazard-ratio alternative writes warnings while switch points make the number of its
// inversions differ from one per patient, the design is not split: usesSplit() is
// false and the trials are generated whole by generateTrial on the stream's thread.

#include <cstdint>
#include <iosfwd>
#include <vector>

#include "input/design_parameters.h"
#include "sim/event_beyond_cut.h"
#include "sim/simulated_trial.h"
#include "sim/trial_laws.h"
#include "sim/uniform_generator.h"

namespace survseq::sim {

// The draws of a trial's patients: the generator's residues, each the uniform
// UniformGenerator::toUnitInterval(residue). Sized once, like SimulatedTrial.
struct TrialDraws {
  explicit TrialDraws(int32_t patientCapacity)
      : entry(static_cast<size_t>(patientCapacity)),
        event(static_cast<size_t>(patientCapacity)),
        censoring(static_cast<size_t>(patientCapacity)),
        switched(static_cast<size_t>(patientCapacity)) {}

  int32_t capacity() const { return static_cast<int32_t>(entry.size()); }

  std::vector<int32_t> entry;
  std::vector<int32_t> event;  // the draw the event time is inverted at
  std::vector<int32_t> censoring;
  std::vector<uint8_t> switched;  // 1: inverted under the law the patient switched to
};

class SplitGeneration {
 public:
  // Keeps a reference to `design`, which must outlive it.
  explicit SplitGeneration(const input::DesignParameters& design);
  SplitGeneration(const SplitGeneration&) = delete;
  SplitGeneration& operator=(const SplitGeneration&) = delete;

  bool usesSplit() const { return usesSplit_; }

  // The stream's step: patients 1..subjectCount, with the capacity check and the errors
  // of generateTrial. Only when usesSplit().
  void drawUniforms(int32_t subjectCount, UniformGenerator& generator, int32_t& seed,
                    TrialDraws& draws) const;

  // Any thread: the patients of the draws; the hazard-ratio alternative's warnings go to
  // `report` as generateTrial writes them.
  void patientsFromUniforms(int32_t subjectCount, const TrialDraws& draws, SimulatedTrial& trial,
                            std::ostream& report) const;

 private:
  // An arm with, per switch point k (index k - 1), "event beyond the point" under its own
  // law and under the law it switches to, and the residues below which the draw at the
  // point switches (its number at most the rate).
  struct ArmCuts {
    ArmPlan plan;
    std::vector<EventBeyondCut> own;
    std::vector<EventBeyondCut> switched;
    std::vector<int32_t> switchBelow;
  };
  bool cutsFor(ArmCuts& arm) const;
  std::optional<EventBeyondCut> cutUnder(Arm law, float t) const;
  // Inlined into drawUniforms, where the run's indexes stay in registers.
  [[gnu::always_inline]] inline int32_t switchPointTaken(const ArmCuts& arm, int32_t eventDraw,
                                                         UniformGenerator::Run& run) const;

  const input::DesignParameters& design_;
  TrialLaws laws_;
  ArmCuts control_;
  ArmCuts treatment_;
  bool usesSplit_ = false;
};

}  // namespace survseq::sim
