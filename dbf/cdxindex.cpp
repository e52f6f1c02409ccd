// CDX (FoxPro 2, Visual FoxPro, Harbour and xHarbour DBFCDX) and compact IDX (one tag whose
// header is the file's first 1024 bytes, FoxPro 2): 512-byte pages. The file
// header at offset 0 is the header of a compact index whose keys are the tag names and whose
// record numbers are the offsets of the tags' headers. A tag header holds the root (offset 0),
// the key length (12), the options (14: 1 unique, 2 null marker, 4 candidate, 8 FOR, 0x20
// compact, 0x40 compound), the collation's name (494, 8 bytes, empty for MACHINE), the order
// (502: 1 descending) and the expression pool (510 key expression length, 506 FOR length,
// both from 512 on). Interior pages hold key, record and
// child (both big-endian); leaves pack record, duplicate and trailing counts into a few bytes
// per entry and keep the keys' remaining bytes backwards from the page's end.
#include "dbf/cdxindex.h"

#include <cstdio>
#include <set>
#include <utility>
#include <vector>

#include "dbf/indexcheck.h"
#include "platform/filenames.h"

namespace tavlo {

namespace {

constexpr int kPage = 512;
constexpr int kTagHeader = 1024;
constexpr int kMaxKeyLength = 240;
constexpr int kTagNameLength = 10;
constexpr int kLeafHeader = 24;
constexpr int kInteriorHeader = 12;
// Where a tag header names the collation of a tag not in byte order (Visual FoxPro's PINYIN
// tags say "PINYIN" there; MACHINE tags leave it zero).
constexpr int kCollationName = 494;
constexpr int kCollationNameLength = 8;
// Pages the probe for the trailing byte looks at; enough to meet keys of every kind.
constexpr int kProbePages = 256;

std::int64_t Link(std::uint32_t value) {
  return value == 0xFFFFFFFFu ? std::int64_t{-1} : std::int64_t{value};
}

std::string Hex2(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", value);
  return text;
}

// What the pages tell about the byte that stands for the trailing bytes leaves leave out:
// a blank before left-out bytes means they are not blanks, a zero that they are not zeros;
// interior keys are stored whole. skip is the null marker's byte.
struct TrailingVotes {
  int blank = 0;
  int zero = 0;
  bool binary = false;
  int skip = 0;
};

class TCdxIndex final : public TIndexReader {
 public:
  // single: a compact IDX file, one tag whose header is the file's first 1024 bytes.
  TCdxIndex(std::shared_ptr<TIndexBytes> bytes, const std::string& path,
            const TIndexOpenOptions& options, bool single)
      : TIndexReader(std::move(bytes)), first_(single ? kTagHeader : kPage) {
    const TIndexFormat format = single ? TIndexFormat::Idx : TIndexFormat::Cdx;
    info_.format = format;
    info_.path = path;
    std::string header;
    if (!bytes_->Read(0, kPage, header)) {
      throw EIndexFileError::NotIndex(path, format, "it is shorter than its 512-byte header");
    }
    const unsigned keyLength = IndexLe16(header, 12);
    const unsigned options0 = static_cast<std::uint8_t>(header[14]);
    if (single) {
      if ((options0 & 0x60) != 0x20) {
        throw EIndexFileError::NotIndex(
            path, format, "its option byte " + Hex2(options0) + " does not say compact");
      }
      TIndexTag tag;
      tag.name = ChangeFileExt(ExtractFileName(path), "");
      info_.tags.push_back(tag);
      ReadTagHeader(0, options);
      if (!HeaderDamaged(0)) ChooseTrailingByte(info_.tags[0]);
      return;
    }
    if (keyLength != kTagNameLength) {
      throw EIndexFileError::NotIndex(
          path, format,
          "the key length of its tag list is " + std::to_string(keyLength) + ", not 10");
    }
    if ((options0 & 0x60) != 0x60) {
      throw EIndexFileError::NotIndex(
          path, format, "its option byte " + Hex2(options0) + " does not say compact and compound");
    }
    try {
      std::set<std::int64_t> visited;
      ReadTagList(IndexLe32(header, 0), 1, visited);
    } catch (const EIndexDamage& damage) {
      info_.damage = std::string("the tag list is damaged: ") + damage.what();
    }
    for (int t = 0; t < TagCount(); ++t) {
      ReadTagHeader(t, options);
      if (!HeaderDamaged(t)) ChooseTrailingByte(info_.tags[t]);
    }
  }

