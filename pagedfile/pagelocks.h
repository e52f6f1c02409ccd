// The byte ranges of a paged data file whose locks serialise work between programs, and a
// guard that holds one of them. Internal to the paged file; no page is read or written here.
#pragma once

#include <cstdint>

#include "pagedfile/pageerror.h"
#include "platform/filesystem.h"

namespace tavlo {

// Far beyond any page, so that locking them never blocks a page read. The users lock is held
// while a slot is taken or given back; the pages lock exclusively for every page write,
// allocation and record-lock change, and shared for every chain read.
constexpr std::int64_t kUsersLockOffset = std::int64_t{1} << 62;
constexpr std::int64_t kPagesLockOffset = kUsersLockOffset + 1;

// How long a slot change waits for another program's users-file work before giving up.
constexpr int kUsersLockWaitMilliseconds = 10000;

// Holds one lock range for the lifetime of the object. With a negative wait it waits without
// limit: holders keep the pages lock for one chain operation, and the system drops the lock
// of a program that dies.
class RangeLockGuard {
 public:
  RangeLockGuard(SharedFile& file, std::int64_t offset, RangeLockKind kind, int waitMilliseconds,
                 const char* timeoutMessage = "")
      : file_(file), offset_(offset) {
    if (!file_.LockRange(offset_, 1, kind, waitMilliseconds)) throw EqelPageError(timeoutMessage);
  }
  ~RangeLockGuard() { file_.UnlockRange(offset_, 1); }
  RangeLockGuard(const RangeLockGuard&) = delete;
  RangeLockGuard& operator=(const RangeLockGuard&) = delete;

 private:
  SharedFile& file_;
  std::int64_t offset_;
};

// The pages lock of a data file.
class PagesLock : public RangeLockGuard {
 public:
  PagesLock(SharedFile& file, RangeLockKind kind)
      : RangeLockGuard(file, kPagesLockOffset, kind, -1) {}
};

}  // namespace tavlo
