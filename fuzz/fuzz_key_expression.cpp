// libFuzzer target: the input's first byte picks one of two tables (a Visual FoxPro table of
// every kind of field with null flags and a varchar, a dBase III table) and an index format;
// the text up to the first zero byte is compiled as a key expression against the table, and
// the bytes after it are a record it is evaluated on (filled up to the record size), with the
// table's own records. Understood expressions are compiled as the keys of a tag of every
// format and their keys computed. Only crashes, leaks, undefined behaviour and hangs count;
// refusals and failed evaluations are expected.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "dbf/dbffile.h"
#include "dbf/keyencode.h"
#include "dbf/tdbf.h"
#include "fuzz/fuzzsupport.h"
#include "tests/dbf/foreign_tables_fixture.h"

namespace {

using namespace tavlo;
using foreigntest::ForeignImage;
using foreigntest::Le;

std::string Bytes(double value) {
  std::string out(8, '\0');
  std::memcpy(out.data(), &value, 8);
  return out;
}

// text cut or filled with blanks to length.
std::string Pad(const std::string& text, std::size_t length) {
  std::string out = text.substr(0, length);
  out.resize(length, ' ');
  return out;
}

ForeignImage FoxImage() {
  ForeignImage image;
  image.version = 0x32;
  image.language = 0x03;
  image.backlink = 263;
  image.fields = {{"NAME", 'C', 8},
                  {"CITY", 'C', 6, 0, 0x02},
                  {"QTY", 'N', 7, 2},
                  {"CNT", 'I', 4},
                  {"PRICE", 'Y', 8, 4},
                  {"RATE", 'B', 8, 2},
                  {"DAY", 'D', 8},
                  {"STAMP", 'T', 8},
                  {"OK", 'L', 1, 0, 0x02},
                  {"CODE", 'V', 5},
                  {"_NullFlags", '0', 1, 0, 0x05}};
  // Null bits: CITY 0, OK 1; CODE's bit 2 says it is shorter than its field.
  image.records = {" " + Pad("M\xFCller", 8) + Pad("K\xF6ln", 6) + "  12.50" +
                       Le(static_cast<std::uint32_t>(-42), 4) + Le(123456, 8) + Bytes(2.5) +
                       "20240131" + Le(2460311, 4) + Le(43200000, 4) + "T" +
                       std::string("ab\0\0\x02", 5) + "\x04",
                   "*" + Pad("ab", 8) + Pad("", 6) + "  -3.25" + Le(7, 4) +
                       Le(static_cast<std::uint64_t>(-50000), 8) + Bytes(-0.25) + Pad("", 8) +
                       Le(0, 8) + "?" + "vwxyz" + "\x03"};
  return image;
}

ForeignImage DbaseImage() {
  ForeignImage image;
  image.version = 0x03;
  image.language = 0x26;  // 866
  image.fields = {{"NAME", 'C', 10}, {"N", 'N', 10, 3}, {"F", 'F', 8, 2},
                  {"D", 'D', 8},     {"L", 'L', 1},     {"MEMO", 'M', 10}};
  image.records = {" " + Pad("\xAF\xE0\xA8\xA2\xA5\xE2", 10) + "   -12.345" + "   1.5e3" +
                       "20000229" + "T" + Pad("", 10),
                   "*" + Pad("", 10) + "**********" + " garbage" + "xxxxxxxx" + "?" + Pad("1", 10)};
  return image;
}

struct Table {
  std::unique_ptr<TDbf> cursor;
  TKeyExprTable fields;
  std::vector<std::string> records;
};

Table OpenImage(fuzz::ImageFiles& files, const std::string& path, const ForeignImage& image) {
  files.images[path] = image.Bytes();
  Table table;
  table.cursor = std::make_unique<TDbf>();
  table.cursor->SetTableName(path);
  table.cursor->SetReadOnly(true);
  table.cursor->SetShowDeleted(true);
  table.cursor->Open();
  TDbfFile& file = *table.cursor->DbfFile();
  table.fields = KeyExprTableOf(file, table.cursor->Layout());
  for (std::int64_t i = 0; i < file.RecordCount(); ++i) {
    std::string record(static_cast<std::size_t>(file.RecordSize()), ' ');
    file.ReadRecord(i, record.data());
    table.records.push_back(record);
  }
  return table;
}

// A tag of format as its writer would make it for keys of type.
TIndexTag TagFor(TIndexFormat format, const TKeyType& type, int pick) {
  TIndexTag tag;
  tag.nullMarker = format == TIndexFormat::Cdx && type.nullable;
  int length = type.kind == TKeyKind::Character                                ? type.length
               : type.kind == TKeyKind::Logical                                ? 1
               : format == TIndexFormat::Mdx && type.kind == TKeyKind::Numeric ? 12
                                                                               : 8;
  if (format == TIndexFormat::Cdx && type.integer) length = 4;
  if (format == TIndexFormat::Ntx && type.kind == TKeyKind::Numeric) {
    length = type.length > 0 ? type.length : 1 + pick % 20;
    tag.keyDecimals = type.length > 0 ? type.decimals : pick % 4;
  }
  tag.keyLength = length + (tag.nullMarker ? 1 : 0);
  return tag;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::QuietHost host;
  static fuzz::ImageFiles files;
  ScopedDesktopHost scopedHost(host);
  ScopedFileSystem scopedFiles(files);
  static Table tables[2] = {OpenImage(files, "/f/fox-table.dbf", FoxImage()),
                            OpenImage(files, "/f/dbase.dbf", DbaseImage())};
  if (size == 0) return 0;
  Table& table = tables[data[0] & 1];
  const int pick = data[0] >> 1;
  const char* begin = reinterpret_cast<const char*>(data) + 1;
  const std::string input(begin, size - 1);
  const std::size_t zero = input.find('\0');
  const std::string text = input.substr(0, zero);
  std::string record = zero == std::string::npos ? std::string() : input.substr(zero + 1);
  record.resize(table.records.front().size(), ' ');

  try {
    TKeyExpression expression = TKeyExpression::Compile(text, table.fields);
    std::vector<std::string> records = table.records;
    records.push_back(record);
    for (std::size_t r = 0; r < records.size(); ++r) {
      const auto* bytes = reinterpret_cast<const std::uint8_t*>(records[r].data());
      expression.Evaluate(bytes, static_cast<std::uint32_t>(r + 1));
      expression.Accepts(bytes, static_cast<std::uint32_t>(r + 1));
    }
    for (TIndexFormat format :
         {TIndexFormat::Cdx, TIndexFormat::Mdx, TIndexFormat::Ndx, TIndexFormat::Ntx}) {
      TIndexTag tag = TagFor(format, expression.Type(), pick);
      tag.keyExpression = text;
      if (pick % 3 == 0) tag.forExpression = text;
      try {
        TTagKey key = TTagKey::Compile(format, tag, table.fields);
        std::string stored;
        for (std::size_t r = 0; r < records.size(); ++r) {
          const auto* bytes = reinterpret_cast<const std::uint8_t*>(records[r].data());
          if (key.KeyOf(bytes, static_cast<std::uint32_t>(r + 1), stored) ==
                  TTagKey::Outcome::Key &&
              stored.size() != static_cast<std::size_t>(key.Encoding().length)) {
            __builtin_trap();  // a key is always as long as its tag's keys
          }
        }
      } catch (const EKeyExprNotUnderstood&) {
        // A tag that cannot hold the expression's keys (or a FOR clause that is no logical).
      }
    }
  } catch (const EKeyExprNotUnderstood&) {
    // Not understood: the expected answer for most inputs.
  }
  return 0;
}
