#pragma once

#include <cstdint>

#include "input/seed_limits.h"

namespace survseq::sim {

// The run's single stream of uniform numbers: the portable subtractive generator
// (modulus 1e9, lags 55 and 24). One instance lives for the whole run and is handed
// down; the order of draws defines every result.
class UniformGenerator {
 public:
  static constexpr float kScale = 1.0e-9f;
  static constexpr int32_t kModulus = input::kGeneratorModulus;

  // The next number of the stream, in [0, 1] (both ends can occur) for every seed the
  // readers accept (input::requireSeedWithinStream); a larger seed that they refuse
  // could also give numbers outside it. When
  // the generator is new, or when `seed` is negative, the table is first rebuilt from
  // |seed| and `seed` is set to 1.
  float nextUniform(int32_t& seed);

  // The residue nextUniform would have turned into its number: nextUniform(seed) is
  // toUnitInterval(nextResidue(seed)), draw for draw.
  int32_t nextResidue(int32_t& seed) {
    if (!initialised_ || seed < 0) [[unlikely]] return restartAndDrawResidue(seed);
    return input::nextGeneratorResidue(table_, nextIndex_, nextIndexP_);
  }

  // A run of draws from a generator that has drawn before (so no restart is due): the
  // residues nextResidue would give, with the table's indexes held in the run and handed
  // back when it ends, however it ends. A caller's stores cannot alias them, so they stay
  // in registers: the stream's step draws thousands of residues per trial this way.
  class Run {
   public:
    explicit Run(UniformGenerator& generator)
        : generator_(generator), index_(generator.nextIndex_), indexP_(generator.nextIndexP_) {}
    ~Run() {
      generator_.nextIndex_ = index_;
      generator_.nextIndexP_ = indexP_;
    }
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    int32_t next() { return input::nextGeneratorResidue(generator_.table_, index_, indexP_); }

   private:
    UniformGenerator& generator_;
    int32_t index_;
    int32_t indexP_;
  };

  // The smallest residue whose number is at least u (kModulus when none is): the
  // number of a residue r is >= u exactly when r >= residueFrom(u), as toUnitInterval
  // never decreases.
  static int32_t residueFrom(float u);

  // A residue of the generator, 0..kModulus-1, as a number in [0, 1]: the product
  // with kScale formed in double and rounded once to float, so that 999999999 gives
  // exactly 1.0.
  static float toUnitInterval(int32_t residue);

 private:
  void initialise(int32_t seed);
  [[gnu::noinline]] float restartAndDraw(int32_t& seed);
  [[gnu::noinline]] int32_t restartAndDrawResidue(int32_t& seed);
  float draw();

  bool initialised_ = false;
  input::GeneratorTable table_{};
  int32_t nextIndex_ = 0;
  int32_t nextIndexP_ = 0;
};

}  // namespace survseq::sim
