// The users file beside a paged record file: 256 ASCII digits, position i (2..255) being 1
// while user slot i is taken. Internal to the paged file; never touches record pages.
#pragma once

#include <cstdint>
#include <string>

#include "platform/filesystem.h"

namespace tavlo {

constexpr int kFirstUserSlot = 2;
constexpr int kLastUserSlot = 255;
constexpr std::size_t kUsersFileSize = 256;

// The data file's path with its extension replaced by ".users".
std::string UsersFileName(const std::string& fileName);

// Takes the first free slot, creating the users file when it is absent. The data file carries
// the lock that keeps other programs out meanwhile. Raises EqelPageError
// "can not open file: too many users" when every slot is taken, naming the users file that a
// program which ended without closing the file may have left stale.
int TakeUserSlot(SharedFile& dataFile, const std::string& usersPath);

// Gives the slot back and deletes the users file once no slot is taken. A users file that has
// disappeared (cleared by hand) is left alone.
void ReleaseUserSlot(SharedFile& dataFile, const std::string& usersPath, int slot);

}  // namespace tavlo
