// Index keys from values, per format, and the compiled key of a tag.
#include "dbf/keyencode.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "dbf/fieldcodec.h"

namespace tavlo {

namespace {

[[noreturn]] void Refuse(const std::string& reason) {
  throw EKeyExprNotUnderstood("", 0, reason);
}

const char* KindWord(TKeyKind kind) {
  switch (kind) {
    case TKeyKind::Character:
      return "text";
    case TKeyKind::Numeric:
      return "numeric";
    case TKeyKind::Date:
      return "date";
    case TKeyKind::DateTime:
      return "date-time";
    case TKeyKind::Logical:
      return "logical";
  }
  return "?";
}

const char* IndexKeyTypeWord(TIndexKeyType type) {
  switch (type) {
    case TIndexKeyType::Character:
      return "character";
    case TIndexKeyType::Numeric:
      return "numeric";
    case TIndexKeyType::Date:
      return "date";
    case TIndexKeyType::Unknown:
      break;
  }
  return "unknown";
}

// The key type a header records for keys of kind in format (NDX keeps dates as numbers).
TIndexKeyType RecordedType(TIndexFormat format, TKeyKind kind) {
  switch (kind) {
    case TKeyKind::Character:
      return TIndexKeyType::Character;
    case TKeyKind::Numeric:
      return TIndexKeyType::Numeric;
    case TKeyKind::Date:
      return format == TIndexFormat::Ndx ? TIndexKeyType::Numeric : TIndexKeyType::Date;
    default:
      return TIndexKeyType::Unknown;
  }
}

void PutBe64(std::uint64_t bits, char* at) {
  for (int i = 0; i < 8; ++i) at[i] = static_cast<char>(bits >> (56 - 8 * i));
}

void PutLe64(std::uint64_t bits, char* at) {
  for (int i = 0; i < 8; ++i) at[i] = static_cast<char>(bits >> (8 * i));
}

std::uint64_t Bits(double value) {
  if (value == 0) value = 0;  // -0 keys as 0
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

void PutSortableDouble(double value, char* at) {
  const std::uint64_t bits = Bits(value);
  PutBe64(bits >> 63 ? ~bits : bits ^ (std::uint64_t{1} << 63), at);
}

void PutText(std::string_view text, std::size_t length, std::string& key) {
  key.append(text.substr(0, length));
  key.append(length - std::min(length, text.size()), ' ');
}

// STR's text of value with zeros for the leading blanks, digits mirrored for a negative
// number: NTX numeric keys sort as their bytes do.
bool PutNtxNumber(double value, int length, int decimals, std::string& key) {
  char text[256];
  if (length < 1 || length > static_cast<int>(sizeof text) ||
      !StrText(std::fabs(value), length, decimals, text)) {
    return false;
  }
  bool zero = true;
  for (int i = 0; i < length; ++i) {
    if (text[i] == ' ') text[i] = '0';
    zero = zero && (text[i] == '0' || text[i] == '.');
  }
  if (value < 0 && !zero) {
    for (int i = 0; i < length; ++i) {
      if (text[i] != '.') text[i] = static_cast<char>(92 - text[i]);
    }
  }
  key.append(text, static_cast<std::size_t>(length));
  return true;
}

constexpr double kJulianOfDayZero = 1721425;

}  // namespace

TKeyEncoding KeyEncodingOf(TIndexFormat fileFormat, const TIndexTag& tag, const TKeyType& type) {
  // An IDX file's keys are those of a CDX tag (FoxPro wrote both).
  const TIndexFormat format = fileFormat == TIndexFormat::Idx ? TIndexFormat::Cdx : fileFormat;
  TKeyEncoding encoding;
  encoding.format = format;
  encoding.kind = type.kind;
  encoding.length = tag.keyLength;
  if (format == TIndexFormat::Cdx && !tag.collation.empty() && tag.collation != "MACHINE") {
    Refuse("the tag's keys are in the " + tag.collation +
           " collation; only MACHINE (byte order) is understood");
  }
  const bool binaryFormat = format == TIndexFormat::Mdx || format == TIndexFormat::Ndx;
  if ((type.kind == TKeyKind::DateTime && format != TIndexFormat::Cdx) ||
      (type.kind == TKeyKind::Logical && binaryFormat)) {
    Refuse(std::string(KindWord(type.kind)) + " keys are not understood in " +
           IndexFormatName(format) + " files");
  }
  const TIndexKeyType recorded = RecordedType(format, type.kind);
  if (tag.keyType != TIndexKeyType::Unknown && tag.keyType != recorded) {
    Refuse(std::string("the tag holds ") + IndexKeyTypeWord(tag.keyType) +
           " keys, the expression gives " + KindWord(type.kind) + " values");
  }
  int valueLength = tag.keyLength;
  if (format == TIndexFormat::Cdx) {
    encoding.nullMarker = tag.nullMarker;
    // Visual FoxPro leaves the marker out of candidate tags over fields that allow nulls
    // (the corpus shows it): a null value has no key there.
    if (tag.nullMarker && !type.nullable) {
      Refuse("the tag's keys have a null marker, but the expression cannot be null");
    }
    valueLength -= tag.nullMarker ? 1 : 0;
  }
  int wanted = 0;
  switch (type.kind) {
    case TKeyKind::Character:
      wanted = type.length;
      break;
    case TKeyKind::Numeric:
      if (format == TIndexFormat::Cdx) {
        encoding.integer = type.integer && valueLength == 4;
        wanted = encoding.integer ? 4 : 8;
      } else if (format == TIndexFormat::Mdx) {
        wanted = 12;
      } else if (format == TIndexFormat::Ndx) {
        wanted = 8;
      } else {
        // NTX headers record the length and decimals of numeric keys; a field's width must
        // agree with them.
        encoding.decimals = tag.keyDecimals;
        wanted = type.length > 0 ? type.length : tag.keyLength;
        if (type.length > 0 && type.decimals != tag.keyDecimals) {
          Refuse("the tag's numbers have " + std::to_string(tag.keyDecimals) +
                 " decimals, the expression's " + std::to_string(type.decimals));
        }
      }
      break;
    case TKeyKind::Date:
      wanted = 8;
      break;
    case TKeyKind::DateTime:
      wanted = 8;
      break;
    case TKeyKind::Logical:
      wanted = 1;
      break;
  }
  if (wanted != valueLength) {
    Refuse("the expression gives " + std::string(KindWord(type.kind)) + " keys of " +
           std::to_string(wanted) + " bytes, the tag's hold " + std::to_string(valueLength));
  }
  return encoding;
}

bool EncodeMdxNumber(double value, std::string& key) {
  key.append(12, '\0');
  char* out = key.data() + key.size() - 12;
  out[0] = 0x34;
  out[1] = 0x01;
  if (value == 0) return true;
  if (!std::isfinite(value)) return false;
  // The shortest digits that give the number back: those the field's text had.
  char text[32];
  const auto result =
      std::to_chars(text, text + sizeof text, std::fabs(value), std::chars_format::scientific);
  if (result.ec != std::errc()) return false;
  const std::string_view written(text, static_cast<std::size_t>(result.ptr - text));
  const std::size_t e = written.find('e');
  int exponent = 0;
  std::from_chars(written.data() + e + 1 + (written[e + 1] == '+' ? 1 : 0),
                  written.data() + written.size(), exponent);
  std::string digits;
  for (char c : written.substr(0, e)) {
    if (c != '.') digits += c;
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  const int lead = 0x34 + exponent + 1;
  if (lead < 0 || lead > 0xFF || digits.size() > 20) return false;
  out[0] = static_cast<char>(lead);
  const std::size_t nibbles = (digits.size() + 1) / 2 * 2;
  out[1] = static_cast<char>((value < 0 ? 0x80 : 0) | nibbles << 2 | 1);
  for (std::size_t i = 0; i < digits.size(); ++i) {
    const int digit = digits[i] - '0';
    out[2 + i / 2] = static_cast<char>(out[2 + i / 2] | (i % 2 == 0 ? digit << 4 : digit));
  }
  return true;
}

bool EncodeIndexKey(const TKeyEncoding& encoding, const TKeyValue& value, std::string& key) {
  key.clear();
  auto length = static_cast<std::size_t>(encoding.length);
  if (encoding.nullMarker) {
    if (value.null) {
      key.assign(length, '\0');
      return true;
    }
    key += '\x80';
    --length;
  } else if (value.null) {
    return false;
  }
  char bytes[8];
  switch (encoding.kind) {
    case TKeyKind::Character:
      PutText(value.text, length, key);
      return true;
    case TKeyKind::Logical:
      key += value.logical ? 'T' : 'F';
      return true;
    case TKeyKind::Date:
    case TKeyKind::DateTime:
      if (encoding.format == TIndexFormat::Ntx) {
        if (value.number == 0) {
          key.append(8, ' ');
          return true;
        }
        // Days of the calendar only (date arithmetic can leave it).
        if (!(value.number >= kJulianOfDayZero + 1 && value.number < kJulianOfDayZero + 3652060)) {
          return false;
        }
        int year = 0, month = 0, day = 0;
        DateOfDayNumber(static_cast<std::int32_t>(std::floor(value.number) - kJulianOfDayZero),
                        year, month, day);
        char text[16];
        std::snprintf(text, sizeof text, "%04d%02d%02d", year, month, day);
        key.append(text, 8);
        return true;
      }
      break;
    case TKeyKind::Numeric:
      if (encoding.format == TIndexFormat::Mdx) return EncodeMdxNumber(value.number, key);
      if (encoding.format == TIndexFormat::Ntx) {
        return PutNtxNumber(value.number, encoding.length, encoding.decimals, key);
      }
      if (encoding.integer) {
        const double whole = std::trunc(value.number);
        if (!(whole >= -2147483648.0 && whole <= 2147483647.0)) return false;
        const auto bits =
            static_cast<std::uint32_t>(static_cast<std::int32_t>(whole)) ^ 0x80000000u;
        for (int i = 0; i < 4; ++i) key += static_cast<char>(bits >> (24 - 8 * i));
        return true;
      }
      break;
  }
  // 8-byte doubles: the number, or the Julian day of a date.
  if (encoding.format == TIndexFormat::Cdx) {
    PutSortableDouble(value.number, bytes);
  } else {
    PutLe64(Bits(value.number), bytes);
  }
  key.append(bytes, 8);
  return true;
}

void NormalizeIndexKey(TIndexFormat format, TKeyKind kind, std::string& key) {
  if (format == TIndexFormat::Mdx && kind == TKeyKind::Numeric && key.size() >= 2) {
    key[1] = static_cast<char>(key[1] & 0x80);
  }
}

bool SameIndexKey(TIndexFormat format, TKeyKind kind, std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  if (format == TIndexFormat::Mdx && kind == TKeyKind::Numeric && a.size() >= 2) {
    return a[0] == b[0] && ((a[1] ^ b[1]) & 0x80) == 0 && a.substr(2) == b.substr(2);
  }
  return a == b;
}

TTagKey TTagKey::Compile(TIndexFormat format, const TIndexTag& tag, const TKeyExprTable& table) {
  TTagKey key;
  key.key_ = TKeyExpression::Compile(tag.keyExpression, table);
  if (!tag.forExpression.empty()) {
    try {
      key.for_ = TKeyExpression::Compile(tag.forExpression, table);
    } catch (const EKeyExprNotUnderstood& refused) {
      throw EKeyExprNotUnderstood(refused.Word(), refused.Position(),
                                  std::string("the FOR expression: ") + refused.what());
    }
    if (key.for_->Type().kind != TKeyKind::Logical) {
      throw EKeyExprNotUnderstood("", 0, "the FOR expression gives no logical value");
    }
  }
  key.encoding_ = KeyEncodingOf(format, tag, key.key_.Type());
  return key;
}

TTagKey::Outcome TTagKey::KeyOf(const std::uint8_t* record, std::uint32_t recordNumber,
                                std::string& key) {
  if (for_) {
    if (!for_->Evaluate(record, recordNumber)) {
      failure_ = for_->Failure();
      return Outcome::Failed;
    }
    if (for_->Value().null || !for_->Value().logical) return Outcome::Excluded;
  }
  if (!key_.Evaluate(record, recordNumber)) {
    failure_ = key_.Failure();
    return Outcome::Failed;
  }
  if (!EncodeIndexKey(encoding_, key_.Value(), key)) {
    failure_ = key_.Value().null ? "the value is null, and the tag's keys have no null marker"
                                 : "the value has no key in this tag's form";
    return Outcome::Failed;
  }
  return Outcome::Key;
}

}  // namespace tavlo
