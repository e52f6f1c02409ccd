// NTX (Clipper, Harbour, X# and Visual Objects DBFNTX): a B-tree of 1024-byte pages. The
// header holds the signature (0), the root page's offset (4), the entry length (12: key length
// plus 8), key length (14), decimals (16), entries per page (18), the key expression (22),
// the unique flag (278) and, in the later layout, the descending flag (280), the FOR
// expression (282) and the order name (538). A page holds its key count (0), a table of
// entry offsets (2) and entries of child offset, record number and key; the child before entry
// i holds the keys sorting before it, the one after the last key the greatest.
#include "dbf/ntxindex.h"

#include <utility>

#include "platform/filenames.h"

namespace tavlo {

namespace {

constexpr int kPage = 1024;

class TNtxIndex final : public TIndexReader {
 public:
  TNtxIndex(std::shared_ptr<TIndexBytes> bytes, const std::string& path,
            const TIndexOpenOptions& options)
      : TIndexReader(std::move(bytes)) {
    info_.format = TIndexFormat::Ntx;
    info_.path = path;
    std::string header;
    if (!bytes_->Read(0, kPage, header)) NotIndex("it is shorter than its 1024-byte header");
    const unsigned signature = static_cast<std::uint8_t>(header[0]);
    item_ = IndexLe16(header, 12);
    const unsigned keyLength = IndexLe16(header, 14);
    perPage_ = IndexLe16(header, 18);
    if ((signature & 7) != 3 && (signature & 7) != 6 && (signature & 7) != 7) {
      NotIndex("its signature byte " + std::to_string(signature) + " is not 3, 6 or 7");
    }
    if (keyLength < 1 || keyLength > 256 || item_ != keyLength + 8) {
      NotIndex("its key length " + std::to_string(keyLength) + " and entry length " +
               std::to_string(item_) + " do not match");
    }
    if (perPage_ < 2 || 2 + (perPage_ + 1) * (item_ + 2) > kPage) {
      NotIndex("its " + std::to_string(perPage_) + " entries per page do not fit a page");
    }
    TIndexTag tag;
    tag.name = ChangeFileExt(ExtractFileName(path), "");
    tag.keyLength = static_cast<int>(keyLength);
    tag.keyDecimals = static_cast<int>(IndexLe16(header, 16));
    tag.keyExpression = IndexText(header, 22, 256);
    tag.unique = header[278] != 0;
    tag.descending = header[280] != 0;
    tag.forExpression = IndexText(header, 282, 256);
    tag.rootOffset = IndexLe32(header, 4);
    tag.keyType = options.KeyTypeOf(tag.name);
    info_.tags.push_back(tag);
  }

  TIndexNode ReadNode(int tag, std::int64_t offset) const override {
    if (offset % kPage != 0) {
      throw EIndexDamage("a page pointer (offset " + std::to_string(offset) +
                         ") is not on a page boundary");
    }
    const std::string page = ReadPage(offset, kPage, kPage);
    const std::string where = "page " + std::to_string(PageNumber(offset));
    const unsigned count = IndexLe16(page, 0);
    if (count > perPage_) {
      throw EIndexDamage(where + " holds " + std::to_string(count) + " keys, more than the " +
                         std::to_string(perPage_) + " a page takes");
    }
    TIndexNode node;
    for (unsigned i = 0; i <= count; ++i) {
      const unsigned at = IndexLe16(page, 2 + 2 * i);
      if (at < 2 + 2 * (count + 1) || at + item_ > kPage) {
        throw EIndexDamage(where + ": entry " + std::to_string(i + 1) + " lies at offset " +
                           std::to_string(at) + ", outside the page's entries");
      }
      const std::uint32_t child = IndexLe32(page, at);
      if (i == 0) node.leaf = child == 0;
      if ((child == 0) != node.leaf) {
        throw EIndexDamage(where + " mixes entries with and without a child page");
      }
      if (!node.leaf) node.children.push_back(child);
      if (i == count) break;
      node.records.push_back(IndexLe32(page, at + 4));
      node.keys.push_back(page.substr(at + 8, Tag(tag).keyLength));
    }
    return node;
  }
  std::int64_t PageNumber(std::int64_t offset) const override { return offset / kPage; }
  bool InteriorKeysAreEntries() const override { return true; }

 private:
  [[noreturn]] void NotIndex(const std::string& reason) const {
    throw EIndexFileError::NotIndex(info_.path, TIndexFormat::Ntx, reason);
  }

  unsigned item_ = 0;
  unsigned perPage_ = 0;
};

}  // namespace

std::unique_ptr<TIndexReader> ReadNtxIndex(std::shared_ptr<TIndexBytes> bytes,
                                           const std::string& path,
                                           const TIndexOpenOptions& options) {
  return std::make_unique<TNtxIndex>(std::move(bytes), path, options);
}

}  // namespace tavlo
