// MDX (dBase IV to 7, the BDE): pages of 512 bytes grouped into blocks (header word 20: pages
// per block, 22: block bytes). The file header is followed at 544 by the tag table (header
// byte 25: its entries, 26: their length, word 28: tags in use): per tag the page of its
// header, its name (11 bytes) and key type (20). A tag header holds the root page (0), the key
// format (8: 0x08 descending), key type (9), key length (12), keys per block
// (14), entry length (18), unique flag (23), key expression (24), a FOR flag (245) and the FOR
// expression (762). A block holds its key count (0) and entries of a 4-byte pointer and a key
// from 8 on; interior blocks have one pointer more than keys (children as page numbers),
// leaves a zero there and record numbers in the others.
#include "dbf/mdxindex.h"

#include <utility>

namespace tavlo {

namespace {

constexpr int kPage = 512;
constexpr int kTagTable = 544;
constexpr int kFirstNode = 2048;  // the file header and the tag table fill the first 4 pages
constexpr int kTagHeader = 1024;
constexpr int kForExpression = 762;

class TMdxIndex final : public TIndexReader {
 public:
  TMdxIndex(std::shared_ptr<TIndexBytes> bytes, const std::string& path)
      : TIndexReader(std::move(bytes)) {
    info_.format = TIndexFormat::Mdx;
    info_.path = path;
    std::string header;
    if (!bytes_->Read(0, 48, header)) NotIndex("it is shorter than its 48-byte header");
    const unsigned pages = IndexLe16(header, 20);
    blockBytes_ = IndexLe16(header, 22);
    const unsigned entries = static_cast<std::uint8_t>(header[25]);
    const unsigned entryLength = static_cast<std::uint8_t>(header[26]);
    const unsigned tags = IndexLe16(header, 28);
    if (pages < 1 || pages > 64 || blockBytes_ != pages * kPage) {
      NotIndex("its block size (" + std::to_string(pages) + " pages, " +
               std::to_string(blockBytes_) + " bytes) is impossible");
    }
    if (entryLength != 32 || entries < 1 || entries > 48 || tags > entries) {
      NotIndex("its tag table (" + std::to_string(tags) + " of " + std::to_string(entries) +
               " entries of " + std::to_string(entryLength) + " bytes) is impossible");
    }
    std::string table;
    if (!bytes_->Read(kTagTable, static_cast<std::size_t>(tags) * entryLength, table)) {
      NotIndex("it is shorter than its tag table");
    }
    for (unsigned t = 0; t < tags; ++t) {
      const std::string entry = table.substr(t * entryLength, entryLength);
      TIndexTag tag;
      tag.name = IndexText(entry, 4, 11);
      tag.headerOffset = static_cast<std::int64_t>(IndexLe32(entry, 0)) * kPage;
      info_.tags.push_back(tag);
      ReadTagHeader(static_cast<int>(t));
    }
  }

  TIndexNode ReadNode(int tag, std::int64_t offset) const override {
    if (HeaderDamaged(tag)) throw EIndexDamage(Tag(tag).damage);
    const std::string block = ReadPage(offset, blockBytes_, kFirstNode);
    const TIndexTag& t = Tag(tag);
    const std::string where = "page " + std::to_string(PageNumber(offset));
    const std::uint32_t count = IndexLe32(block, 0);
    const std::size_t item = entryLengths_[tag];
    if (count > (blockBytes_ - 12) / item) {
      throw EIndexDamage(where + ": its " + std::to_string(count) + " keys do not fit the block");
    }
    TIndexNode node;
    node.leaf = IndexLe32(block, 8 + count * item) == 0;
    for (std::uint32_t i = 0; i < count; ++i) {
      node.keys.push_back(block.substr(12 + i * item, t.keyLength));
      const std::uint32_t pointer = IndexLe32(block, 8 + i * item);
      node.records.push_back(node.leaf ? pointer : 0);
      if (!node.leaf) node.children.push_back(Child(pointer, where));
    }
    if (!node.leaf) node.children.push_back(Child(IndexLe32(block, 8 + count * item), where));
    return node;
  }
  std::int64_t PageNumber(std::int64_t offset) const override { return offset / kPage; }

 private:
  [[noreturn]] void NotIndex(const std::string& reason) const {
    throw EIndexFileError::NotIndex(info_.path, TIndexFormat::Mdx, reason);
  }

  static std::int64_t Child(std::uint32_t page, const std::string& where) {
    if (page == 0) throw EIndexDamage(where + " is an interior block with a child at page 0");
    return static_cast<std::int64_t>(page) * kPage;
  }

  void ReadTagHeader(int index) {
    TIndexTag& tag = info_.tags[index];
    entryLengths_.push_back(0);
    std::string header;
    if (tag.headerOffset < kFirstNode || !bytes_->Read(tag.headerOffset, kTagHeader, header)) {
      DamageHeader(index, "its header at page " + std::to_string(tag.headerOffset / kPage) +
                              (tag.headerOffset < kFirstNode ? " lies inside the file's header"
                                                             : " lies past the end of the file"));
      return;
    }
    tag.rootOffset = static_cast<std::int64_t>(IndexLe32(header, 0)) * kPage;
    tag.options = static_cast<std::uint8_t>(header[8]);
    const char type = header[9];
    tag.keyLength = static_cast<int>(IndexLe16(header, 12));
    const unsigned item = IndexLe16(header, 18);
    tag.unique = header[23] != 0;
    tag.descending = (tag.options & 0x08) != 0;
    tag.keyExpression = IndexText(header, 24, 221);
    if (header[245] != 0) tag.forExpression = IndexText(header, kForExpression, 256);
    TIndexKeyOrder order = TIndexKeyOrder::Bytes;
    if (type == 'C') {
      tag.keyType = TIndexKeyType::Character;
    } else if (type == 'N' || type == 'F') {
      tag.keyType = TIndexKeyType::Numeric;
      order = TIndexKeyOrder::Bcd;
    } else if (type == 'D') {
      tag.keyType = TIndexKeyType::Date;
      order = TIndexKeyOrder::Double;
    }
    SetOrder(index, order, tag.descending);
    if (tag.keyType == TIndexKeyType::Unknown) {
      DamageHeader(index, "its key type " + std::to_string(static_cast<std::uint8_t>(type)) +
                              " is not C, N, F or D");
    } else if (tag.keyLength < 1 || tag.keyLength > 100 ||
               item < static_cast<unsigned>(tag.keyLength) + 4 || 12 + item > blockBytes_) {
      DamageHeader(index, "its key length " + std::to_string(tag.keyLength) + " and entry length " +
                              std::to_string(item) + " do not fit its blocks");
    } else {
      entryLengths_.back() = item;
    }
  }

  unsigned blockBytes_ = 0;
  std::vector<std::size_t> entryLengths_;
};

}  // namespace

std::unique_ptr<TIndexReader> ReadMdxIndex(std::shared_ptr<TIndexBytes> bytes,
                                           const std::string& path, const TIndexOpenOptions&) {
  return std::make_unique<TMdxIndex>(std::move(bytes), path);
}

}  // namespace tavlo
