// A failed or interrupted run never costs the user a report: the program as a user runs
// it, in a directory that holds yesterday's report or nothing at all.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <set>
#include <thread>

#include "program_runner.h"

namespace survseq::testing {
namespace {

namespace fs = std::filesystem;

std::set<std::string> entries(const fs::path& directory) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory)) names.insert(entry.path().filename());
  return names;
}

std::string quickDesign(std::map<int, std::string> lines = {}) {
  lines.insert({37, "20"});
  return replaceLines(exampleFile("haybittle.par"), lines);
}

TEST(ReportSafety, AGoodReportSurvivesLaterFailingRunsAndAFailedRunLeavesNothing) {
  const fs::path directory = freshDirectory("survives");
  const ProgramRun good = runProgramIn(directory, quickDesign(), "haybittle.out");
  ASSERT_EQ(good.exitStatus, 0) << good.errors;
  ASSERT_FALSE(good.report.empty());
  // A typo after line 14, and a failure only at the very end (standard output lost).
  const ProgramRun typo = runProgramIn(directory, quickDesign({{20, "three"}}), "haybittle.out");
  EXPECT_EQ(typo.exitStatus, 1);
  EXPECT_EQ(typo.errors, "survseq: line 20: expected a whole number, found 'three'\n");
  EXPECT_EQ(typo.report, good.report);
  writeFile(directory / "../design_for_full.par", quickDesign({{37, "30"}}));
  const std::string command = "cd '" + directory.string() + "' && '" SURVSEQ_BINARY
                              "' < ../design_for_full.par > /dev/full 2> /dev/null";
  EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 1);
  EXPECT_EQ(readFile(directory / "haybittle.out"), good.report);
  EXPECT_EQ(entries(directory), std::set<std::string>{"haybittle.out"});
  fs::remove(directory / "../design_for_full.par");
  fs::remove_all(directory);
  // In an empty directory a failed run leaves nothing.
  const ProgramRun failed = runProgram(quickDesign({{83, "x"}}), "haybittle.out");
  EXPECT_EQ(failed.exitStatus, 1);
  EXPECT_TRUE(failed.files.empty());
}

TEST(ReportSafety, DevicesAsReportNamesAreWrittenDirectlyAndAFailedWriteIsAFailure) {
  EXPECT_EQ(runProgram(quickDesign({{14, "'/dev/null'"}}), "").exitStatus, 0);
  struct stat status {};
  ASSERT_EQ(::stat("/dev/null", &status), 0);
  EXPECT_TRUE(S_ISCHR(status.st_mode));  // not replaced by a renamed file
  // /dev/full accepts the open and refuses every write, as a full disk does.
  const ProgramRun full = runProgram(quickDesign({{14, "'/dev/full'"}}), "");
  EXPECT_EQ(full.exitStatus, 1);
  EXPECT_EQ(full.errors,
            "survseq: could not write the output file '/dev/full': No space left on device\n");
}

// A run killed outright cannot remove its temporary files: the next run beside them does.
TEST(ReportSafety, AnInterruptedRunRemovesItsTemporaryFileAndKeepsTheOldReport) {
  for (const int signal : {SIGTERM, SIGINT, SIGKILL}) {
    SCOPED_TRACE(signal == SIGTERM ? "SIGTERM" : signal == SIGINT ? "SIGINT" : "SIGKILL");
    const fs::path directory = freshDirectory("interrupted"), design = directory.string() + ".par";
    writeFile(directory / "haybittle.out", "yesterday's report\n");
    // Many trials, so that the run is still simulating when the signal comes.
    writeFile(design, quickDesign({{37, "1000000"}}));
    const pid_t child = ::fork();
    if (child == 0) {
      const int in = ::open(design.c_str(), O_RDONLY), out = ::open("/dev/null", O_WRONLY);
      if (in < 0 || out < 0 || ::chdir(directory.c_str()) != 0) ::_exit(127);
      ::dup2(in, 0);
      ::dup2(out, 1);
      ::dup2(out, 2);
      // Whatever the test runner ignores, the program meets the signals as a shell hands them on.
      std::signal(SIGINT, SIG_DFL);
      std::signal(SIGTERM, SIG_DFL);
      ::execl(SURVSEQ_BINARY, SURVSEQ_BINARY, "--json", "haybittle.json",
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ASSERT_GT(child, 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (entries(directory).size() < 3 && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const std::string process = std::to_string(child);
    const std::set<std::string> running{"haybittle.out",
                                        ".haybittle.json.survseq-" + process + "-0",
                                        ".haybittle.out.survseq-" + process + "-1"};
    EXPECT_EQ(entries(directory), running) << "no temporary files appeared";
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ::kill(child, signal);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_EQ(entries(directory),
              signal == SIGKILL ? running : std::set<std::string>{"haybittle.out"});
    EXPECT_EQ(readFile(directory / "haybittle.out"), "yesterday's report\n");
    if (signal == SIGKILL) {
      writeFile(design, quickDesign({{83, "x"}}));  // a run that fails, beside them
      const std::string command = "cd '" + directory.string() + "' && '" SURVSEQ_BINARY
                                  "' --json haybittle.json < '" + design.string() +
                                  "' > /dev/null 2>&1";
      EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 1);
      EXPECT_EQ(entries(directory), std::set<std::string>{"haybittle.out"});
    }
    fs::remove(design);
    fs::remove_all(directory);
  }
}

}  // namespace
}  // namespace survseq::testing
