#pragma once

// The files one command reads and writes, kept apart: no output may be a file the command
// reads (the design, a grid file, its base design), and no two outputs may be one file,
// for the later would silently replace the earlier. Two names are one file when, after
// their symbolic links are followed, they lead to the same device and inode, however
// they are spelled; a name that does not exist yet cannot be an input, and two such names
// are one file when their resolved paths are equal. Character devices (/dev/null, a
// terminal) are exempt: writing to one twice loses nothing.

#include <string>
#include <vector>

namespace survseq::report {

// Where a name leads: the device and inode of an existing file, or else the absolute
// path it would be created at, with every symbolic link on the way followed.
struct FileIdentity {
  bool exists = false;
  bool characterDevice = false;
  unsigned long long device = 0;
  unsigned long long inode = 0;
  std::string path;  // when it does not exist
};

FileIdentity identityOf(const std::string& name);

// Whether `a` and `b` are one file in the sense above (character devices never are).
bool sameFile(const FileIdentity& a, const FileIdentity& b);

class FileRoles {
 public:
  // `name` is read by the command; `what` says what it is ("design file"), and
  // `shownName` how messages name it (empty: `name` itself; "-": not at all).
  void input(const std::string& name, std::string what, std::string shownName = "");

  // `name` is about to be written as `what` ("report file", "JSON file", "plot").
  // Throws RunError when it is the same file as an input or as an earlier output,
  // "the plot 'x' is the same file as the JSON file; nothing was written".
  void output(const std::string& name, std::string what);

 private:
  struct Role {
    std::string name;
    std::string what;
    std::string shownName;
  };
  std::vector<Role> inputs_;
  std::vector<Role> outputs_;
};

}  // namespace survseq::report
