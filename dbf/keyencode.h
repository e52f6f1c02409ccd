// Index keys from values: how each index format stores the value of a key expression (text
// padded with blanks, CDX sortable binary numbers, MDX BCD, NDX doubles, NTX text), and a
// tag's key and FOR expressions compiled together with the encoding its header calls for.
// Computing keys only: nothing here reads or writes an index file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "dbf/indexformat.h"
#include "dbf/keyexpr.h"

namespace tavlo {

// How one tag stores its keys.
struct TKeyEncoding {
  TIndexFormat format = TIndexFormat::Cdx;
  TKeyKind kind = TKeyKind::Character;
  int length = 0;           // bytes of a key, the null marker included
  int decimals = 0;         // NTX numbers: the digits after the point
  bool nullMarker = false;  // CDX: a first byte says null (0) or not (0x80)
  bool integer = false;     // CDX: a 32-bit integer, not an 8-byte number
};

// The encoding a tag of format calls for with keys of type. Raises EKeyExprNotUnderstood
// (word "") when the tag cannot hold them: another collation than MACHINE, a key type or
// length the header records otherwise, a null marker the expression does not call for.
// IDX tags store their keys as CDX tags do: their encoding says Cdx.
TKeyEncoding KeyEncodingOf(TIndexFormat format, const TIndexTag& tag, const TKeyType& type);

// The stored key of value (of the encoding's kind) in key, exactly encoding.length bytes:
// - character keys: the text cut or filled with blanks to the length;
// - CDX: numbers as 8-byte big-endian doubles whose sign bit is flipped (every bit for
//   negative numbers), 32-bit integers big-endian with the sign bit flipped, dates and
//   date-times as such doubles of the Julian day (the time as its fraction, 0 for the empty
//   date), logicals "T" or "F"; a null marker byte 0x80 before the value, a null key all zero;
// - MDX: numbers in 12-byte BCD, dates as little-endian doubles of the Julian day;
// - NDX: numbers and dates as little-endian doubles (dates: the Julian day);
// - NTX: numbers as STR text of the key's length and decimals with zeros for the leading
//   blanks (a negative number's digits mirrored, c -> 92 - c), dates as YYYYMMDD (blanks when
//   empty), logicals "T" or "F".
// false when the value has no key of that encoding (a number too large for it).
bool EncodeIndexKey(const TKeyEncoding& encoding, const TKeyValue& value, std::string& key);

// The 12-byte BCD of value as MDX numeric keys hold it: byte 0 is 0x34 plus the digits before
// the point (less for a fraction below 0.1), byte 1 the sign (bit 7) and the count of the
// digit nibbles in use (bits 2-6, rounded up to whole bytes; bit 0 set), then 20 digits, two
// to a byte. false when the number has no such form.
bool EncodeMdxNumber(double value, std::string& key);

// Whether two stored keys of a tag stand for the same value. Bytes must agree except where
// writers differ without changing the value: MDX numbers' digit count (dBase counts the
// nibbles in use, the BDE always writes 10).
bool SameIndexKey(TIndexFormat format, TKeyKind kind, std::string_view a, std::string_view b);
// key with those bytes cleared, so that keys compare as bytes by SameIndexKey.
void NormalizeIndexKey(TIndexFormat format, TKeyKind kind, std::string& key);

// A tag's key and FOR expressions compiled against a table, with the tag's encoding.
class TTagKey {
 public:
  // Raises EKeyExprNotUnderstood for an expression not understood (a FOR expression's reason
  // says so) and for a tag that cannot hold its keys (KeyEncodingOf).
  static TTagKey Compile(TIndexFormat format, const TIndexTag& tag, const TKeyExprTable& table);

  enum class Outcome { Key, Excluded, Failed };
  // The key the tag holds for record (Key), or that the FOR expression leaves the record out
  // (Excluded), or that either could not be evaluated on it (Failed, Failure() says why).
  Outcome KeyOf(const std::uint8_t* record, std::uint32_t recordNumber, std::string& key);
  const std::string& Failure() const { return failure_; }

  const TKeyExpression& KeyExpression() const { return key_; }
  bool HasFor() const { return for_.has_value(); }
  const TKeyEncoding& Encoding() const { return encoding_; }

 private:
  TKeyExpression key_;
  std::optional<TKeyExpression> for_;
  TKeyEncoding encoding_;
  std::string failure_;
};

}  // namespace tavlo
