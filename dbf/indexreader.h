// An open index file of any of the five formats: its tags (read and checked on open) and a
// cursor over the entries of one tag in index order, with a seek that descends the tree. The
// formats supply the nodes (cdxindex, idxindex, mdxindex, ndxindex, ntxindex); the tree code here
// and in indexcheck is shared. Never writes the file; every damage is reported, never followed.
#pragma once

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/indexformat.h"

namespace tavlo {

// One node of a tag's tree, decoded. Leaves hold entries; interior nodes hold children and
// keys: in CDX each key is the last key of the child beside it (as many children as keys), in
// MDX and NDX key i ends child i and one more child follows the last key, and in NTX (a B-tree,
// not a B+-tree) the keys of interior nodes are entries that sort between their children.
struct TIndexNode {
  bool leaf = true;
  std::vector<std::string> keys;       // each exactly the tag's key length
  std::vector<std::uint32_t> records;  // one per key; 0 for MDX/NDX separators
  std::vector<std::int64_t> children;  // interior nodes only: byte offsets of the children
  bool linked = false;                 // the format links nodes of one level (CDX)
  std::int64_t left = -1, right = -1;  // byte offsets of those neighbours, -1 for none
};

// How the keys of a tag compare: as bytes (CDX, NTX, character keys), as MDX BCD numbers or
// as little-endian doubles (MDX dates, NDX numbers); descending stores the greatest key first.
enum class TIndexKeyOrder { Bytes, Bcd, Double };

class TIndexCursor;

class TIndexReader {
 public:
  virtual ~TIndexReader();
  TIndexReader(const TIndexReader&) = delete;
  TIndexReader& operator=(const TIndexReader&) = delete;

  const TIndexFileInfo& Info() const { return info_; }
  int TagCount() const { return static_cast<int>(info_.tags.size()); }
  const TIndexTag& Tag(int tag) const { return info_.tags.at(static_cast<std::size_t>(tag)); }

  // A cursor over tag's entries; it may meet damage that the check reported (EIndexDamage).
  TIndexCursor Cursor(int tag) const;
  // The tag's header could not be read, so it has no tree to follow (its cursor raises
  // EIndexDamage with the tag's reason).
  bool HeaderDamaged(int tag) const;

  // <0, 0, >0 as a sorts before, with or after b in the file's order of tag (descending tags
  // reversed). Keys of different lengths compare as bytes up to the shorter one first.
  int CompareKeys(int tag, std::string_view a, std::string_view b) const;

  // For the tree code: the node at offset of tag's tree (EIndexDamage when it cannot be read),
  // the page number that messages give for an offset, and whether interior keys are entries.
  virtual TIndexNode ReadNode(int tag, std::int64_t offset) const = 0;
  virtual std::int64_t PageNumber(std::int64_t offset) const = 0;
  virtual bool InteriorKeysAreEntries() const { return false; }

 protected:
  explicit TIndexReader(std::shared_ptr<TIndexBytes> bytes) : bytes_(std::move(bytes)) {}
  // Walks every tag whose header was read, filling key count, depth and damage (also for a
  // page that an earlier tag's tree holds); without options.walkTrees the counts stay -1.
  // ReadIndexBytes calls it once the format's reader has read its headers.
  void CheckTags(const TIndexOpenOptions& options);
  friend std::unique_ptr<TIndexReader> ReadIndexBytes(TIndexFormat format,
                                                      std::shared_ptr<TIndexBytes> bytes,
                                                      const std::string& path,
                                                      const TIndexOpenOptions& options);
  void SetOrder(int tag, TIndexKeyOrder order, bool reversed);
  // Marks the tag unreadable for a reason found in its header.
  void DamageHeader(int tag, const std::string& reason);
  // The length bytes of the page at offset; EIndexDamage when they do not lie in the file or
  // begin before first (inside the file's headers).
  std::string ReadPage(std::int64_t offset, std::size_t length, std::int64_t first) const;

  std::shared_ptr<TIndexBytes> bytes_;
  TIndexFileInfo info_;

 private:
  struct Order {
    TIndexKeyOrder order = TIndexKeyOrder::Bytes;
    bool reversed = false;
  };
  std::vector<Order> orders_;
  std::vector<bool> headerDamaged_;
};

// Reads path as the format its extension names (.cdx .idx .mdx .ndx .ntx): the tag list and every
// tag's tree. Raises EIndexFileError when it is not such an index file (or has another
// extension), and the file system's errors when it cannot be opened.
std::unique_ptr<TIndexReader> OpenIndexFile(const std::string& path,
                                            const TIndexOpenOptions& options = {});
// The same for bytes held in memory (path only names it in messages and NDX/NTX tag names).
std::unique_ptr<TIndexReader> ReadIndexImage(TIndexFormat format, const std::string& bytes,
                                             const std::string& path,
                                             const TIndexOpenOptions& options = {});
std::unique_ptr<TIndexReader> ReadIndexBytes(TIndexFormat format,
                                             std::shared_ptr<TIndexBytes> bytes,
                                             const std::string& path,
                                             const TIndexOpenOptions& options);

// Over one tag's entries in the order the file keeps them, either way: the key bytes exactly
// as stored (CDX leaves: completed from the keys before them) and the record number. Valid
// while its reader lives; Key and Record only when not AtEnd.
class TIndexCursor {
 public:
  TIndexCursor(const TIndexReader& reader, int tag);

  // To the first entry; false when the tag has none.
  bool First();
  // To the first entry that does not sort before key (CompareKeys), descending from the root
  // without scanning; false when every entry sorts before it.
  bool Seek(std::string_view key);
  // To the next entry; false at the end.
  bool Next();
  // To the last entry, and to the one before; false when there is none. A walk backward
  // reads one page per level like a forward one, never the whole tag.
  bool Last();
  bool Prev();
  bool AtEnd() const { return stack_.empty(); }
  // Both cursors stand on the same entry of the tree (walks from both ends have met).
  bool SameEntry(const TIndexCursor& other) const;
  const std::string& Key() const;
  std::uint32_t Record() const;

 private:
  struct Frame {
    std::int64_t offset = 0;
    std::shared_ptr<const TIndexNode> node;
    std::size_t index = 0;  // leaf: the entry; interior: the child being visited
    bool atKey = false;     // interior node of an NTX tree: at its key index
  };
  void Start();
  std::shared_ptr<const TIndexNode> Enter(std::int64_t offset);
  void DescendLeftmost(std::int64_t offset);
  void DescendRightmost(std::int64_t offset);
  bool Settle();
  bool SettleBack();
  // A change of direction enters pages again: only the path held counts as met.
  void Turn(bool backward);

  const TIndexReader& reader_;
  int tag_ = 0;
  std::vector<Frame> stack_;
  std::set<std::int64_t> entered_;
  bool backward_ = false;
};

}  // namespace tavlo
