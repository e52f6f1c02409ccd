// The table doctor: reads a table's data and memo files byte by byte, lists every problem
// with its place, and writes a repaired copy. Checking never changes a byte of the table;
// repairing writes only the new files and never touches the original. Works on damaged files
// the cursor would refuse or correct, so it reads through TTableLayout, not the cursor.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavlo {

struct TTableProblem {
  std::string place;  // "Header", "Record 12, field CITY", "Memo file", ...
  std::string text;
};

struct TTableReport {
  std::vector<TTableProblem> problems;
  // What the check did not look at (the fields of a FoxPro table): said, but no problem.
  std::vector<TTableProblem> notes;
  // Problems of records not listed one by one (the list stops after kListedRecordProblems).
  std::int64_t unlistedProblems = 0;
  std::int64_t records = 0;  // whole records in the file
  std::int64_t deleted = 0;
  std::int64_t damagedFlags = 0;  // records whose flag is neither blank nor '*' (read as live)
  std::string memoPath;           // "" when the table has no memo fields

  static constexpr int kListedRecordProblems = 200;
  bool Clean() const { return problems.empty() && unlistedProblems == 0; }
  // One line per problem ("place: text"), one per note ("Note: place: text") and a closing
  // line with the totals; every line ends with a line break.
  std::string Text() const;
};

// Reads path (and its memo file) without writing, then the index files an open attaches (the
// production index, a .mdx beside it, and indexFiles): each tag's tree and whether it holds
// the keys the table gives (dbf/indexkeycheck.h). Raises the file system's error when the
// data file cannot be opened.
TTableReport CheckTable(const std::string& path, const std::vector<std::string>& indexFiles = {});

// bytes for a report line: control bytes (a line break in a damaged value or name) as \xNN,
// so that every problem stays on its own line.
std::string EscapedReportBytes(const std::string& bytes);

struct TRepairResult {
  TTableReport report;               // the problems found in the original
  std::vector<std::string> actions;  // what the copy does about them, one line each
  std::int64_t unlistedActions = 0;  // changes of records beyond the listed ones
  std::int64_t recordsWritten = 0;
  std::int64_t rejected = 0;  // values blanked in the copy, listed in rejectsPath
  std::string outputPath;     // the copy's data file
  std::string memoPath;       // the copy's memo file, "" when none was written
  std::string rejectsPath;    // "" when no value was rejected
  // The check's report, a blank line, "The repaired copy:" and one line per action, then
  // the files written.
  std::string Text() const;
};

// Writes a repaired copy of path to outputPath (".dbf" is added to a name without an
// extension; another extension is refused) with its memo file beside it: the record count
// from the file size, a correct header and terminator, proper deletion flags, a memo file
// with a header (made new when the original is missing or empty). Values that do not parse,
// memo pointers that lead nowhere and a cut-off last record are left out of the copy and
// listed with their stored bytes in NAME.rejects.csv, so the copy reads cleanly everywhere
// and nothing is lost. Refuses any of its files that exists already. A repair that fails
// removes the files it made, so it can be run again. The original is only read.
TRepairResult RepairTable(const std::string& path, const std::string& outputPath);

// The memo file of a dBase table: its name with ".dbt" in whatever case it has on disk; the
// lower-case name when there is none.
std::string MemoFileOf(const std::string& tablePath);

}  // namespace tavlo
