// The report file is put in place only when the run finishes; until then an existing file
// of its name stays as it was. Names that are not plain files (pipes, links, devices) are
// written directly: tests/search/report_safety_test.cpp runs the devices.

#include "report/report_file.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "report/run_error.h"

namespace survseq::report {
namespace {

namespace fs = std::filesystem;

// Every test works in a directory of its own and sees what is left in it.
class ReportFileTest : public ::testing::Test {
 protected:
  ReportFileTest() { fs::remove_all(dir_), fs::create_directories(dir_); }
  ~ReportFileTest() override { fs::remove_all(dir_); }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  std::string content(const std::string& name) const {
    std::ifstream in(path(name));
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::set<std::string> entries() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) names.insert(entry.path().filename());
    return names;
  }
  const fs::path dir_ = fs::temp_directory_path() /
      ("survseq_report_file_" + std::to_string(getpid()) + "_" +
       ::testing::UnitTest::GetInstance()->current_test_info()->name());
};

// An abandoned or failed run keeps the old report: tests/search/report_safety_test.cpp.
TEST_F(ReportFileTest, AReportAppearsOrReplacesTheOldOneOnlyWhenFinishedAndKeepsItsMode) {
  // A mask that lets the others' execute bit through: a report never asks for it.
  const mode_t previousMask = ::umask(026);
  ReportFile report;
  report.open(path("r.out"), 14);
  report.stream() << "yesterday\n";
  EXPECT_EQ(entries().count("r.out"), 0u);  // written aside until the end
  report.finish();
  ::umask(previousMask);
  EXPECT_EQ(fs::status(path("r.out")).permissions(), fs::perms(0640));
  ::chmod(path("r.out").c_str(), 0604);
  report.open(path("r.out"), 14);
  report.stream() << "today\n";
  EXPECT_EQ(content("r.out"), "yesterday\n");  // the new one is written beside it
  report.finish();
  EXPECT_EQ(entries(), std::set<std::string>{"r.out"});
  EXPECT_EQ(content("r.out"), "today\n");
  EXPECT_EQ(fs::status(path("r.out")).permissions(), fs::perms(0604));
}

TEST_F(ReportFileTest, FailuresNameLine14AndTheSystemsReasonAndReplaceNothing) {
  const auto failure = [&](const std::string& name) -> std::string {
    try {
      ReportFile().open(path(name), 14);
    } catch (const RunError& error) {
      return std::to_string(error.line()) + ": " + error.what();
    }
    return "opened";
  };
  fs::create_directory(path("results"));
  const std::string shown = path("results").substr(0, 37) + "...'";  // the name cut short
  EXPECT_EQ(failure("results"),
            "14: cannot open the output file '" + shown + " for writing: Is a directory");
  EXPECT_TRUE(failure("none/r.out").ends_with("' for writing: No such file or directory"));
  EXPECT_EQ(entries(), std::set<std::string>{"results"});

  if (::geteuid() == 0) GTEST_SKIP() << "the superuser may write any file and directory";
  std::ofstream(path("locked.out")) << "keep\n";
  ::chmod(path("locked.out").c_str(), 0444);
  EXPECT_TRUE(failure("locked.out").ends_with("' for writing: Permission denied"));
  // A writable report in a directory that takes no new file cannot be replaced safely.
  ::chmod(path("locked.out").c_str(), 0644);
  ::chmod(dir_.c_str(), 0555);
  const std::string refused = failure("locked.out");
  ::chmod(dir_.c_str(), 0755);
  EXPECT_TRUE(refused.starts_with("14: cannot replace the output file '")) << refused;
  EXPECT_TRUE(refused.ends_with("': its directory takes no new file (Permission denied)"));
  EXPECT_EQ(entries(), (std::set<std::string>{"locked.out", "results"}));
  EXPECT_EQ(content("locked.out"), "keep\n");
}

// Only temporary files of the name, by the form the report gives them, whose process is
// gone are removed; the others, and every other file, stay.
TEST_F(ReportFileTest, TemporaryFilesOfEndedProcessesAreRemovedWhenTheNameIsOpenedAgain) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  const std::string ended = std::to_string(child), alive = std::to_string(::getpid());
  const std::set<std::string> kept{".r.out.survseq-1-0",  // the init process never ends
                                   ".r.out.survseq-" + alive + "-3",
                                   ".r.out.survseq-" + ended + "-x",
                                   ".r.out.survseq-" + ended,
                                   ".r.outs.survseq-" + ended + "-0",
                                   "r.out.survseq-" + ended + "-0",
                                   ".r.out.survseq-" + ended + "-0-0"};
  for (const std::string& name : kept) std::ofstream(path(name)) << "kept\n";
  std::ofstream(path(".r.out.survseq-" + ended + "-2")) << "left by a killed run\n";
  std::ofstream(path(".r.out.survseq-" + ended + "-17")) << "left by a killed run\n";
  ReportFile report;
  report.open(path("r.out"), 14);
  report.stream() << "today\n";
  report.finish();
  std::set<std::string> expected = kept;
  expected.insert("r.out");
  EXPECT_EQ(entries(), expected);
}

}  // namespace
}  // namespace survseq::report