  TIndexNode ReadNode(int tag, std::int64_t offset) const override {
    const TIndexTag& t = Tag(tag);
    return Node(offset, t.keyLength, t.trailingByte, nullptr);
  }
  std::int64_t PageNumber(std::int64_t offset) const override { return offset / kPage; }

 private:
  TIndexNode Node(std::int64_t offset, int keyLength, char trailing, TrailingVotes* votes) const {
    if (offset % kPage != 0) {
      throw EIndexDamage("a page pointer (offset " + std::to_string(offset) +
                         ") is not on a page boundary");
    }
    const std::string page = ReadPage(offset, kPage, first_);
    const std::string where = "page " + std::to_string(PageNumber(offset));
    const unsigned attributes = IndexLe16(page, 0);
    const unsigned count = IndexLe16(page, 2);
    if (attributes > 7) throw EIndexDamage(where + " has the attributes " + Hex2(attributes));
    TIndexNode node;
    node.linked = true;
    node.left = Link(IndexLe32(page, 4));
    node.right = Link(IndexLe32(page, 8));
    node.leaf = (attributes & 2) != 0;
    if (node.leaf) {
      ReadLeaf(page, where, count, keyLength, trailing, votes, node);
      return node;
    }
    const std::size_t item = static_cast<std::size_t>(keyLength) + 8;
    if (count == 0) throw EIndexDamage(where + " is an interior page without keys");
    if (kInteriorHeader + count * item > kPage) {
      throw EIndexDamage(where + ": its " + std::to_string(count) + " keys do not fit the page");
    }
    for (unsigned i = 0; i < count; ++i) {
      const std::size_t at = kInteriorHeader + i * item;
      node.keys.push_back(page.substr(at, keyLength));
      node.records.push_back(IndexBe32(page, at + keyLength));
      node.children.push_back(IndexBe32(page, at + keyLength + 4));
      if (votes != nullptr) {
        const char last = page[at + keyLength - 1];
        if (last == ' ') ++votes->blank;
        if (last == '\0') ++votes->zero;
      }
    }
    return node;
  }

