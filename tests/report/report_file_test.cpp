// The report file is put in place only when the run finishes; until then an existing file
// of its name stays as it was, and an abandoned run leaves nothing behind. Names that
// are not plain files are written directly.

#include "report/report_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "report/run_error.h"

namespace survseq::report {
namespace {

namespace fs = std::filesystem;

std::string contentOf(const fs::path& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every test works in a directory of its own and sees what is left in it.
class ReportFileTest : public ::testing::Test {
 protected:
  ReportFileTest() { fs::remove_all(directory_), fs::create_directories(directory_); }
  ~ReportFileTest() override { fs::remove_all(directory_); }

  std::string path(const std::string& name) const { return (directory_ / name).string(); }

  std::set<std::string> entries() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory_)) names.insert(entry.path().filename());
    return names;
  }

  static mode_t modeOf(const std::string& name) {
    struct stat status {};
    EXPECT_EQ(::stat(name.c_str(), &status), 0) << name;
    return status.st_mode;
  }

  // The error text of opening `name`, or "opened".
  static std::string openingOf(ReportFile& report, const std::string& name) {
    try {
      report.open(name, 14);
    } catch (const RunError& error) {
      return std::to_string(error.line()) + ": " + error.what();
    }
    return "opened";
  }

  const fs::path directory_ = fs::temp_directory_path() /
      ("survseq_report_file_" + std::to_string(getpid()) + "_" +
       ::testing::UnitTest::GetInstance()->current_test_info()->name());
};

TEST_F(ReportFileTest, ANewReportAppearsOnlyWhenFinishedWithTheUmaskPermissions) {
  // A mask that lets the others' execute bit through: a report never asks for it.
  const mode_t previousMask = ::umask(026);
  {
    ReportFile report;
    report.open(path("new.out"), 14);
    report.stream() << "report\n";
    EXPECT_EQ(entries().count("new.out"), 0u);  // written aside until the end
    report.finish();
  }
  ::umask(previousMask);
  EXPECT_EQ(entries(), std::set<std::string>{"new.out"});
  EXPECT_EQ(contentOf(path("new.out")), "report\n");
  EXPECT_EQ(modeOf(path("new.out")) & 0777, 0640u);
}

TEST_F(ReportFileTest, AnExistingReportIsReplacedOnlyByAFinishedOneAndKeepsItsMode) {
  std::ofstream(path("r.out")) << "yesterday\n";
  ::chmod(path("r.out").c_str(), 0604);
  {
    ReportFile abandoned;
    abandoned.open(path("r.out"), 14);
    abandoned.stream() << "half a report";
    EXPECT_EQ(entries().size(), 2u);  // the report and the temporary beside it
    abandoned.abandon();
  }
  {
    ReportFile dropped;  // ended by an error that skipped abandon()
    dropped.open(path("r.out"), 14);
    dropped.stream() << "half a report";
  }
  EXPECT_EQ(entries(), std::set<std::string>{"r.out"});
  EXPECT_EQ(contentOf(path("r.out")), "yesterday\n");

  ReportFile report;
  report.open(path("r.out"), 14);
  report.stream() << "today\n";
  report.finish();
  EXPECT_EQ(entries(), std::set<std::string>{"r.out"});
  EXPECT_EQ(contentOf(path("r.out")), "today\n");
  EXPECT_EQ(modeOf(path("r.out")) & 0777, 0604u);
}

TEST_F(ReportFileTest, AReadOnlyReportOrDirectoryIsRefusedAndNothingIsReplaced) {
  if (::geteuid() == 0) GTEST_SKIP() << "the superuser may write any file and directory";
  std::ofstream(path("locked.out")) << "keep\n";
  ::chmod(path("locked.out").c_str(), 0444);
  ReportFile report;
  EXPECT_EQ(openingOf(report, path("locked.out")),
            "14: cannot open the output file '" + path("locked.out").substr(0, 37) +
                "...' for writing: Permission denied");
  EXPECT_EQ(entries(), std::set<std::string>{"locked.out"});
  EXPECT_EQ(contentOf(path("locked.out")), "keep\n");

  // A writable report in a directory that takes no new file cannot be replaced safely.
  ::chmod(path("locked.out").c_str(), 0644);
  ::chmod(directory_.c_str(), 0555);
  const std::string refused = openingOf(report, path("locked.out"));
  ::chmod(directory_.c_str(), 0755);
  EXPECT_TRUE(refused.starts_with("14: cannot replace the output file '")) << refused;
  EXPECT_TRUE(refused.ends_with("': its directory takes no new file (Permission denied)"))
      << refused;
  EXPECT_EQ(contentOf(path("locked.out")), "keep\n");
}

// Devices (/dev/null, /dev/full) are run in tests/search/report_safety_test.cpp.
TEST_F(ReportFileTest, NamesThatAreNotPlainFilesAreWrittenDirectly) {
  // A FIFO with a reader waiting.
  ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0600), 0);
  const int reader = ::open(path("pipe").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  ReportFile toPipe;
  toPipe.open(path("pipe"), 14);
  toPipe.stream() << "through\n";
  toPipe.finish();
  char received[16] = {};
  EXPECT_EQ(::read(reader, received, sizeof received), 8);
  EXPECT_EQ(std::string(received), "through\n");
  ::close(reader);
  EXPECT_TRUE(S_ISFIFO(modeOf(path("pipe"))));

  // A symbolic link is written through and stays a link.
  std::ofstream(path("target.out")) << "old\n";
  fs::create_symlink(path("target.out"), path("link.out"));
  ReportFile throughLink;
  throughLink.open(path("link.out"), 14);
  throughLink.stream() << "new\n";
  throughLink.finish();
  EXPECT_TRUE(fs::is_symlink(path("link.out")));
  EXPECT_EQ(contentOf(path("target.out")), "new\n");
  EXPECT_EQ(entries(), (std::set<std::string>{"link.out", "pipe", "target.out"}));
}

TEST_F(ReportFileTest, FailuresNameLine14AndTheSystemsReason) {
  ReportFile report;
  fs::create_directory(path("results"));
  const std::string refused = openingOf(report, path("results"));
  EXPECT_EQ(refused.rfind("14: cannot open the output file '", 0), 0u) << refused;
  EXPECT_TRUE(refused.ends_with("' for writing: Is a directory")) << refused;
  EXPECT_TRUE(openingOf(report, path("none/r.out")).ends_with(": No such file or directory"));
  EXPECT_EQ(entries(), std::set<std::string>{"results"});
}

}  // namespace
}  // namespace survseq::report
