#include "sim/uniform_generator.h"

namespace survseq::sim {

float UniformGenerator::toUnitInterval(int32_t residue) {
  return static_cast<float>(double(residue) * double(kScale));
}

int32_t UniformGenerator::residueFrom(float u) {
  int32_t low = 0;
  int32_t high = kModulus;
  while (low < high) {
    const int32_t middle = low + (high - low) / 2;
    if (toUnitInterval(middle) >= u) {
      high = middle;
    } else {
      low = middle + 1;
    }
  }
  return low;
}

void UniformGenerator::initialise(int32_t seed) {
  initialised_ = true;
  input::buildGeneratorTable(seed, table_);
  nextIndex_ = input::kFirstIndex;
  nextIndexP_ = input::kFirstIndexP;
}

// The restart is kept out of line, and reached by a tail call, so that the draw of every
// other call needs no saved registers: it is the innermost step of every simulated trial.
float UniformGenerator::nextUniform(int32_t& seed) {
  if (!initialised_ || seed < 0) [[unlikely]] return restartAndDraw(seed);
  return draw();
}

float UniformGenerator::restartAndDraw(int32_t& seed) {
  initialise(seed);
  seed = 1;
  return draw();
}

int32_t UniformGenerator::restartAndDrawResidue(int32_t& seed) {
  initialise(seed);
  seed = 1;
  return input::nextGeneratorResidue(table_, nextIndex_, nextIndexP_);
}

float UniformGenerator::draw() {
  return toUnitInterval(input::nextGeneratorResidue(table_, nextIndex_, nextIndexP_));
}

}  // namespace survseq::sim
