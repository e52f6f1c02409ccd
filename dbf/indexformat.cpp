// Index file model: format names, errors, key decoding and the checked byte source.
#include "dbf/indexformat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "dbf/binaryfields.h"
#include "platform/asciitext.h"
#include "platform/filenames.h"
#include "platform/regional.h"
#include "text/trim.h"

namespace tavlo {

namespace {

std::string NumberText(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

bool ParseNumber(std::string_view text, double& value) {
  text = TrimBlanks(text);
  if (text.empty()) return false;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

// A key without the blanks and NULs that pad it.
std::string TrimTrailing(std::string_view key) {
  return std::string(TrimRightAnyOf(key, kBlankOrNul));
}

std::string Hex(std::string_view key) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char c : key) {
    text += kDigits[c >> 4];
    text += kDigits[c & 15];
  }
  return text;
}

double LeDouble(std::string_view key) {
  std::uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = bits << 8 | static_cast<std::uint8_t>(key[i]);
  double value = 0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

TIndexKeyValue Number(double value) {
  TIndexKeyValue out;
  out.kind = TIndexKeyValue::Kind::Number;
  out.number = value;
  out.text = NumberText(value);
  return out;
}

TIndexKeyValue Bytes(std::string_view key) {
  TIndexKeyValue out;
  out.kind = TIndexKeyValue::Kind::Bytes;
  out.text = Hex(key);
  return out;
}

TIndexKeyValue Null() {
  TIndexKeyValue out;
  out.kind = TIndexKeyValue::Kind::Null;
  return out;
}

// Julian day 1 January 1 and 31 December 9999: the span the calendar code converts.
constexpr double kFirstJulianDay = 1721426;
constexpr double kLastJulianDay = 5373484;

TIndexKeyValue JulianDate(double julian) {
  if (julian == 0) return Null();
  if (!(julian >= kFirstJulianDay && julian < kLastJulianDay + 1)) return Number(julian);
  int year = 0, month = 0, day = 0;
  DecodeDate(std::floor(julian) - kJulianDayOfPlatformZero, year, month, day);
  char text[16];
  std::snprintf(text, sizeof text, "%04d%02d%02d", year, month, day);
  TIndexKeyValue out;
  out.kind = TIndexKeyValue::Kind::Date;
  out.text = text;
  out.number = julian;
  return out;
}

TIndexKeyValue Unknown(std::string_view key) {
  for (unsigned char c : key) {
    if (c < 0x20 && c != 0) return Bytes(key);
  }
  TIndexKeyValue out;
  out.text = TrimTrailing(key);
  return out;
}

TIndexKeyValue DecodeNumeric(TIndexFormat format, std::string_view key) {
  double value = 0;
  switch (format) {
    case TIndexFormat::Cdx:
    case TIndexFormat::Idx:
      if (key.size() == 8) {
        return Number(SortableDouble(reinterpret_cast<const std::uint8_t*>(key.data())));
      }
      if (key.size() == 4) {
        // Visual FoxPro integers: big-endian with the sign bit flipped.
        const std::string bytes(key);
        return Number(static_cast<std::int32_t>(IndexBe32(bytes, 0) ^ 0x80000000u));
      }
      return Bytes(key);
    case TIndexFormat::Mdx:
      return DecodeMdxNumber(key, value) ? Number(value) : Bytes(key);
    case TIndexFormat::Ndx:
      return key.size() == 8 ? Number(LeDouble(key)) : Bytes(key);
    case TIndexFormat::Ntx:
      return DecodeNtxNumber(key, value) ? Number(value) : Unknown(key);
  }
  return Bytes(key);
}

TIndexKeyValue DecodeDateKey(TIndexFormat format, std::string_view key) {
  switch (format) {
    case TIndexFormat::Cdx:
    case TIndexFormat::Idx:
      if (key.size() != 8) return Bytes(key);
      return JulianDate(SortableDouble(reinterpret_cast<const std::uint8_t*>(key.data())));
    case TIndexFormat::Mdx:
    case TIndexFormat::Ndx:
      return key.size() == 8 ? JulianDate(LeDouble(key)) : Bytes(key);
    case TIndexFormat::Ntx: {
      // The date as text, YYYYMMDD.
      TIndexKeyValue out;
      out.text = TrimTrailing(key);
      if (out.text.empty()) return Null();
      int year = 0, month = 0, day = 0;
      if (out.text.size() != 8 ||
          std::sscanf(out.text.c_str(), "%4d%2d%2d", &year, &month, &day) != 3 ||
          !IsValidDate(year, month, day)) {
        return out;
      }
      out.kind = TIndexKeyValue::Kind::Date;
      out.number = EncodeDate(year, month, day) + kJulianDayOfPlatformZero;
      return out;
    }
  }
  return Bytes(key);
}

}  // namespace

const char* IndexFormatName(TIndexFormat format) {
  switch (format) {
    case TIndexFormat::Cdx:
      return "CDX";
    case TIndexFormat::Mdx:
      return "MDX";
    case TIndexFormat::Ndx:
      return "NDX";
    case TIndexFormat::Ntx:
      return "NTX";
    case TIndexFormat::Idx:
      return "IDX";
  }
  return "?";
}

bool IndexFormatOfPath(const std::string& path, TIndexFormat& format) {
  const std::string ext = UpperAscii(ExtractFileExt(path));
  for (TIndexFormat f : {TIndexFormat::Cdx, TIndexFormat::Mdx, TIndexFormat::Ndx, TIndexFormat::Ntx,
                         TIndexFormat::Idx}) {
    if (ext == std::string(".") + IndexFormatName(f)) {
      format = f;
      return true;
    }
  }
  return false;
}

EIndexFileError EIndexFileError::UnknownExtension(const std::string& path) {
  return EIndexFileError(path +
                         " is not an index file: its extension is not .cdx, .idx, .mdx, .ndx "
                         "or .ntx");
}

EIndexFileError EIndexFileError::NotIndex(const std::string& path, TIndexFormat format,
                                          const std::string& reason) {
  return EIndexFileError(path + " is not " + (format == TIndexFormat::Cdx ? "a " : "an ") +
                         IndexFormatName(format) + " index file: " + reason);
}

bool DecodeMdxNumber(std::string_view key, double& value) {
  // Byte 0: 0x34 plus the digits before the decimal point; byte 1: sign in bit 7 (the rest
  // counts digits); then 20 decimal digits, two to a byte, as a fraction.
  if (key.size() < 12) return false;
  std::string text = "0.";
  for (std::size_t i = 2; i < 12; ++i) {
    const auto byte = static_cast<std::uint8_t>(key[i]);
    if ((byte >> 4) > 9 || (byte & 15) > 9) return false;
    text += static_cast<char>('0' + (byte >> 4));
    text += static_cast<char>('0' + (byte & 15));
  }
  text += "e" + std::to_string(static_cast<int>(static_cast<std::uint8_t>(key[0])) - 0x34);
  if (!ParseNumber(text, value)) return false;
  if (static_cast<std::uint8_t>(key[1]) & 0x80) value = -value;
  return true;
}

bool DecodeNtxNumber(std::string_view key, double& value) {
  std::string text(key);
  bool negative = false;
  for (char c : text) negative = negative || (c >= '#' && c <= ',');
  if (negative) {
    for (char& c : text) {
      if ((c >= '#' && c <= ',') || c == '.') c = static_cast<char>(92 - c);
    }
  }
  if (!ParseNumber(text, value)) return false;
  if (negative) value = -value;
  return true;
}

TIndexKeyValue DecodeIndexKey(TIndexFormat format, TIndexKeyType type, std::string_view key,
                              bool nullMarker) {
  if (nullMarker) {
    if (key.empty() || key[0] == '\0') return Null();
    key.remove_prefix(1);
  }
  switch (type) {
    case TIndexKeyType::Character: {
      TIndexKeyValue out;
      out.text = TrimTrailing(key);
      return out;
    }
    case TIndexKeyType::Numeric:
      return DecodeNumeric(format, key);
    case TIndexKeyType::Date:
      return DecodeDateKey(format, key);
    case TIndexKeyType::Unknown:
      break;
  }
  return Unknown(key);
}

TIndexKeyType TIndexOpenOptions::KeyTypeOf(const std::string& tagName) const {
  auto found = keyTypes.find(UpperAscii(tagName));
  return found == keyTypes.end() ? TIndexKeyType::Unknown : found->second;
}

TIndexKeyValue DecodeTagKey(TIndexFormat format, const TIndexTag& tag, std::string_view key) {
  return DecodeIndexKey(format, tag.keyType, key, tag.nullMarker);
}

TIndexBytes::TIndexBytes(std::unique_ptr<ByteStream> stream) : stream_(std::move(stream)) {
  size_ = stream_->Size();
}

bool TIndexBytes::Read(std::int64_t offset, std::size_t length, std::string& out) const {
  out.clear();
  if (offset < 0 || offset > size_ || static_cast<std::int64_t>(length) > size_ - offset) {
    return false;
  }
  out.resize(length);
  if (length == 0) return true;
  if (stream_->ReadAt(offset, out.data(), length) != length) {
    out.clear();
    return false;
  }
  return true;
}

std::string IndexText(const std::string& b, std::size_t at, std::size_t length) {
  if (at >= b.size()) return {};
  length = std::min(length, b.size() - at);
  std::string_view text(b.data() + at, length);
  const std::size_t end = text.find('\0');
  if (end != std::string_view::npos) text = text.substr(0, end);
  return std::string(TrimRightAnyOf(text, " \t"));
}

}  // namespace tavlo
