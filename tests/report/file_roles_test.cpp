// Which names are one file: by device and inode once links are followed, however they are
// spelled, and, for names that do not exist yet, by the path they would be created at.

#include "report/file_roles.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "report/run_error.h"

namespace survseq::report {
namespace {

namespace fs = std::filesystem;

TEST(FileRoles, NamesAreOneFileByWhatTheyLeadToNotByTheirSpelling) {
  const fs::path dir =
      fs::temp_directory_path() / ("survseq_file_roles_" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "sub");
  std::ofstream(dir / "design.par") << "design\n";
  std::ofstream(dir / "other.par") << "design\n";  // the same bytes, another file
  fs::create_hard_link(dir / "design.par", dir / "hard.par");
  fs::create_symlink("design.par", dir / "link.par");
  fs::create_symlink("sub/new.out", dir / "dangling.out");  // leads to a file not yet made
  const std::string d = dir.string() + "/";
  const struct {
    std::string a, b;
    bool same;
  } cases[] = {{d + "design.par", d + "design.par", true},
               {d + "design.par", d + "sub/../design.par", true},
               {d + "design.par", d + "hard.par", true},
               {d + "design.par", d + "link.par", true},
               {d + "design.par", d + "other.par", false},
               {d + "new.out", d + "./sub/../new.out", true},
               {d + "dangling.out", d + "sub/new.out", true},
               {d + "new.out", d + "sub/new.out", false},
               {d + "design.par", d + "design.par.out", false},
               {"/dev/null", "/dev/null", false}};  // writing a device twice loses nothing
  for (const auto& [a, b, same] : cases) {
    EXPECT_EQ(sameFile(identityOf(a), identityOf(b)), same) << a << " and " << b;
    FileRoles roles;
    roles.input(a, "design file");
    EXPECT_EQ(!same, [&] {
      try {
        roles.output(b, "report file");
        return true;
      } catch (const RunError&) {
        return false;
      }
    }()) << a << " and " << b;
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace survseq::report
