// No output of a command is a file the command reads, and no two outputs are one file:
// the program as a user runs it, with the name of the design given as its report, as the
// JSON file or the plot, spelled otherwise, linked to, or given to two outputs at once.
// Each is refused before anything is written.

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "search/program_runner.h"

namespace survseq::testing {
namespace {

namespace fs = std::filesystem;

// Every entry of `dir` with its bytes, a link with its target.
std::map<std::string, std::string> snapshot(const fs::path& dir) {
  std::map<std::string, std::string> entries;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename();
    entries[name] = entry.is_symlink()     ? "-> " + fs::read_symlink(entry.path()).string()
                    : entry.is_directory() ? "a folder"
                                           : readFile(entry.path());
  }
  return entries;
}

// Runs `survseq ARGUMENTS` in `dir`; the exit status, standard error in `errors`.
int run(const fs::path& dir, const std::string& arguments, std::string& errors) {
  const fs::path errorFile = dir.string() + ".errors";
  const std::string command = "cd '" + dir.string() + "' && '" SURVSEQ_BINARY "' " + arguments +
                              " > /dev/null 2> '" + errorFile.string() + "'";
  const int status = std::system(command.c_str());
  errors = readFile(errorFile);
  fs::remove(errorFile);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string positional(const std::string& report) {
  return replaceLines(exampleFile("haybittle.par"), {{14, "'" + report + "'"}, {37, "20"}});
}

std::string keyed(const std::string& report) {
  std::string text = exampleFile("haybittle.toml");
  const size_t start = text.find("report_file = ");
  text.replace(start, text.find('\n', start) - start, "report_file = \"" + report + "\"");
  return text;
}

TEST(OutputSafety, AnOutputThatIsAnInputOrAnotherOutputIsRefusedAndNothingIsWritten) {
  const struct {
    std::map<std::string, std::string> files;  // "-> target" makes a symbolic link
    std::string arguments;
    std::string error;
  } cases[] = {
      {{{"d.par", positional("d.par")}},
       "d.par",
       "line 14: the report file 'd.par' is the design file itself"},
      {{{"d.par", positional("out.txt")}}, "< d.par --json d.par",
       "the JSON file 'd.par' is the design read from standard input itself"},
      {{{"d.par", positional("out.txt")}, {"hard.par", ""}},
       "--plot ./hard.par d.par",
       "the plot './hard.par' is the design file 'd.par' itself"},
      {{{"k.toml", keyed("link.toml")}, {"link.toml", "-> k.toml"}},
       "k.toml",
       "k.toml:4:15: report_file: the report file 'link.toml' is the design file 'k.toml' "
       "itself"},
      {{{"k.toml", keyed("k.out")}}, "plan --json sub/../k.toml k.toml",
       "the JSON file 'sub/../k.toml' is the design file 'k.toml' itself"},
      {{{"d.par", positional("out.txt")}},
       "--json out.txt d.par",
       "line 14: the report file 'out.txt' is the same file as the JSON file"},
      {{{"d.par", positional("out.txt")}, {"out.txt", "yesterday's report\n"}},
       "--json out.txt d.par",
       "line 14: the report file 'out.txt' is the same file as the JSON file"},
      {{{"d.par", positional("out.txt")}}, "--json same.x --plot ./same.x d.par",
       "the plot './same.x' is the same file as the JSON file 'same.x'"},
      {{{"k.toml", keyed("new.svg")}, {"link.svg", "-> new.svg"}}, "--plot link.svg k.toml",
       "k.toml:4:15: report_file: the report file 'new.svg' is the same file as the plot "
       "'link.svg'"},
  };
  for (const auto& c : cases) {
    const fs::path dir = freshDirectory("output_safety");
    fs::create_directory(dir / "sub");
    for (const auto& [name, text] : c.files) {
      if (name == "hard.par") {
        fs::create_hard_link(dir / "d.par", dir / name);
      } else if (text.starts_with("-> ")) {
        fs::create_symlink(text.substr(3), dir / name);
      } else {
        writeFile(dir / name, text);
      }
    }
    const auto before = snapshot(dir);
    std::string errors;
    EXPECT_EQ(run(dir, c.arguments, errors), 1) << c.arguments;
    // The error is the last line (a warning about the design may come before it).
    EXPECT_TRUE(errors.ends_with("survseq: " + c.error + "; nothing was written\n"))
        << c.arguments << "\n" << errors;
    EXPECT_EQ(snapshot(dir), before) << c.arguments;
    fs::remove_all(dir);
  }
}

TEST(OutputSafety, DevicesMayTakeSeveralOutputs) {
  const fs::path dir = freshDirectory("output_devices");
  writeFile(dir / "d.par", positional("/dev/null"));
  std::string errors;
  EXPECT_EQ(run(dir, "--quiet --json /dev/null --plot /dev/null d.par", errors), 0) << errors;
  fs::remove_all(dir);
}

}  // namespace
}  // namespace survseq::testing
