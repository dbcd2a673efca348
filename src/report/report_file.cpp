#include "report/report_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <system_error>
#include <utility>

#include "report/interrupt_cleanup.h"
#include "report/message_text.h"
#include "report/run_error.h"

namespace survseq::report {

namespace {

// Tries at most this many names for the temporary file before giving up.
constexpr int kTemporaryNameAttempts = 100;
// The part of the report's name that the temporary file's name repeats.
constexpr size_t kRepeatedNameLength = 64;

std::string systemReason(int error) { return std::generic_category().message(error); }

RunError cannotOpen(const std::string& what, const std::string& name, int error, int line) {
  return RunError("cannot open the " + what + " '" + echoedValue(name) +
                      "' for writing: " + systemReason(error),
                  line);
}

// The directory part of `name` ("" or ending in '/') and the start of the name of every
// temporary file beside it: ".<base>.survseq-".
std::pair<std::string, std::string> temporaryPrefix(const std::string& name) {
  const size_t slash = name.rfind('/');
  const std::string directory = slash == std::string::npos ? "" : name.substr(0, slash + 1);
  const std::string base =
      (slash == std::string::npos ? name : name.substr(slash + 1)).substr(0, kRepeatedNameLength);
  return {directory, "." + base + ".survseq-"};
}

// A hidden name beside `name`, in the same directory so that renaming it is atomic:
// ".<base>.survseq-<process>-<count>".
std::string temporaryNameBeside(const std::string& name) {
  static std::atomic<unsigned> count{0};
  const auto [directory, prefix] = temporaryPrefix(name);
  return directory + prefix + std::to_string(::getpid()) + "-" + std::to_string(count++);
}

// The process that made the temporary file named `tail` after its prefix ("<process>-<count>"),
// 0 when `tail` is not of that form.
pid_t temporaryOwner(const std::string& tail) {
  const size_t dash = tail.find('-');
  const auto digits = [](const std::string& text) {
    return !text.empty() && text.size() <= 10 &&
           text.find_first_not_of("0123456789") == std::string::npos;
  };
  if (dash == std::string::npos || !digits(tail.substr(0, dash)) || !digits(tail.substr(dash + 1)))
    return 0;
  const long long process = std::stoll(tail.substr(0, dash));
  return process > 0 && process <= INT32_MAX ? static_cast<pid_t>(process) : 0;
}

// The report that takes the place of an existing one keeps its owner and mode, as it
// would if written in place. Giving a file away may be refused (only the superuser may
// do it for another user's file); the new file then stays the user's own.
void keepOwnerAndMode(int descriptor, const struct stat& replaced) {
  const bool ownerKept = ::fchown(descriptor, replaced.st_uid, replaced.st_gid) == 0;
  const bool modeKept = ::fchmod(descriptor, replaced.st_mode & 07777) == 0;
  static_cast<void>(ownerKept && modeKept);
}

}  // namespace

void removeAbandonedTemporaries(const std::string& name) noexcept {
  namespace fs = std::filesystem;
  const auto [directory, prefix] = temporaryPrefix(name);
  std::error_code error;
  for (fs::directory_iterator entry(directory.empty() ? "." : directory, error), end;
       !error && entry != end; entry.increment(error)) {
    const std::string file = entry->path().filename().string();
    if (!file.starts_with(prefix)) continue;
    const pid_t owner = temporaryOwner(file.substr(prefix.size()));
    std::error_code ignored;
    if (owner == 0 || owner == ::getpid() || !entry->is_regular_file(ignored)) continue;
    if (::kill(owner, 0) != 0 && errno == ESRCH) ::unlink(entry->path().c_str());
  }
}

ReportFile::~ReportFile() { abandon(); }

void ReportFile::open(const std::string& name, int line, std::string_view what) {
  abandon();
  name_ = name;
  what_ = what;
  removeAbandonedTemporaries(name);
  struct stat entry {};
  if (::lstat(name.c_str(), &entry) != 0) {
    if (errno != ENOENT) throw cannotOpen(what_, name, errno, line);
    createTemporary(line, false);
    return;
  }
  if (!S_ISREG(entry.st_mode)) {
    openDirectly(line);
    return;
  }
  // A report the user may not write is refused, as writing it in place would be.
  const int probe = ::open(name.c_str(), O_WRONLY | O_CLOEXEC);
  if (probe < 0) throw cannotOpen(what_, name, errno, line);
  ::close(probe);
  createTemporary(line, true);
  keepOwnerAndMode(buffer_.descriptor(), entry);
}

void ReportFile::openDirectly(int line) {
  const int descriptor = ::open(name_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (descriptor < 0) throw cannotOpen(what_, name_, errno, line);
  buffer_.attach(descriptor);
  stream_.clear();
}

void ReportFile::createTemporary(int line, bool replacing) {
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    const std::string candidate = temporaryNameBeside(name_);
    int descriptor = -1;
    {
      // Created with the permissions of any new file under the umask, and recorded for
      // removal before a signal can come in between.
      const InterruptHold hold;
      descriptor = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (descriptor >= 0) interruptSlot_ = removeOnInterrupt(candidate);
    }
    if (descriptor < 0) {
      const int error = errno;
      if (error == EEXIST) continue;
      if (!replacing) throw cannotOpen(what_, name_, error, line);
      throw RunError("cannot replace the " + what_ + " '" + echoedValue(name_) +
                         "': its directory takes no new file (" + systemReason(error) + ")",
                     line);
    }
    temporaryName_ = candidate;
    buffer_.attach(descriptor);
    stream_.clear();
    return;
  }
  throw cannotOpen(what_, name_, EEXIST, line);
}

void ReportFile::finish() {
  if (!isOpen()) return;
  stream_.flush();
  int error = buffer_.writeOut() ? 0 : buffer_.error();
  // The report must be on the disk before it replaces the old one.
  // (A file system that cannot sync says so with EINVAL.)
  if (error == 0 && !temporaryName_.empty() && ::fsync(buffer_.descriptor()) != 0 &&
      errno != EINVAL) {
    error = errno;
  }
  const int closeError = buffer_.close();
  if (error == 0) error = closeError;
  if (error != 0) {
    abandon();
    throw RunError("could not write the " + what_ + " '" + echoedValue(name_) +
                   "': " + systemReason(error));
  }
  if (temporaryName_.empty()) return;

  const InterruptHold hold;
  if (::rename(temporaryName_.c_str(), name_.c_str()) != 0) {
    const int renameError = errno;
    abandon();
    throw RunError("could not put the " + what_ + " '" + echoedValue(name_) +
                   "' in place: " + systemReason(renameError));
  }
  forgetOnInterrupt(interruptSlot_);
  interruptSlot_ = -1;
  temporaryName_.clear();
}

void ReportFile::abandon() noexcept {
  if (temporaryName_.empty()) {
    buffer_.close();  // a file written directly keeps what reached it
    return;
  }
  buffer_.close();
  const InterruptHold hold;
  ::unlink(temporaryName_.c_str());
  forgetOnInterrupt(interruptSlot_);
  interruptSlot_ = -1;
  temporaryName_.clear();
}

}  // namespace survseq::report
