// What the index readers tell about an index file (.cdx, .mdx, .ndx, .ntx): its tags, each
// with its expressions, flags, key layout, key count and whether its tree could be read; the
// errors they raise; and how a stored key is turned into a value for display and comparison.
// Reading only: nothing here writes an index file or evaluates an expression.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/errors.h"
#include "platform/filesystem.h"

namespace tavlo {

// Idx: FoxPro's single-tag index, compact (as a CDX tag) or the older uncompressed layout.
enum class TIndexFormat { Cdx, Mdx, Ndx, Ntx, Idx };

// "CDX", "MDX", "NDX", "NTX", "IDX".
const char* IndexFormatName(TIndexFormat format);
// The format an index file's extension names (case ignored); false for other extensions.
bool IndexFormatOfPath(const std::string& path, TIndexFormat& format);

// The key type as the file records it: MDX says C, N or D, NDX character or numeric (dates
// are numeric there too); CDX and NTX record none, so their tags say Unknown unless the caller
// told the reader (TIndexOpenOptions).
enum class TIndexKeyType { Unknown, Character, Numeric, Date };

struct TIndexTag {
  // The tag name; for NDX and NTX files, which hold one order, the file's base name.
  std::string name;
  std::string keyExpression;
  std::string forExpression;  // "" when the tag has none
  bool unique = false;
  bool descending = false;
  bool candidate = false;  // Visual FoxPro: option bit 0x04 of a candidate (primary) tag
  // CDX: the collation the keys were made in, as the tag header names it ("PINYIN"); ""
  // when it names none, which is byte order (MACHINE).
  std::string collation;
  TIndexKeyType keyType = TIndexKeyType::Unknown;
  int keyLength = 0;
  int keyDecimals = 0;  // NTX only
  // CDX: the first key byte is a null marker (option bit 0x02, tags over nullable fields).
  bool nullMarker = false;
  // CDX: the byte that stands for the trailing bytes a leaf leaves out (blank for character
  // keys, zero for others), and whether it was inferred rather than known from the key type.
  char trailingByte = ' ';
  bool trailingByteGuessed = false;
  std::uint8_t options = 0;       // the raw option (CDX) or key-format (MDX) byte
  std::int64_t headerOffset = 0;  // byte offset of the tag's header
  std::int64_t rootOffset = 0;    // byte offset of its root node
  // Entries found by walking the tree from its root (up to the damage, when that stopped it);
  // -1 when the tree was not walked (TIndexOpenOptions::walkTrees).
  std::int64_t keyCount = 0;
  int depth = 0;  // levels of the tree, 1 for a root that is a leaf
  bool readable = true;
  std::string damage;  // why it is not readable
};

struct TIndexFileInfo {
  TIndexFormat format = TIndexFormat::Cdx;
  std::string path;
  std::vector<TIndexTag> tags;
  // Set when the list of tags itself could not be read in full; the tags read are kept.
  std::string damage;
};

// The file is not an index file of the format its name says (too short, impossible header
// fields): "/t/a.cdx is not a CDX index file: <reason>".
class EIndexFileError : public Exception {
 public:
  using Exception::Exception;
  static EIndexFileError NotIndex(const std::string& path, TIndexFormat format,
                                  const std::string& reason);
  // "/t/a.txt is not an index file: its extension is not .cdx, .idx, .mdx, .ndx or .ntx".
  static EIndexFileError UnknownExtension(const std::string& path);
};

// A tag's tree could not be followed: what() is the reason ("page 12 is used twice").
class EIndexDamage : public Exception {
 public:
  using Exception::Exception;
};

// How the caller knows better than the file: key types by upper-case tag name (for CDX and
// NTX, whose files do not record them).
struct TIndexOpenOptions {
  std::map<std::string, TIndexKeyType> keyTypes;
  // Walk every tag's tree on open (key counts, depth, damage of the tree). A table's files
  // open without it, so that opening does not read the whole file; keyCount is then -1.
  bool walkTrees = true;
  // The type given for tagName (its case ignored); Unknown when none was.
  TIndexKeyType KeyTypeOf(const std::string& tagName) const;
};

// A stored key made readable. Text is trimmed of trailing blanks; Number holds the value;
// Date gives YYYYMMDD and the Julian day number (with the time as a fraction for date-times);
// Null is a CDX null marker or a blank date; Bytes shows the key in hexadecimal.
struct TIndexKeyValue {
  enum class Kind { Text, Number, Date, Null, Bytes };
  Kind kind = Kind::Text;
  std::string text;
  double number = 0;
};

// Decodes a key as stored by format for a tag whose key is of the given type: character keys
// as they are; CDX numbers from their sortable 8-byte form (4-byte keys: Visual FoxPro
// integers), CDX dates from the sortable Julian day; MDX numbers from 12-byte BCD and dates
// from doubles; NDX numbers and dates from doubles; NTX numbers and dates from their text.
// nullMarker: the key's first byte says whether it is null (CDX nullable tags).
TIndexKeyValue DecodeIndexKey(TIndexFormat format, TIndexKeyType type, std::string_view key,
                              bool nullMarker = false);
// The same for a key of tag (its format, type and null marker).
TIndexKeyValue DecodeTagKey(TIndexFormat format, const TIndexTag& tag, std::string_view key);

// A 12-byte BCD number as MDX stores numeric keys; false when the bytes are not one.
bool DecodeMdxNumber(std::string_view key, double& value);
// An NTX numeric key: the number's text, whose characters are mirrored (c -> 92 - c) when the
// number is negative.
bool DecodeNtxNumber(std::string_view key, double& value);

// The bytes of an index file, read where asked: each read is checked against the file size.
class TIndexBytes {
 public:
  explicit TIndexBytes(std::unique_ptr<ByteStream> stream);
  std::int64_t Size() const { return size_; }
  // The length bytes at offset; false (and out left empty) when they do not all lie in the file.
  bool Read(std::int64_t offset, std::size_t length, std::string& out) const;

 private:
  std::unique_ptr<ByteStream> stream_;
  std::int64_t size_ = 0;
};

// Little- and big-endian numbers from a byte string; the caller has checked the length.
inline std::uint32_t IndexLe16(const std::string& b, std::size_t at) {
  return static_cast<std::uint8_t>(b[at]) |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 1])) << 8;
}
inline std::uint32_t IndexLe32(const std::string& b, std::size_t at) {
  return IndexLe16(b, at) | IndexLe16(b, at + 2) << 16;
}
inline std::uint32_t IndexBe32(const std::string& b, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at])) << 24 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 1])) << 16 |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[at + 2])) << 8 |
         static_cast<std::uint8_t>(b[at + 3]);
}
// The NUL-terminated text of at most length bytes at at, trailing blanks removed.
std::string IndexText(const std::string& b, std::size_t at, std::size_t length);

}  // namespace tavlo
