// The one reading of a record's deletion flag, shared by the cursor, the grid, dump, check,
// pack and repair so that they never disagree about which records a table holds.
//
// A blank is a live record and '*' a deleted one, as every dBase program writes them. Any
// other byte is a damaged flag. Such a record still holds its data, and the programs that
// mark deletions (dBase, Clipper, FoxPro, python3-dbf) mark them only with '*', so it is read
// as live: shown, kept by pack, counted with the live records. Check reports the damage and
// repair writes a blank in its place.
#pragma once

#include <cstdint>

namespace tavlo {

enum class RecordFlag { Live, Deleted, Damaged };

constexpr std::uint8_t kLiveFlag = ' ';
constexpr std::uint8_t kDeletedFlag = '*';

constexpr RecordFlag RecordFlagOf(std::uint8_t flag) {
  return flag == kLiveFlag      ? RecordFlag::Live
         : flag == kDeletedFlag ? RecordFlag::Deleted
                                : RecordFlag::Damaged;
}

// Deleted by the rule above: only '*'. A damaged flag reads as live.
constexpr bool IsDeletedFlag(std::uint8_t flag) {
  return RecordFlagOf(flag) == RecordFlag::Deleted;
}

}  // namespace tavlo
