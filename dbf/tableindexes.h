// The index files attached to one open table: the production index found by the table's
// header (byte 28), a .mdx beside it, and the files the user attached; each read through an
// index reader, its tags' key and FOR expressions compiled against the table. Never writes
// an index file; a file that cannot be read is listed with its reason, never followed.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/indexreader.h"
#include "platform/filesystem.h"

namespace tavlo {

class TDbfFile;
class TColumnLayout;
class TTagKey;

// One tag of an attached file, as the table sees it.
struct TAttachedTag {
  const TIndexReader* reader = nullptr;
  int tag = 0;
  // Whether Tavlo computes this tag's keys; otherwise notUnderstood says why, naming the
  // word it stopped at ("the function SUBS() is not understood").
  bool understood = false;
  std::string notUnderstood;
  std::shared_ptr<TTagKey> key;  // compiled; null when not understood
  bool production = false;       // the tag lies in the table's production index
  std::string path;              // the index file's path

  const TIndexTag& Info() const { return reader->Tag(tag); }
};

// Where a table's production index is: path when found beside it (whatever the case of its
// name), else missing names what should be there ("" when the header calls for none).
struct TProductionIndex {
  std::string path;
  std::string missing;
};

// The production index that the header of file (the table at dataPath) calls for: bit 0x01
// of byte 28 on a FoxPro or Visual FoxPro table, or on one of version 0x03, is a structural
// .cdx (a version 0x03 table may have a .mdx instead); byte 28 set on any other table is a
// .mdx. missing is "/t/NAME.cdx", "/t/NAME.mdx" or "/t/NAME.cdx or /t/NAME.mdx".
TProductionIndex FindProductionIndex(const TDbfFile& file, const std::string& dataPath);

// The reader options a table opens its index files with: no tree is walked (key counts
// stay unknown, -1), so that opening does not grow with the table.
TIndexOpenOptions TableIndexOpenOptions();

// An index file that could not be read at all: its path and why.
struct TUnreadableIndex {
  std::string path;
  std::string reason;
  bool production = false;
};

class TTableIndexes {
 public:
  int FileCount() const { return static_cast<int>(files_.size()); }
  const TIndexReader& File(int file) const {
    return *files_.at(static_cast<std::size_t>(file)).reader;
  }
  std::shared_ptr<const TIndexReader> Reader(int file) const {
    return files_.at(static_cast<std::size_t>(file)).reader;
  }
  bool IsProduction(int file) const { return files_.at(static_cast<std::size_t>(file)).production; }
  // "" or the path (or "A or B") of the production index the header calls for but that is
  // not there.
  const std::string& MissingProduction() const { return missingProduction_; }
  // Files that were to be attached on opening but could not be read.
  const std::vector<TUnreadableIndex>& Unreadable() const { return unreadable_; }
  // Every tag: files in the order attached, tags in file order.
  const std::vector<TAttachedTag>& Tags() const { return tags_; }
  // The tag of that name (case ignored; NDX, NTX and IDX tags are named by the file's base
  // name), nullptr when none; the first one when two files have tags of one name.
  const TAttachedTag* FindTag(std::string_view name) const;
  // The file attached from path (compared as the file registry does), -1 when none.
  int FindFile(const std::string& path) const;

  // Adds the file read by reader; its tags are compiled against file and layout.
  void Add(std::shared_ptr<const TIndexReader> reader, bool production, const TDbfFile& file,
           const TColumnLayout& layout);
  void AddUnreadable(TUnreadableIndex unreadable) { unreadable_.push_back(std::move(unreadable)); }
  void SetMissingProduction(std::string missing) { missingProduction_ = std::move(missing); }
  // Compiles every tag again (the code page changed: case mappings differ).
  void Recompile(const TDbfFile& file, const TColumnLayout& layout);
  void Clear();

 private:
  struct Attached {
    std::shared_ptr<const TIndexReader> reader;
    bool production = false;
  };
  void CompileTags(std::size_t file, const TDbfFile& data, const TColumnLayout& layout);

  std::vector<Attached> files_;
  std::vector<TAttachedTag> tags_;
  std::vector<TUnreadableIndex> unreadable_;
  std::string missingProduction_;
};

// The index file at path read for a table (TableIndexOpenOptions) through the paged file
// that holds it: the one the file registry has, else a new one opened in mode; the reader
// keeps it held while it lives. Raises EIndexFileError for a file that is not an index file
// (or has another extension than .cdx .idx .mdx .ndx .ntx) and the file system's errors.
// walkTrees: walk every tag's tree now, for its key count and the damage inside it (what a
// listing shows); a table's own opening leaves it off, so that it stays fast at any size.
std::shared_ptr<const TIndexReader> ReadHeldIndexFile(const std::string& path, OpenMode mode,
                                                      bool walkTrees = false);

// Fills indexes (cleared first) for the table in file at dataPath: its production index, a
// .mdx beside it, then userPaths, each once; a file that cannot be read is listed in
// Unreadable, never raised.
void AttachTableIndexFiles(TTableIndexes& indexes, const TDbfFile& file,
                           const TColumnLayout& layout, const std::string& dataPath,
                           const std::vector<std::string>& userPaths, bool walkTrees = false);

// The text a table's index files and tags are listed in (tavlo-cli info, "Table information"):
// a line per file (format, path, production, damage), then a line per tag with its key and
// FOR expressions, flags, key type and length, key count and whether Tavlo understands it.
std::string IndexListText(const TTableIndexes& indexes);

}  // namespace tavlo
