// Pack: a table rewritten without its deleted records and with a compacted memo file, put in
// place of the old files behind a commit mark (dbf/commitmark.h), so that a crash or a kill at
// any moment leaves the old table, the new one, or no data file at all until the next open
// finishes the work; never new data beside old memos or the reverse.
//
// Files of a pack of NAME.dbf (memo NAME.dbt; the extensions keep the table's case):
//   NAME.pack-commit            the commit mark: names the files the pack makes and its renames
//   .NAME.pack-PID.dbf/.dbt     the new table, made by the pack (never a file that existed)
//   NAME.bak.dbf, NAME.bak.dbt  the old table, kept until the next pack
// States, as other programs see the table's names:
//   building  the old table; the new files written and flushed      crash: new files removed
//             the old backups deleted, then "moving" in the mark     crash: still undone
//   1. NAME.dbf -> NAME.bak.dbf   no data file: no program opens the table  crash: finished
//   2. NAME.dbt -> NAME.bak.dbt   no data file
//   3. new memo -> NAME.dbt       no data file
//   4. new data -> NAME.dbf       the new table; then the mark goes
// The data file leaves first and comes back last, so no program finds a data file beside a
// memo file that is not its own. All that can refuse the pack is checked before step 1: the
// table held for writing (so no one else writes it), its header, the backups' names free or
// held by files that can be deleted, the new files whole on disk. A failing rename puts the
// earlier ones back. Recovery (FinishInterruptedPack, run by every open and by the next pack)
// acts only on a mark whose owner process is gone, holding the mark's lock.
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

// Packs the table (named as the cursor names it: the extension may be left out or differ in
// case). Refused with an EDatabaseError while another open (another program, or an open cursor
// of this one) writes the table, while another pack of it runs, for a table that may not be
// written, whose header needs a repair, or whose memo file is missing; the table is then
// untouched.
TPackResult PackTable(const std::string& tablePath);

// The commit marks of a pack of the table at tablePath and of a repaired copy written to it.
std::string PackMarkPath(const std::string& tablePath);
std::string RepairMarkPath(const std::string& outputPath);

// Finishes or undoes a pack of the data file at dataPath (or a repaired copy written to it)
// whose owner is gone. While a running pack moves the table's files it waits (up to about ten
// seconds) for it to end. Raises EDatabaseError when an interrupted pack cannot be finished.
void FinishInterruptedPack(const std::string& dataPath);

}  // namespace tavlo
