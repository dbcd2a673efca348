#include "sim/uniform_generator.h"

namespace survseq::sim {

float UniformGenerator::toUnitInterval(int32_t residue) {
  return static_cast<float>(double(residue) * double(kScale));
}

void UniformGenerator::initialise(int32_t seed) {
  initialised_ = true;
  input::buildGeneratorTable(seed, table_);
  nextIndex_ = input::kFirstIndex;
  nextIndexP_ = input::kFirstIndexP;
}

float UniformGenerator::nextUniform(int32_t& seed) {
  if (!initialised_ || seed < 0) {
    initialise(seed);
    seed = 1;
  }
  return toUnitInterval(input::nextGeneratorResidue(table_, nextIndex_, nextIndexP_));
}

}  // namespace survseq::sim