  void ReadLeaf(const std::string& page, const std::string& where, unsigned count, int keyLength,
                char trailing, TrailingVotes* votes, TIndexNode& node) const {
    const std::uint32_t recordMask = IndexLe32(page, 14);
    const unsigned duplicateMask = static_cast<std::uint8_t>(page[18]);
    const unsigned trailingMask = static_cast<std::uint8_t>(page[19]);
    const unsigned recordBits = static_cast<std::uint8_t>(page[20]);
    const unsigned duplicateBits = static_cast<std::uint8_t>(page[21]);
    const unsigned trailingBits = static_cast<std::uint8_t>(page[22]);
    const unsigned entryBytes = static_cast<std::uint8_t>(page[23]);
    if (count == 0) return;
    if (entryBytes < 1 || entryBytes > 8 || recordBits < 1 || recordBits > 32 ||
        duplicateBits > 8 || trailingBits > 8 ||
        recordBits + duplicateBits + trailingBits > entryBytes * 8) {
      throw EIndexDamage(where + ": its bit counts (" + std::to_string(recordBits) + ", " +
                         std::to_string(duplicateBits) + ", " + std::to_string(trailingBits) +
                         ") do not fit entries of " + std::to_string(entryBytes) + " bytes");
    }
    const std::uint64_t wantRecordMask = (std::uint64_t{1} << recordBits) - 1;
    if (recordMask != wantRecordMask || duplicateMask != (1u << duplicateBits) - 1 ||
        trailingMask != (1u << trailingBits) - 1) {
      throw EIndexDamage(where + ": its masks do not match its bit counts");
    }
    const std::size_t table = kLeafHeader + static_cast<std::size_t>(count) * entryBytes;
    if (table > kPage) {
      throw EIndexDamage(where + ": its " + std::to_string(count) + " keys do not fit the page");
    }
    std::size_t end = kPage;
    int previousReal = 0;
    // Reserved once, so that each key is built in place from the one before it.
    node.keys.reserve(count);
    node.records.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
      std::uint64_t entry = 0;
      for (unsigned b = entryBytes; b-- > 0;) {
        entry = entry << 8 | static_cast<std::uint8_t>(page[kLeafHeader + i * entryBytes + b]);
      }
      const auto record = static_cast<std::uint32_t>(entry & recordMask);
      const int duplicates = static_cast<int>((entry >> recordBits) & duplicateMask);
      const int left = static_cast<int>((entry >> (recordBits + duplicateBits)) & trailingMask);
      if (duplicates + left > keyLength) {
        throw EIndexDamage(where + ": entry " + std::to_string(i + 1) +
                           " shares and leaves out more bytes than a key has");
      }
      if (i == 0 && duplicates > 0) {
        throw EIndexDamage(where + ": its first key shares bytes with no key before it");
      }
      const std::size_t stored = static_cast<std::size_t>(keyLength - duplicates - left);
      if (end < table + stored) throw EIndexDamage(where + ": its keys overlap its entries");
      end -= stored;
      std::string& key = node.keys.emplace_back();
      key.reserve(static_cast<std::size_t>(keyLength));
      if (i > 0) key.append(node.keys[i - 1], 0, static_cast<std::size_t>(duplicates));
      key.append(page, end, stored);
      key.append(static_cast<std::size_t>(left), trailing);
      if (votes != nullptr) Vote(key, duplicates, left, previousReal, *votes);
      node.records.push_back(record);
      previousReal = keyLength - left;
    }
  }

  static void Vote(const std::string& key, int duplicates, int left, int previousReal,
                   TrailingVotes& votes) {
    const int real = static_cast<int>(key.size()) - left;
    for (int i = votes.skip; i < real; ++i) {
      const auto c = static_cast<std::uint8_t>(key[i]);
      if (c < 0x20 || (i == votes.skip && c >= 0x80)) votes.binary = true;
    }
    const int last = real - 1;
    // Only a byte that was stored (or shared from a byte stored before) is evidence.
    if (left == 0 || last < votes.skip || (last < duplicates && last >= previousReal)) return;
    if (key[last] == ' ') ++votes.zero;
    if (key[last] == '\0') ++votes.blank;
  }

  void ReadTagList(std::int64_t offset, int depth, std::set<std::int64_t>& visited) {
    if (depth > kMaxIndexDepth) throw EIndexDamage("it is deeper than 64 levels");
    if (!visited.insert(offset).second) {
      throw EIndexDamage("page " + std::to_string(PageNumber(offset)) + " is used twice");
    }
    const TIndexNode node = Node(offset, kTagNameLength, ' ', nullptr);
    if (!node.leaf) {
      for (std::int64_t child : node.children) ReadTagList(child, depth + 1, visited);
      return;
    }
    for (std::size_t i = 0; i < node.keys.size(); ++i) {
      TIndexTag tag;
      tag.name = IndexText(node.keys[i], 0, kTagNameLength);
      tag.headerOffset = node.records[i];
      info_.tags.push_back(tag);
    }
  }

