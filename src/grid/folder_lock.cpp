#include "grid/folder_lock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "report/run_error.h"

namespace survseq::grid {

namespace {

// Sets (F_RDLCK, F_WRLCK) or clears (F_UNLCK) the lock of byte `offset` without waiting;
// false when another process holds it.
bool lockByte(int descriptor, short kind, off_t offset) {
  struct flock range {};
  range.l_type = kind;
  range.l_whence = SEEK_SET;
  range.l_start = offset;
  range.l_len = 1;
  while (::fcntl(descriptor, F_SETLK, &range) != 0) {
    if (errno == EINTR) continue;
    if (errno == EACCES || errno == EAGAIN) return false;
    throw RunError("could not lock '" + std::string(kLockName) +
                   "': " + std::generic_category().message(errno));
  }
  return true;
}

}  // namespace

FolderLock::FolderLock(const std::filesystem::path& folder, bool shared) {
  const std::filesystem::path file = folder / kLockName;
  descriptor_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (descriptor_ < 0) {
    throw RunError("could not open the lock file '" + file.string() +
                   "': " + std::generic_category().message(errno));
  }
  try {
    if (lockByte(descriptor_, shared ? F_RDLCK : F_WRLCK, 0)) return;
  } catch (const RunError&) {
    ::close(descriptor_);
    throw;
  }
  ::close(descriptor_);
  throw RunError("another survseq run holds the folder '" + folder.string() +
                 "'; nothing was done, run this again when it has ended");
}

FolderLock::~FolderLock() { ::close(descriptor_); }  // releases every byte

bool FolderLock::claim(int32_t number) const { return lockByte(descriptor_, F_WRLCK, number); }

void FolderLock::release(int32_t number) const { lockByte(descriptor_, F_UNLCK, number); }

}  // namespace survseq::grid
