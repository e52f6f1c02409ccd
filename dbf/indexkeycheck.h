// The check of a table's index files against the table: every tag's tree (indexcheck), then
// whether each tag holds exactly the keys its expressions give for the table's records. Only
// reads: never writes a table or index file. Holds one bit per record, never all keys.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dbf/tabledoctor.h"

namespace tavlo {

class TDbfFile;
class TTableIndexes;
struct TAttachedTag;

// What one tag's entries say against the table.
struct TTagKeyCheck {
  std::int64_t wrongKeys = 0;  // entries whose key is not the one their record gives
  std::int64_t missing = 0;    // records the FOR expression accepts that have no entry
  std::int64_t lacking = 0;    // entries naming records the table lacks
  std::int64_t twice = 0;      // records with more than one entry
  std::int64_t excluded = 0;   // entries for records the FOR expression leaves out
  std::int64_t failed = 0;     // records whose key could not be computed (not compared)
  std::string firstFailure;    // "record N: why" for the first of them
  // The first differences, kListed at most: "record 17 has key 'PARIS', the index has 'PARSI'".
  std::vector<std::string> listed;

  static constexpr int kListed = 10;
  std::int64_t Differences() const { return wrongKeys + missing + lacking + twice + excluded; }
};

// Compares the entries of tag (understood, its tree sound) with file's records: one entry per
// record, deleted records included, that the FOR expression accepts, with the key the key
// expression gives; a unique tag holds one entry per distinct key, so a record whose key it
// holds for another record is not missing. Raises EIndexDamage when the walk meets damage.
TTagKeyCheck CheckTagKeys(TDbfFile& file, const TAttachedTag& tag);

// Checks every file and tag of indexes against file and adds what it finds, placed
// "Index NAME.cdx" or "Index NAME.cdx, tag CITY": unreadable files, damaged trees, stale tags
// (a line "the index is stale: ..." then the first differences and the counts), and notes for
// the tags whose keys were not checked and why.
void CheckIndexKeys(TDbfFile& file, const TTableIndexes& indexes, TTableReport& report);

}  // namespace tavlo
