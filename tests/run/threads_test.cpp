// The thread count a run asks for; that every count gives the same bytes is shown by the
// golden runs (tests/search/end_to_end_test.cpp).

#include <gtest/gtest.h>

#include <sstream>

#include "report/run_error.h"
#include "run/design_run.h"
#include "run/thread_count.h"
#include "search/program_runner.h"

namespace survseq::run {
namespace {

TEST(ThreadCount, ZeroMeansEveryUsableCoreAndOnlySensibleCountsAreTaken) {
  EXPECT_GE(usableCores(), 1);
  EXPECT_EQ(threadsToUse(0), usableCores());
  for (const int32_t threads : {1, 2, 7, kMaxThreads}) EXPECT_EQ(threadsToUse(threads), threads);
  EXPECT_THROW(threadsToUse(-1), RunError);
  EXPECT_THROW(threadsToUse(kMaxThreads + 1), RunError);
  // An unusable count ends the run before anything is read.
  std::istringstream parameters(testing::exampleFile("haybittle.par"));
  std::ostringstream out;  // console and errors
  RunOptions options;
  options.threads = -2;
  EXPECT_EQ(runDesign(parameters, out, out, options), 1);
  EXPECT_EQ(out.str(),
            "survseq: the number of threads must lie between 0 (every core) and 256, not -2\n");
}

}  // namespace
}  // namespace survseq::run
