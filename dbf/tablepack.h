// Pack: a table rewritten without its deleted records and with a compacted memo file, put in
// place of the old files so that a crash at any moment leaves either the old table or the new
// one complete, never a mix.
//
// Files of a pack of NAME.dbf (memo NAME.dbt; the extensions keep the table's case):
//   NAME.pack.dbf, NAME.pack.dbt   the new table, written whole and flushed first
//   NAME.pack-commit               the commit mark: from here on the pack is rolled forward
//   NAME.bak.dbf, NAME.bak.dbt     the old table, kept until the next pack
// States and transitions:
//   building   (no mark)  -> a failure or crash removes the NAME.pack.* files (roll back)
//   committed  (mark)     -> CommitPack renames NAME.x to NAME.bak.x and NAME.pack.x to NAME.x,
//                            memo first, then removes the mark; a crash part-way is finished
//                            by FinishInterruptedPack, which the cursor runs before it opens
//                            a table.
#pragma once

#include <cstdint>
#include <string>

namespace tavlo {

struct TPackResult {
  std::int64_t kept = 0;
  std::int64_t removed = 0;
  std::string backupPath;      // NAME.bak.dbf
  std::string backupMemoPath;  // NAME.bak.dbt, "" without a memo file
};

// Deleted records of the table, counted from the deletion flags (for the question before a
// pack). Raises the file system's error for a table that cannot be read.
std::int64_t CountDeletedRecords(const std::string& tablePath);

// Packs the table. Refused with an EDatabaseError while another open (another program, or
// an open cursor of this one) holds the table, for a table whose header needs a repair, and
// for a table whose memo file is missing; the table is then untouched.
TPackResult PackTable(const std::string& tablePath);

// Completes a pack that was committed but not finished, or removes the leftovers of one that
// was not committed. Does nothing when no pack was under way.
void FinishInterruptedPack(const std::string& tablePath);

}  // namespace tavlo
