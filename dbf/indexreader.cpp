// The shared part of the index readers: key order, the tag check on open, the cursor, and
// choosing the format's reader.
#include "dbf/indexreader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "dbf/cdxindex.h"
#include "dbf/idxindex.h"
#include "dbf/indexcheck.h"
#include "dbf/mdxindex.h"
#include "dbf/ndxindex.h"
#include "dbf/ntxindex.h"

namespace tavlo {

namespace {

int CompareBytes(std::string_view a, std::string_view b) {
  const int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
  if (c != 0) return c < 0 ? -1 : 1;
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

int CompareNumbers(double a, double b) {
  return a < b ? -1 : a > b ? 1 : 0;
}

bool LeDouble(std::string_view key, double& value) {
  if (key.size() < 8) return false;
  std::uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = bits << 8 | static_cast<std::uint8_t>(key[i]);
  std::memcpy(&value, &bits, sizeof value);
  return !std::isnan(value);
}

}  // namespace

TIndexReader::~TIndexReader() = default;

TIndexCursor TIndexReader::Cursor(int tag) const {
  return TIndexCursor(*this, tag);
}

bool TIndexReader::HeaderDamaged(int tag) const {
  return static_cast<std::size_t>(tag) < headerDamaged_.size() && headerDamaged_[tag];
}

void TIndexReader::DamageHeader(int tag, const std::string& reason) {
  if (headerDamaged_.size() <= static_cast<std::size_t>(tag)) headerDamaged_.resize(tag + 1);
  headerDamaged_[tag] = true;
  info_.tags[tag].readable = false;
  info_.tags[tag].damage = reason;
}

void TIndexReader::SetOrder(int tag, TIndexKeyOrder order, bool reversed) {
  if (orders_.size() <= static_cast<std::size_t>(tag)) orders_.resize(tag + 1);
  orders_[tag] = Order{order, reversed};
}

int TIndexReader::CompareKeys(int tag, std::string_view a, std::string_view b) const {
  const Order order = static_cast<std::size_t>(tag) < orders_.size() ? orders_[tag] : Order{};
  int result = 0;
  double x = 0, y = 0;
  switch (order.order) {
    case TIndexKeyOrder::Bytes:
      result = CompareBytes(a, b);
      break;
    case TIndexKeyOrder::Bcd:
      // A key that is no BCD number sorts by its bytes, so that the order stays total.
      result = DecodeMdxNumber(a, x) && DecodeMdxNumber(b, y) ? CompareNumbers(x, y)
                                                              : CompareBytes(a, b);
      break;
    case TIndexKeyOrder::Double:
      result = LeDouble(a, x) && LeDouble(b, y) ? CompareNumbers(x, y) : CompareBytes(a, b);
      break;
  }
  return order.reversed ? -result : result;
}

void TIndexReader::CheckTags(const TIndexOpenOptions& options) {
  if (!options.walkTrees) {
    for (TIndexTag& t : info_.tags) t.keyCount = -1;
    return;
  }
  // Which tag's walk met each page first: no page may belong to two tags.
  std::map<std::int64_t, int> owners;
  for (int tag = 0; tag < TagCount(); ++tag) {
    TIndexTag& t = info_.tags[tag];
    if (HeaderDamaged(tag)) continue;
    TIndexTagCheck check = CheckIndexTag(*this, tag);
    t.keyCount = check.entries;
    t.depth = check.depth;
    for (std::int64_t page : check.pages) {
      const auto owner = owners.emplace(page, tag);
      if (!owner.second && check.damage.empty()) {
        check.damage = "page " + std::to_string(PageNumber(page)) + " is used twice (also by " +
                       info_.tags[owner.first->second].name + ")";
      }
    }
    if (!check.damage.empty()) {
      t.readable = false;
      t.damage = check.damage;
    }
  }
}

std::string TIndexReader::ReadPage(std::int64_t offset, std::size_t length,
                                   std::int64_t first) const {
  const std::string page = "page " + std::to_string(PageNumber(offset));
  if (offset < first) throw EIndexDamage(page + " lies inside the file's header");
  std::string bytes;
  if (!bytes_->Read(offset, length, bytes)) {
    throw EIndexDamage(page + " lies past the end of the file");
  }
  return bytes;
}

std::unique_ptr<TIndexReader> ReadIndexBytes(TIndexFormat format,
                                             std::shared_ptr<TIndexBytes> bytes,
                                             const std::string& path,
                                             const TIndexOpenOptions& options) {
  std::unique_ptr<TIndexReader> reader;
  switch (format) {
    case TIndexFormat::Cdx:
      reader = ReadCdxIndex(std::move(bytes), path, options);
      break;
    case TIndexFormat::Mdx:
      reader = ReadMdxIndex(std::move(bytes), path, options);
      break;
    case TIndexFormat::Ndx:
      reader = ReadNdxIndex(std::move(bytes), path, options);
      break;
    case TIndexFormat::Ntx:
      reader = ReadNtxIndex(std::move(bytes), path, options);
      break;
    case TIndexFormat::Idx:
      reader = ReadIdxIndex(std::move(bytes), path, options);
      break;
  }
  reader->CheckTags(options);
  return reader;
}

std::unique_ptr<TIndexReader> OpenIndexFile(const std::string& path,
                                            const TIndexOpenOptions& options) {
  TIndexFormat format = TIndexFormat::Cdx;
  if (!IndexFormatOfPath(path, format)) {
    throw EIndexFileError::UnknownExtension(path);
  }
  auto bytes = std::make_shared<TIndexBytes>(Files().Open(path, OpenMode::ReadOnly));
  return ReadIndexBytes(format, std::move(bytes), path, options);
}

std::unique_ptr<TIndexReader> ReadIndexImage(TIndexFormat format, const std::string& image,
                                             const std::string& path,
                                             const TIndexOpenOptions& options) {
  auto stream = NewMemoryStream();
  if (!image.empty()) stream->WriteAt(0, image.data(), image.size());
  return ReadIndexBytes(format, std::make_shared<TIndexBytes>(std::move(stream)), path, options);
}

// The cursor. The stack holds the path from the root to the current position; an interior
// frame on top means its child index has just been finished (or, in NTX trees, that the
// cursor stands on its key index).

TIndexCursor::TIndexCursor(const TIndexReader& reader, int tag) : reader_(reader), tag_(tag) {}

std::shared_ptr<const TIndexNode> TIndexCursor::Enter(std::int64_t offset) {
  if (stack_.size() >= static_cast<std::size_t>(kMaxIndexDepth)) {
    throw EIndexDamage("the tree is deeper than " + std::to_string(kMaxIndexDepth) + " levels");
  }
  // A page met twice would repeat entries, or loop for ever if it is its own ancestor.
  if (!entered_.insert(offset).second) {
    throw EIndexDamage("page " + std::to_string(reader_.PageNumber(offset)) + " is used twice");
  }
  return std::make_shared<const TIndexNode>(reader_.ReadNode(tag_, offset));
}

void TIndexCursor::DescendLeftmost(std::int64_t offset) {
  for (;;) {
    Frame frame;
    frame.offset = offset;
    frame.node = Enter(offset);
    stack_.push_back(frame);
    if (frame.node->leaf) return;
    if (frame.node->children.empty()) return;  // an empty interior node: Settle leaves it
    offset = frame.node->children.front();
  }
}

bool TIndexCursor::Settle() {
  while (!stack_.empty()) {
    Frame& frame = stack_.back();
    if (frame.node->leaf) {
      if (frame.index < frame.node->keys.size()) return true;
      stack_.pop_back();
      continue;
    }
    if (frame.atKey) return true;
    // Back from child frame.index.
    if (reader_.InteriorKeysAreEntries() && frame.index < frame.node->keys.size()) {
      frame.atKey = true;
      return true;
    }
    ++frame.index;
    if (frame.index < frame.node->children.size()) {
      DescendLeftmost(frame.node->children[frame.index]);
      continue;
    }
    stack_.pop_back();
  }
  return false;
}

void TIndexCursor::DescendRightmost(std::int64_t offset) {
  for (;;) {
    Frame frame;
    frame.offset = offset;
    frame.node = Enter(offset);
    if (frame.node->leaf) {
      // An empty leaf gets an index past its end, which SettleBack leaves.
      frame.index = frame.node->keys.empty() ? 0 : frame.node->keys.size() - 1;
      stack_.push_back(frame);
      return;
    }
    if (frame.node->children.empty()) {
      stack_.push_back(frame);
      return;
    }
    frame.index = frame.node->children.size() - 1;
    stack_.push_back(frame);
    offset = frame.node->children.back();
  }
}

bool TIndexCursor::SettleBack() {
  // As Settle, backward: an interior frame on top has just finished child frame.index.
  while (!stack_.empty()) {
    Frame& frame = stack_.back();
    if (frame.node->leaf) {
      if (frame.index < frame.node->keys.size()) return true;
      stack_.pop_back();
      continue;
    }
    if (frame.atKey) return true;
    // NTX: key i - 1 lies between children i - 1 and i.
    if (reader_.InteriorKeysAreEntries() && frame.index > 0 &&
        frame.index - 1 < frame.node->keys.size()) {
      --frame.index;
      frame.atKey = true;
      return true;
    }
    if (frame.index == 0 || frame.node->children.empty()) {
      stack_.pop_back();
      continue;
    }
    --frame.index;
    DescendRightmost(frame.node->children[frame.index]);
  }
  return false;
}

void TIndexCursor::Turn(bool backward) {
  if (backward_ == backward) return;
  backward_ = backward;
  entered_.clear();
  for (const Frame& frame : stack_) entered_.insert(frame.offset);
}

bool TIndexCursor::Last() {
  Start();
  backward_ = true;
  DescendRightmost(reader_.Tag(tag_).rootOffset);
  return SettleBack();
}

bool TIndexCursor::Prev() {
  if (stack_.empty()) return false;
  Turn(true);
  Frame& frame = stack_.back();
  if (frame.node->leaf) {
    if (frame.index == 0) {
      stack_.pop_back();
    } else {
      --frame.index;
      return true;
    }
  } else {
    // At key j of an NTX interior node: the entries before it end child j.
    frame.atKey = false;
    DescendRightmost(frame.node->children[frame.index]);
  }
  return SettleBack();
}

void TIndexCursor::Start() {
  stack_.clear();
  entered_.clear();
  backward_ = false;
  if (reader_.HeaderDamaged(tag_)) throw EIndexDamage(reader_.Tag(tag_).damage);
}

bool TIndexCursor::First() {
  Start();
  DescendLeftmost(reader_.Tag(tag_).rootOffset);
  return Settle();
}

bool TIndexCursor::Seek(std::string_view key) {
  Start();
  std::int64_t offset = reader_.Tag(tag_).rootOffset;
  for (;;) {
    Frame frame;
    frame.offset = offset;
    frame.node = Enter(offset);
    const std::vector<std::string>& keys = frame.node->keys;
    std::size_t i = 0;
    while (i < keys.size() && reader_.CompareKeys(tag_, keys[i], key) < 0) ++i;
    frame.index = i;
    if (frame.node->leaf) {
      stack_.push_back(frame);
      return Settle();
    }
    if (i >= frame.node->children.size()) {
      // Every key of this subtree sorts before the one sought: go on after it.
      frame.index = frame.node->children.empty() ? 0 : frame.node->children.size() - 1;
      stack_.push_back(frame);
      if (frame.node->children.empty()) stack_.pop_back();
      return Settle();
    }
    stack_.push_back(frame);
    offset = frame.node->children[i];
  }
}

bool TIndexCursor::Next() {
  if (stack_.empty()) return false;
  Turn(false);
  Frame& frame = stack_.back();
  if (frame.node->leaf) {
    ++frame.index;
  } else {
    frame.atKey = false;
    ++frame.index;
    if (frame.index < frame.node->children.size()) {
      DescendLeftmost(frame.node->children[frame.index]);
    } else {
      stack_.pop_back();
    }
  }
  return Settle();
}

bool TIndexCursor::SameEntry(const TIndexCursor& other) const {
  if (stack_.empty() || other.stack_.empty()) return false;
  const Frame& a = stack_.back();
  const Frame& b = other.stack_.back();
  return a.offset == b.offset && a.index == b.index && a.atKey == b.atKey;
}

const std::string& TIndexCursor::Key() const {
  const Frame& frame = stack_.back();
  return frame.node->keys[frame.index];
}

std::uint32_t TIndexCursor::Record() const {
  const Frame& frame = stack_.back();
  return frame.node->records[frame.index];
}

}  // namespace tavlo
