// NDX (dBase III and IV single indexes): 512-byte blocks. Block 0 holds the root block (0),
// the end-of-file block (4), the key length (12), keys per block (14), the key type (16: 0
// character, 1 numeric or date as a double), the entry length (18), the unique flag (23) and
// the key expression (24). A block holds its key count (0) and entries from 4 on: the child
// block, the record number and the key. Interior blocks have one child more than keys and
// record 0; leaves have child 0.
#include "dbf/ndxindex.h"

#include <utility>

#include "platform/filenames.h"

namespace tavlo {

namespace {

constexpr int kBlock = 512;

class TNdxIndex final : public TIndexReader {
 public:
  TNdxIndex(std::shared_ptr<TIndexBytes> bytes, const std::string& path)
      : TIndexReader(std::move(bytes)) {
    info_.format = TIndexFormat::Ndx;
    info_.path = path;
    std::string header;
    if (!bytes_->Read(0, kBlock, header)) NotIndex("it is shorter than its 512-byte header");
    TIndexTag tag;
    tag.name = ChangeFileExt(ExtractFileName(path), "");
    tag.keyLength = static_cast<int>(IndexLe16(header, 12));
    const unsigned perBlock = IndexLe16(header, 14);
    const unsigned type = IndexLe16(header, 16);
    entry_ = IndexLe16(header, 18);
    if (type > 1) NotIndex("its key type " + std::to_string(type) + " is not 0 or 1");
    if (tag.keyLength < 1 || tag.keyLength > 100 || (type == 1 && tag.keyLength != 8)) {
      NotIndex("its key length " + std::to_string(tag.keyLength) + " is impossible");
    }
    if (entry_ < static_cast<unsigned>(tag.keyLength) + 8 || perBlock < 1 ||
        4 + perBlock * entry_ > kBlock) {
      NotIndex("its entries (" + std::to_string(perBlock) + " of " + std::to_string(entry_) +
               " bytes) do not fit a block");
    }
    tag.keyType = type == 1 ? TIndexKeyType::Numeric : TIndexKeyType::Character;
    tag.unique = header[23] != 0;
    tag.keyExpression = IndexText(header, 24, kBlock - 24);
    tag.rootOffset = static_cast<std::int64_t>(IndexLe32(header, 0)) * kBlock;
    info_.tags.push_back(tag);
    SetOrder(0, type == 1 ? TIndexKeyOrder::Double : TIndexKeyOrder::Bytes, false);
  }

  TIndexNode ReadNode(int tag, std::int64_t offset) const override {
    const std::string block = ReadPage(offset, kBlock, kBlock);
    const std::string where = "page " + std::to_string(PageNumber(offset));
    const std::uint32_t count = IndexLe32(block, 0);
    // The child after the last key needs 4 bytes more.
    if (count > (kBlock - 8) / entry_) {
      throw EIndexDamage(where + ": its " + std::to_string(count) + " keys do not fit the block");
    }
    TIndexNode node;
    node.leaf = IndexLe32(block, 4) == 0;
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::size_t at = 4 + i * entry_;
      node.keys.push_back(block.substr(at + 8, Tag(tag).keyLength));
      node.records.push_back(node.leaf ? IndexLe32(block, at + 4) : 0);
      if (!node.leaf) node.children.push_back(Child(IndexLe32(block, at), where));
    }
    if (!node.leaf) node.children.push_back(Child(IndexLe32(block, 4 + count * entry_), where));
    return node;
  }
  std::int64_t PageNumber(std::int64_t offset) const override { return offset / kBlock; }

 private:
  [[noreturn]] void NotIndex(const std::string& reason) const {
    throw EIndexFileError::NotIndex(info_.path, TIndexFormat::Ndx, reason);
  }

  static std::int64_t Child(std::uint32_t block, const std::string& where) {
    if (block == 0) throw EIndexDamage(where + " is an interior block with a child at block 0");
    return static_cast<std::int64_t>(block) * kBlock;
  }

  unsigned entry_ = 0;
};

}  // namespace

std::unique_ptr<TIndexReader> ReadNdxIndex(std::shared_ptr<TIndexBytes> bytes,
                                           const std::string& path, const TIndexOpenOptions&) {
  return std::make_unique<TNdxIndex>(std::move(bytes), path);
}

}  // namespace tavlo
