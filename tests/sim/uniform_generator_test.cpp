#include "sim/uniform_generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace survseq::sim {
namespace {

std::vector<float> draw(UniformGenerator& generator, int32_t& seed, int count) {
  std::vector<float> values;
  for (int i = 0; i < count; ++i) values.push_back(generator.nextUniform(seed));
  return values;
}

TEST(UniformGenerator, DocumentedStreamOfTheDefaultSeed) {
  UniformGenerator generator;
  int32_t seed = -123457;
  EXPECT_EQ(draw(generator, seed, 6),
            (std::vector<float>{0.150876433f, 0.0923406035f, 0.994098902f, 0.668978989f,
                                0.917513072f, 0.212774843f}));
  EXPECT_EQ(seed, 1);
}

TEST(UniformGenerator, SeedZeroInitialisesOnTheFirstCall) {
  UniformGenerator generator;
  int32_t seed = 0;
  EXPECT_EQ(draw(generator, seed, 3),
            (std::vector<float>{0.533923864f, 0.323008806f, 0.401103973f}));
  EXPECT_EQ(seed, 1);
}

TEST(UniformGenerator, OnlyTheMagnitudeOfTheSeedCounts) {
  UniformGenerator positive;
  UniformGenerator negative;
  int32_t plusFive = 5;
  int32_t minusFive = -5;
  const auto fromPlus = draw(positive, plusFive, 200);
  EXPECT_EQ(fromPlus, draw(negative, minusFive, 200));
  EXPECT_EQ(plusFive, 1);
  EXPECT_EQ(minusFive, 1);

  UniformGenerator other;
  int32_t six = 6;
  EXPECT_NE(fromPlus, draw(other, six, 200));
}

TEST(UniformGenerator, LaterNegativeSeedRestartsTheStream) {
  UniformGenerator generator;
  int32_t seed = -123457;
  const auto first = draw(generator, seed, 100);
  seed = -123457;
  EXPECT_EQ(draw(generator, seed, 100), first);
}

TEST(UniformGenerator, LaterPositiveSeedContinuesTheStream) {
  UniformGenerator reference;
  int32_t referenceSeed = -123457;
  const auto stream = draw(reference, referenceSeed, 20);

  UniformGenerator generator;
  int32_t seed = -123457;
  const auto head = draw(generator, seed, 10);
  seed = 777;  // positive: no restart, and the value is left alone
  const auto tail = draw(generator, seed, 10);
  EXPECT_EQ(seed, 777);
  EXPECT_EQ(head, std::vector<float>(stream.begin(), stream.begin() + 10));
  EXPECT_EQ(tail, std::vector<float>(stream.begin() + 10, stream.end()));
}

TEST(UniformGenerator, BothEndsOfTheUnitIntervalAreReachable) {
  EXPECT_EQ(UniformGenerator::toUnitInterval(0), 0.0f);
  EXPECT_EQ(UniformGenerator::toUnitInterval(UniformGenerator::kModulus - 1), 1.0f);
  EXPECT_EQ(UniformGenerator::toUnitInterval(UniformGenerator::kModulus - 2),
            std::nextafter(1.0f, 0.0f));
  EXPECT_EQ(UniformGenerator::kScale, 9.99999972e-10f);
}

TEST(UniformGenerator, StreamIsSpreadOverTheUnitInterval) {
  // 10 000 draws: each tenth of [0, 1] should hold 1000 +- 4 sqrt(900) of them.
  UniformGenerator generator;
  int32_t seed = -123457;
  std::vector<int> bins(10, 0);
  for (int i = 0; i < 10000; ++i) {
    const float u = generator.nextUniform(seed);
    ASSERT_GE(u, 0.0f);
    ASSERT_LE(u, 1.0f);
    ++bins[std::min(9, static_cast<int>(u * 10.0f))];
  }
  for (int count : bins) EXPECT_NEAR(count, 1000, 120);
}

TEST(UniformGenerator, SeedsBeyondTheSeedConstantStayInRange) {
  for (int32_t start : {UniformGenerator::kSeedConstant + 1, 2000000000,
                        std::numeric_limits<int32_t>::max(),
                        std::numeric_limits<int32_t>::min()}) {
    UniformGenerator generator;
    int32_t seed = start;
    for (int i = 0; i < 2000; ++i) {
      const float u = generator.nextUniform(seed);
      ASSERT_GE(u, 0.0f) << "seed " << start;
      ASSERT_LE(u, 1.0f) << "seed " << start;
    }
    EXPECT_EQ(seed, 1);
  }
  UniformGenerator positive;
  UniformGenerator negative;
  int32_t plus = 2000000000;
  int32_t minus = -2000000000;
  EXPECT_EQ(draw(positive, plus, 100), draw(negative, minus, 100));
}

}  // namespace
}  // namespace survseq::sim
