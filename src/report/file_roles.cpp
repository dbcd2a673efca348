#include "report/file_roles.h"

#include <sys/stat.h>

#include <filesystem>

#include "report/message_text.h"
#include "report/run_error.h"

namespace survseq::report {

namespace fs = std::filesystem;

namespace {

// As many links as the system itself follows before it gives up (ELOOP).
constexpr int kMostLinksFollowed = 40;

// The path at which writing `name` would create a file: the last component's symbolic
// links followed by hand (a link whose target does not exist yet still leads there),
// the rest resolved by the system.
std::string wouldBePath(const std::string& name) {
  std::error_code error;
  fs::path path = fs::absolute(name, error);
  for (int link = 0; link < kMostLinksFollowed && fs::is_symlink(path, error); ++link) {
    const fs::path target = fs::read_symlink(path, error);
    if (error) break;
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  const fs::path resolved = fs::weakly_canonical(path, error);
  return (error ? path.lexically_normal() : resolved).string();
}

// "the report file 'a.out'", or the role alone when the name shows nothing new beside
// `other`.
std::string named(const std::string& what, const std::string& shownName,
                  const std::string& other = "") {
  if (shownName == "-" || shownName == other) return "the " + what;
  return "the " + what + " '" + echoedValue(shownName) + "'";
}

}  // namespace

FileIdentity identityOf(const std::string& name) {
  FileIdentity identity;
  struct stat status {};
  if (::stat(name.c_str(), &status) == 0) {
    identity.exists = true;
    identity.characterDevice = S_ISCHR(status.st_mode);
    identity.device = status.st_dev;
    identity.inode = status.st_ino;
    return identity;
  }
  identity.path = wouldBePath(name);
  return identity;
}

bool sameFile(const FileIdentity& a, const FileIdentity& b) {
  if (a.exists != b.exists) return false;
  if (!a.exists) return a.path == b.path;
  return !a.characterDevice && a.device == b.device && a.inode == b.inode;
}

void FileRoles::input(const std::string& name, std::string what, std::string shownName) {
  inputs_.push_back({name, std::move(what), shownName.empty() ? name : shownName});
}

// Each name is looked at afresh: an earlier output written directly through a link may
// have made the file its link leads to.
void FileRoles::output(const std::string& name, std::string what) {
  const FileIdentity identity = identityOf(name);
  const std::string shown = named(what, name);
  for (const Role& input : inputs_) {
    if (sameFile(identity, identityOf(input.name))) {
      throw RunError(shown + " is " + named(input.what, input.shownName, name) +
                     " itself; nothing was written");
    }
  }
  for (const Role& output : outputs_) {
    if (sameFile(identity, identityOf(output.name))) {
      throw RunError(shown + " is the same file as " + named(output.what, output.shownName, name) +
                     "; nothing was written");
    }
  }
  outputs_.push_back({name, std::move(what), name});
}

}  // namespace survseq::report
