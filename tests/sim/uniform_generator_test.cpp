#include "sim/uniform_generator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace survseq::sim {
namespace {

std::vector<float> draw(UniformGenerator& generator, int32_t& seed, int count) {
  std::vector<float> values;
  for (int i = 0; i < count; ++i) values.push_back(generator.nextUniform(seed));
  return values;
}

std::vector<float> freshStream(int32_t seed, int count) {
  UniformGenerator generator;
  return draw(generator, seed, count);
}

TEST(UniformGenerator, DocumentedFirstValues) {
  UniformGenerator generator;
  int32_t seed = -123457;
  EXPECT_EQ(draw(generator, seed, 6),
            (std::vector<float>{0.150876433f, 0.0923406035f, 0.994098902f, 0.668978989f,
                                0.917513072f, 0.212774843f}));
  EXPECT_EQ(seed, 1);
  EXPECT_EQ(freshStream(0, 3), (std::vector<float>{0.533923864f, 0.323008806f, 0.401103973f}));
  EXPECT_EQ(freshStream(5, 200), freshStream(-5, 200));  // only |seed| counts
  EXPECT_NE(freshStream(5, 200), freshStream(6, 200));
}

TEST(UniformGenerator, NegativeSeedRestartsAndPositiveSeedContinues) {
  const auto stream = freshStream(-123457, 20);
  UniformGenerator generator;
  int32_t seed = -123457;
  draw(generator, seed, 10);
  seed = 777;
  EXPECT_EQ(draw(generator, seed, 10), std::vector<float>(stream.begin() + 10, stream.end()));
  EXPECT_EQ(seed, 777);
  seed = -123457;
  EXPECT_EQ(draw(generator, seed, 20), stream);
}

TEST(UniformGenerator, BothEndsOfTheUnitIntervalOccur) {
  EXPECT_EQ(UniformGenerator::kScale, 9.99999972e-10f);
  EXPECT_EQ(UniformGenerator::toUnitInterval(0), 0.0f);
  EXPECT_EQ(UniformGenerator::toUnitInterval(999999999), 1.0f);
  EXPECT_EQ(UniformGenerator::toUnitInterval(999999998), std::nextafter(1.0f, 0.0f));
}

TEST(UniformGenerator, SeedsBeyondTheSeedConstantStayInRange) {
  for (int32_t start : {UniformGenerator::kSeedConstant + 1, 2000000000,
                        std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::min()}) {
    for (float u : freshStream(start, 2000)) {
      ASSERT_TRUE(u >= 0.0f && u <= 1.0f) << "seed " << start;
    }
  }
  EXPECT_EQ(freshStream(2000000000, 100), freshStream(-2000000000, 100));
}

}  // namespace
}  // namespace survseq::sim