  void ReadTagHeader(int index, const TIndexOpenOptions& options) {
    TIndexTag& tag = info_.tags[index];
    std::string header;
    // A compact IDX file's one header is at 0; a CDX file's lie after its tag list's header.
    if (tag.headerOffset % kPage != 0 ||
        (tag.headerOffset < kPage && info_.format == TIndexFormat::Cdx)) {
      DamageHeader(index, "its header at offset " + std::to_string(tag.headerOffset) +
                              " is not a page of the file's tags");
      return;
    }
    if (!bytes_->Read(tag.headerOffset, kTagHeader, header)) {
      DamageHeader(index, "its header at offset " + std::to_string(tag.headerOffset) +
                              " lies past the end of the file");
      return;
    }
    tag.rootOffset = IndexLe32(header, 0);
    if (info_.format == TIndexFormat::Idx && tag.rootOffset < first_) {
      DamageHeader(index, "its root (offset " + std::to_string(tag.rootOffset) +
                              ") lies inside the file's header");
      return;
    }
    tag.keyLength = static_cast<int>(IndexLe16(header, 12));
    tag.options = static_cast<std::uint8_t>(header[14]);
    tag.unique = (tag.options & 0x01) != 0;
    tag.nullMarker = (tag.options & 0x02) != 0;
    tag.candidate = (tag.options & 0x04) != 0;
    tag.collation = IndexText(header, kCollationName, kCollationNameLength);
    tag.descending = IndexLe16(header, 502) != 0;
    tag.keyType = options.KeyTypeOf(tag.name);
    const unsigned forLength = IndexLe16(header, 506);
    const unsigned keyPool = IndexLe16(header, 510);
    if (keyPool + forLength > kPage) {
      DamageHeader(index, "its expressions (" + std::to_string(keyPool + forLength) +
                              " bytes) do not fit the 512 bytes kept for them");
      return;
    }
    tag.keyExpression = IndexText(header, kPage, keyPool);
    tag.forExpression = IndexText(header, kPage + keyPool, forLength);
    if ((tag.options & 0x20) == 0) {
      DamageHeader(index, "its option byte " + Hex2(tag.options) + " does not say compact");
    } else if (tag.keyLength < 1 || tag.keyLength > kMaxKeyLength) {
      DamageHeader(index, "its key length " + std::to_string(tag.keyLength) + " is not 1 to 240");
    }
  }

  const std::int64_t first_;  // where pages may begin: after the file's header

  // Leaves leave out trailing blanks of character keys and trailing zeros of other keys, but
  // the file does not say which a tag's keys are: the caller's key type decides, else what the
  // pages show, else a key of 4 or 8 bytes (Visual FoxPro integers, numbers and dates) that
  // looks binary.
  void ChooseTrailingByte(TIndexTag& tag) const {
    if (tag.keyType != TIndexKeyType::Unknown) {
      tag.trailingByte = tag.keyType == TIndexKeyType::Character ? ' ' : '\0';
      return;
    }
    tag.trailingByteGuessed = true;
    TrailingVotes votes;
    votes.skip = tag.nullMarker ? 1 : 0;
    std::set<std::int64_t> seen;
    std::vector<std::int64_t> pending{tag.rootOffset};
    int pages = 0;
    while (!pending.empty() && pages < kProbePages) {
      const std::int64_t offset = pending.back();
      pending.pop_back();
      if (!seen.insert(offset).second) continue;
      try {
        const TIndexNode node = Node(offset, tag.keyLength, ' ', &votes);
        pending.insert(pending.end(), node.children.begin(), node.children.end());
      } catch (const EIndexDamage&) {
        continue;  // the check reports it; other pages may still tell
      }
      ++pages;
    }
    if (votes.blank != votes.zero) {
      tag.trailingByte = votes.blank > votes.zero ? ' ' : '\0';
      return;
    }
    const int valueLength = tag.keyLength - votes.skip;
    tag.trailingByte = (valueLength == 4 || valueLength == 8) && votes.binary ? '\0' : ' ';
  }
};

}  // namespace

std::unique_ptr<TIndexReader> ReadCdxIndex(std::shared_ptr<TIndexBytes> bytes,
                                           const std::string& path,
                                           const TIndexOpenOptions& options) {
  return std::make_unique<TCdxIndex>(std::move(bytes), path, options, false);
}

std::unique_ptr<TIndexReader> ReadCompactIdxIndex(std::shared_ptr<TIndexBytes> bytes,
                                                  const std::string& path,
                                                  const TIndexOpenOptions& options) {
  return std::make_unique<TCdxIndex>(std::move(bytes), path, options, true);
}

}  // namespace tavlo
