// IDX (FoxBASE+, FoxPro): one tag per file. The option byte (14) tells the layouts apart:
// 0x20 is the compact layout, a CDX tag whose header fills the first 1024 bytes (cdxindex);
// otherwise the uncompressed one of 512-byte pages. Its header holds the root (0), the free
// list (4), the file size (8), the key length (12), the options (14: 1 unique, 8 FOR), the
// key expression (16, 220 bytes) and the FOR expression (236, 220 bytes), integers
// little-endian. A page holds its attributes (0: 1 root, 2 leaf), key count (2), left and
// right neighbours (4, 8) and from 12 on entries of the key and a big-endian pointer: the
// record number in leaves, the child's offset in interior pages, whose keys are the last
// key of the child beside them.
#include "dbf/idxindex.h"

#include <cstdio>
#include <utility>

#include "dbf/cdxindex.h"
#include "platform/filenames.h"

namespace tavlo {

namespace {

constexpr int kPage = 512;
constexpr int kEntries = 12;
constexpr int kExpressionLength = 220;
constexpr unsigned kCompact = 0x20;
constexpr unsigned kCompound = 0x40;

std::int64_t Link(std::uint32_t value) {
  return value == 0xFFFFFFFFu ? std::int64_t{-1} : std::int64_t{value};
}

class TStandardIdxIndex final : public TIndexReader {
 public:
  TStandardIdxIndex(std::shared_ptr<TIndexBytes> bytes, const std::string& path,
                    const std::string& header, const TIndexOpenOptions& options)
      : TIndexReader(std::move(bytes)) {
    info_.format = TIndexFormat::Idx;
    info_.path = path;
    TIndexTag tag;
    tag.name = ChangeFileExt(ExtractFileName(path), "");
    tag.rootOffset = IndexLe32(header, 0);
    tag.keyLength = static_cast<int>(IndexLe16(header, 12));
    tag.options = static_cast<std::uint8_t>(header[14]);
    tag.unique = (tag.options & 0x01) != 0;
    tag.keyExpression = IndexText(header, 16, kExpressionLength);
    if ((tag.options & 0x08) != 0) {
      tag.forExpression = IndexText(header, 16 + kExpressionLength, kExpressionLength);
    }
    tag.keyType = options.KeyTypeOf(tag.name);
    if (tag.keyLength < 1 || kEntries + tag.keyLength + 4 > kPage) {
      throw EIndexFileError::NotIndex(
          path, TIndexFormat::Idx,
          "its key length " + std::to_string(tag.keyLength) + " does not fit a page");
    }
    if (tag.keyExpression.empty()) {
      throw EIndexFileError::NotIndex(path, TIndexFormat::Idx, "it has no key expression");
    }
    info_.tags.push_back(tag);
  }

  TIndexNode ReadNode(int tag, std::int64_t offset) const override {
    if (offset % kPage != 0) {
      throw EIndexDamage("a page pointer (offset " + std::to_string(offset) +
                         ") is not on a page boundary");
    }
    const std::string page = ReadPage(offset, kPage, kPage);
    const std::string where = "page " + std::to_string(PageNumber(offset));
    const unsigned attributes = IndexLe16(page, 0);
    const unsigned count = IndexLe16(page, 2);
    if (attributes > 3) {
      char text[16];
      std::snprintf(text, sizeof text, "0x%02X", attributes);
      throw EIndexDamage(where + " has the attributes " + text);
    }
    const int keyLength = Tag(tag).keyLength;
    const std::size_t item = static_cast<std::size_t>(keyLength) + 4;
    if (kEntries + count * item > kPage) {
      throw EIndexDamage(where + ": its " + std::to_string(count) + " keys do not fit the page");
    }
    TIndexNode node;
    node.leaf = (attributes & 2) != 0;
    node.linked = true;
    node.left = Link(IndexLe32(page, 4));
    node.right = Link(IndexLe32(page, 8));
    if (!node.leaf && count == 0) throw EIndexDamage(where + " is an interior page without keys");
    for (unsigned i = 0; i < count; ++i) {
      const std::size_t at = kEntries + i * item;
      node.keys.push_back(page.substr(at, static_cast<std::size_t>(keyLength)));
      const std::uint32_t pointer = IndexBe32(page, at + static_cast<std::size_t>(keyLength));
      if (node.leaf) {
        node.records.push_back(pointer);
      } else {
        node.records.push_back(0);
        node.children.push_back(pointer);
      }
    }
    return node;
  }
  std::int64_t PageNumber(std::int64_t offset) const override { return offset / kPage; }
};

}  // namespace

std::unique_ptr<TIndexReader> ReadIdxIndex(std::shared_ptr<TIndexBytes> bytes,
                                           const std::string& path,
                                           const TIndexOpenOptions& options) {
  std::string header;
  if (!bytes->Read(0, kPage, header)) {
    throw EIndexFileError::NotIndex(path, TIndexFormat::Idx,
                                    "it is shorter than its 512-byte header");
  }
  const unsigned optionByte = static_cast<std::uint8_t>(header[14]);
  if ((optionByte & kCompound) != 0) {
    throw EIndexFileError::NotIndex(path, TIndexFormat::Idx,
                                    "its option byte says compound (a CDX file)");
  }
  if ((optionByte & kCompact) != 0) return ReadCompactIdxIndex(std::move(bytes), path, options);
  return std::make_unique<TStandardIdxIndex>(std::move(bytes), path, header, options);
}

}  // namespace tavlo
