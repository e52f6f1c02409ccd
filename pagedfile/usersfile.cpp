// User slots of a paged record file, kept in its users file. The users file is only read and
// written while the data file's users lock is held, so two programs never take the same slot
// and a program never writes into a users file that another has just deleted.

#include "pagedfile/usersfile.h"

#include "pagedfile/pageerror.h"
#include "pagedfile/pagelocks.h"
#include "platform/filenames.h"

namespace tavlo {
namespace {

const char kUsersLockTimeout[] = "can not open file: the users file is in use by another program";

// The 256 digits; a short or damaged file reads as free slots where it has no digit 1.
std::string ReadSlots(SharedFile& users) {
  std::string slots(kUsersFileSize, '0');
  std::size_t n = users.ReadAt(0, slots.data(), slots.size());
  for (std::size_t i = 0; i < kUsersFileSize; ++i) {
    if (i >= n || slots[i] != '1') slots[i] = '0';
  }
  return slots;
}

}  // namespace

std::string UsersFileName(const std::string& fileName) {
  return ChangeFileExt(fileName, ".users");
}

int TakeUserSlot(SharedFile& dataFile, const std::string& usersPath) {
  RangeLockGuard lock(dataFile, kUsersLockOffset, RangeLockKind::Exclusive,
                      kUsersLockWaitMilliseconds, kUsersLockTimeout);
  bool exists = Files().FileExists(usersPath);
  auto users = Files().OpenShared(usersPath, !exists);
  std::string slots = exists ? ReadSlots(*users) : std::string(kUsersFileSize, '0');
  for (int slot = kFirstUserSlot; slot <= kLastUserSlot; ++slot) {
    if (slots[slot - 1] == '0') {
      slots[slot - 1] = '1';
      users->WriteAt(0, slots.data(), slots.size());
      if (users->Size() > static_cast<std::int64_t>(kUsersFileSize))
        users->Truncate(kUsersFileSize);
      return slot;
    }
  }
  // Slots of programs that ended without closing the file stay taken in the users file.
  throw EqelPageError(
      "can not open file: too many users (if fewer programs have the file open, "
      "the users file " +
      usersPath + " is stale: delete it while no program has the file open)");
}

void ReleaseUserSlot(SharedFile& dataFile, const std::string& usersPath, int slot) {
  RangeLockGuard lock(dataFile, kUsersLockOffset, RangeLockKind::Exclusive,
                      kUsersLockWaitMilliseconds, kUsersLockTimeout);
  if (!Files().FileExists(usersPath)) return;
  bool anyTaken = false;
  {
    auto users = Files().OpenShared(usersPath, false);
    std::string slots = ReadSlots(*users);
    slots[slot - 1] = '0';
    for (int i = kFirstUserSlot; i <= kLastUserSlot; ++i) anyTaken |= slots[i - 1] == '1';
    if (anyTaken) users->WriteAt(0, slots.data(), slots.size());
  }
  if (!anyTaken) Files().DeleteFile(usersPath);
}

}  // namespace tavlo
