// The trial split between the stream and the other threads against the straightforward
// generation it replaces, draw for draw; and the switch checks decided on the residue
// against the inversion they stand for.

#include <gtest/gtest.h>

#include <bit>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "input/keyed_design_file.h"
#include "input/parameter_file.h"
#include "report/run_error.h"
#include "sim/event_beyond_cut.h"
#include "sim/trial_draws.h"
#include "sim_fixtures.h"

namespace survseq::sim {
namespace {

input::DesignParameters exampleDesign(const std::filesystem::path& path) {
  std::ifstream in(path);
  input::DesignParameters d;
  if (path.extension() == ".toml") {
    input::readKeyedDesign(input::parseKeyedDesign(in, path.string()), path.string(), d);
  } else {
    std::ostringstream console;
    input::readParameterFile(in, console, console, d, [](const std::string&, int32_t) {});
  }
  return d;
}

// The fixtures' design with the treatment arm given by hazard ratios.
input::DesignParameters ratios(std::initializer_list<float> cuts,
                               std::initializer_list<float> values) {
  auto d = design(cuts, values);
  d.alternativeKind = 2.0f;
  return d;
}

// Switch points on both arms: several, likely ones, and late ones.
input::DesignParameters withSwitches(input::DesignParameters d) {
  d.dropInCount = d.dropOutCount = 3;
  d.dropInTimes = d.dropOutTimes = {0, 2, 5, 9};
  d.dropInRates = {0, 0.3f, 0.5f, 0.9f};
  d.dropOutRates = {0, 0.2f, 1.0f, 0.4f};
  return d;
}

// Every designs' table: the examples, and the sim fixtures' designs with switch points, hazard
// ratios on several intervals, a curve switched to that rarely passes the switch point (a
// long rejection loop), a flat stretch in the control curve, allocation and ramp-up.
std::vector<std::pair<std::string, input::DesignParameters>> designTable() {
  std::vector<std::pair<std::string, input::DesignParameters>> table;
  for (const auto& entry : std::filesystem::directory_iterator(SURVSEQ_SOURCE_DIR "/examples")) {
    const auto& path = entry.path();
    const std::string name = path.filename().string();
    if ((path.extension() == ".par" || path.extension() == ".toml") && !name.starts_with("grid")) {
      table.emplace_back(name, exampleDesign(path));
    }
  }
  table.emplace_back("switches", withSwitches(design()));
  table.emplace_back("switches, ratios", withSwitches(ratios({3, 8, 15}, {1.0f, 0.6f, 0.8f})));
  auto rare = withSwitches(ratios({4}, {0.5f}));
  rare.baselineCurve = curve({0, 1}, {1, 0.3f});  // beyond 5 with chance 0.3^5
  table.emplace_back("rejection loops", rare);
  auto flat = withSwitches(design());
  flat.baselineCurve = curve({0, 2, 5, 9}, {1, 0.8f, 0.8f, 0.4f});
  table.emplace_back("flat stretch", flat);
  auto allocated = withSwitches(ratios({6}, {0.7f}));
  allocated.allocationRatio = 2.0f;
  allocated.accrualPieceCount = 2;
  allocated.accrualPieceDurations = {0, 4, 6};
  allocated.accrualRelativeRates = {0, 0.5f, 1.0f};
  table.emplace_back("allocation, ramp-up", allocated);
  return table;
}

TEST(SplitGeneration, GivesTheStraightforwardTrialsFloatForFloatAndLeavesTheStreamWhereItWas) {
  constexpr int32_t n = 300;
  for (const auto& [name, d] : designTable()) {
    const SplitGeneration split(d);
    EXPECT_TRUE(split.usesSplit()) << name;
    UniformGenerator straight, stream;
    int32_t straightSeed = d.seed == 0 ? -123457 : d.seed, streamSeed = straightSeed;
    SimulatedTrial expected(n), actual(n);
    TrialDraws drawn(n);
    for (int trial = 0; trial < 3; ++trial) {
      std::ostringstream expectedLines, actualLines;
      generateTrial(d, n, straight, straightSeed, expected, expectedLines);
      split.drawUniforms(n, stream, streamSeed, drawn);
      split.patientsFromUniforms(n, drawn, actual, actualLines);
      for (const auto member : {&SimulatedTrial::entryTime, &SimulatedTrial::eventTime,
                                &SimulatedTrial::censoringTime, &SimulatedTrial::group}) {
        for (size_t i = 0; i < size_t{n}; ++i) {
          ASSERT_EQ(std::bit_cast<uint32_t>((expected.*member)[i]),
                    std::bit_cast<uint32_t>((actual.*member)[i]))
              << name << ", trial " << trial << ", patient " << i + 1;
        }
      }
      EXPECT_EQ(expectedLines.str(), actualLines.str()) << name;
    }
    EXPECT_EQ(straight.nextUniform(straightSeed), stream.nextUniform(streamSeed)) << name;
  }
}

TEST(SplitGeneration, GivesUpOnASwitchWhereTheStraightforwardOneDoesAndLeavesTheStreamThere) {
  // Only a uniform of exactly 0 gets beyond 10 on the curve switched to (S(10) = 1e-50).
  auto d = design();
  d.alternativeCurve = curve({0, 1}, {1, 0.00001f});
  d.dropInCount = 1;
  d.dropInTimes = {0, 10};
  d.dropInRates = {0, 1};
  const SplitGeneration split(d);
  ASSERT_TRUE(split.usesSplit());
  std::string messages[2];
  UniformGenerator generators[2];
  int32_t seeds[2] = {-123457, -123457};
  SimulatedTrial trial(2);
  TrialDraws drawn(2);
  std::ostringstream report;
  for (int way = 0; way < 2; ++way) {
    try {
      way == 0 ? generateTrial(d, 2, generators[0], seeds[0], trial, report)
               : split.drawUniforms(2, generators[1], seeds[1], drawn);
    } catch (const RunError& error) {
      messages[way] = std::to_string(error.line()) + error.what();
    }
  }
  EXPECT_FALSE(messages[0].empty());
  EXPECT_EQ(messages[0], messages[1]);
  EXPECT_EQ(generators[0].nextUniform(seeds[0]), generators[1].nextUniform(seeds[1]));
}

TEST(SplitGeneration, ADesignWhoseHazardRatioWarnsWithSwitchPointsIsGeneratedWhole) {
  // The baseline survival at the cut 250 is 2^-25: below 1e-6, so the inversion warns,
  // and with switch points the warnings of a switched patient would be lost.
  const auto warns = ratios({250}, {0.7f});
  auto noSwitches = warns;
  noSwitches.dropInCount = noSwitches.dropOutCount = 0;
  EXPECT_FALSE(SplitGeneration(withSwitches(warns)).usesSplit());
  EXPECT_TRUE(SplitGeneration(noSwitches).usesSplit());
}

// "beyond" against the inversion at every residue of dense windows around where the time
// crosses t and around the curve's points, and at random residues elsewhere.
template <class TimeAt>
void expectCutIsTheInversion(const EventBeyondCut& cut, float t, TimeAt timeAt,
                             const std::vector<float>& landmarks, const std::string& name) {
  constexpr int32_t kWindow = 50'000;
  std::vector<int32_t> centres;
  for (const float u : landmarks) centres.push_back(UniformGenerator::residueFrom(u));
  int32_t low = 0, high = UniformGenerator::kModulus - 1;  // a crossing, by bisection
  while (low < high) {
    const int32_t middle = low + (high - low) / 2;
    (timeAt(UniformGenerator::toUnitInterval(middle)) > t ? low = middle + 1 : high = middle);
  }
  centres.push_back(low);
  std::mt19937 random(7);
  std::uniform_int_distribution<int32_t> anywhere(0, UniformGenerator::kModulus - 1);
  std::vector<int32_t> residues;
  for (int i = 0; i < 200'000; ++i) residues.push_back(anywhere(random));
  for (const int32_t centre : centres) {
    for (int32_t r = std::max(centre - kWindow, 0);
         r <= std::min(centre + kWindow, UniformGenerator::kModulus - 1); ++r) {
      residues.push_back(r);
    }
  }
  for (const int32_t r : residues) {
    ASSERT_EQ(cut.beyond(r), timeAt(UniformGenerator::toUnitInterval(r)) > t)
        << name << ", t " << t << ", residue " << r;
  }
}

TEST(EventBeyondCut, DecidesOnTheResidueWhatTheInversionGives) {
  const auto curves = {curve({0, 10}, {1, 0.5f}), curve({0, 6, 12, 24}, {1, 0.85f, 0.72f, 0.5f}),
                       curve({0, 2, 5, 9}, {1, 0.8f, 0.8f, 0.4f}), curve({0, 1}, {1, 0.3f})};
  for (const auto& points : curves) {
    const CurveHazards hazards = withHazards(points);
    std::vector<float> landmarks(points.s.begin(), points.s.begin() + points.count + 1);
    for (const float t : {0.0f, 2.0f, 5.0f, 6.0f, 9.0f, 24.0f, 60.0f}) {
      const auto cut = EventBeyondCut::forCurve(hazards, t);
      ASSERT_TRUE(cut);
      expectCutIsTheInversion(*cut, t, [&](float u) { return timeAtSurvival(hazards, u); },
                              landmarks, "curve");
    }
  }
  for (const auto& d : {design({3, 8, 15}, {1.0f, 0.6f, 0.8f}), design({6}, {0.7f}),
                        design({4, 30}, {0.5f, 2.0f})}) {
    const HazardRatioLaw law = hazardRatioLaw(d);
    std::vector<float> landmarks;  // where the ratio's interval changes
    for (int k = 1; k <= law.lastInterval; ++k) {
      landmarks.push_back(static_cast<float>(
          double(law.p[k]) * std::pow(double(law.survivalAtCut[k]), 1.0 / law.exponent[k])));
    }
    std::ostringstream report;
    for (const float t : {0.0f, 3.0f, 6.0f, 8.0f, 20.0f}) {
      const auto cut = EventBeyondCut::forHazardRatio(law, t);
      ASSERT_TRUE(cut);
      expectCutIsTheInversion(
          *cut, t, [&](float u) { return hazardRatioTimeAtSurvival(law, u, report); }, landmarks,
          "hazard ratios");
    }
  }
}

TEST(EventBeyondCut, ALawWithAFlatTailHasNoCut) {
  // The last interval is flat, so beyond it the hazard is 0 and the inversion divides by it.
  const input::SurvivalCurve points = curve({0, 5, 10}, {1, 0.5f, 0.5f});
  const CurveHazards flatTail = withHazards(points);  // keeps a pointer to the points
  EXPECT_FALSE(EventBeyondCut::forCurve(flatTail, 6.0f));
}

}  // namespace
}  // namespace survseq::sim
