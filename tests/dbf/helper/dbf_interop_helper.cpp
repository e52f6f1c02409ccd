// A small program through which the interoperability tests reach the table engine directly:
//   dump TABLE.dbf                       every record as one JSON object per line
//   setmemo TABLE.dbf FIELD RECORD FILE  stores FILE's bytes as the memo of FIELD in RECORD
//   values TABLE.dbf                     every record's typed values through the cursor, in
//                                        the session page the table needs, as UTF-8 JSON
// Values are written in a fixed form (numbers with a point, dates yyyy-mm-dd) so that the
// test can compare them with what a peer program reads.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <vector>

#include "dbf/dbffile.h"
#include "dbf/fieldcodec.h"
#include "dbf/fields.h"
#include "dbf/memofile.h"
#include "dbf/tdbf.h"
#include "platform/asciitext.h"
#include "platform/codepage.h"
#include "platform/errors.h"
#include "platform/filenames.h"
#include "platform/filesystem.h"
#include "platform/textcodec.h"

namespace tavlo {
namespace {

std::string MemoPath(const std::string& dataPath) {
  return ChangeFileExt(dataPath, ".dbt");
}

std::string Json(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c >= 0x7F) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
      out += buffer;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::int32_t MemoBlock(const TDbfFile& file, int index, const std::uint8_t* record) {
  std::int32_t block = 0;
  if (!file.DecodeField(index, TFieldType::ftInteger, &block, record)) return 0;
  return block;
}

int Dump(const std::string& path) {
  TDbfFile* file = new TDbfFile(path, OpenMode::ReadOnly);
  TFieldDefs defs;
  file->LoadFieldList(defs);
  TDbtFile* memo = nullptr;
  if (Files().FileExists(MemoPath(path))) {
    memo = new TDbtFile(MemoPath(path), file->Level(), OpenMode::ReadOnly);
  }
  std::vector<std::uint8_t> record(static_cast<std::size_t>(file->RecordSize()));
  char text[256];
  for (std::int64_t r = 0; r < file->HeaderRecordCount(); ++r) {
    file->ReadRecord(r, record.data());
    std::string line = "{\"_deleted\": ";
    line += record[0] != ' ' ? "true" : "false";
    for (int i = 0; i < file->FieldCount(); ++i) {
      const TMyFieldInfo& info = file->FieldInfo(i);
      line += ", " + Json(defs[i].name) + ": ";
      if (!file->DecodeField(i, info.type, nullptr, record.data())) {
        // An empty memo field is null too; the peers read it as empty text.
        line += info.type == TFieldType::ftMemo ? "\"\"" : "null";
        continue;
      }
      char number[64];
      switch (info.type) {
        case TFieldType::ftSmallint:
        case TFieldType::ftInteger:
        case TFieldType::ftLargeint: {
          std::int64_t value = 0;
          file->DecodeWholeNumber(i, record.data(), value);
          line += std::to_string(value);
          break;
        }
        case TFieldType::ftFloat: {
          double value = 0;
          file->DecodeField(i, info.type, &value, record.data());
          std::snprintf(number, sizeof number, "%.17g", value);
          line += number;
          break;
        }
        case TFieldType::ftBoolean: {
          std::int16_t value = 0;
          file->DecodeField(i, info.type, &value, record.data());
          line += value ? "true" : "false";
          break;
        }
        case TFieldType::ftDate: {
          std::int32_t day = 0;
          file->DecodeField(i, info.type, &day, record.data());
          int y = 0, m = 0, d = 0;
          DateOfDayNumber(day, y, m, d);
          std::snprintf(number, sizeof number, "\"%04d-%02d-%02d\"", y, m, d);
          line += number;
          break;
        }
        case TFieldType::ftMemo: {
          std::int32_t block = MemoBlock(*file, i, record.data());
          line += Json(memo != nullptr ? memo->LoadMemoText(block) : std::string());
          break;
        }
        default:
          file->DecodeField(i, info.type, text, record.data());
          line += Json(text);
          break;
      }
    }
    std::cout << line << "}\n";
  }
  TPagedFile::Release(memo);
  TPagedFile::Release(file);
  return 0;
}

int SetMemo(const std::string& path, const std::string& field, std::int64_t recordIndex,
            const std::string& textPath) {
  std::ifstream in(textPath, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  TDbfFile* file = new TDbfFile(path, OpenMode::ReadWrite);
  TDbtFile* memo = nullptr;
  int rc = 1;
  try {
    TFieldDefs defs;
    file->LoadFieldList(defs);
    int index = -1;
    for (int i = 0; i < file->FieldCount(); ++i) {
      if (file->FieldInfo(i).name == LowerAscii(field)) index = i;
    }
    if (index < 0) throw Exception("no field " + field);
    memo = new TDbtFile(MemoPath(path), file->Level(), OpenMode::ReadWrite);
    std::vector<std::uint8_t> record(static_cast<std::size_t>(file->RecordSize()));
    file->ReadRecord(recordIndex, record.data());
    std::int32_t block = MemoBlock(*file, index, record.data());
    const std::int64_t oldSize = static_cast<std::int64_t>(memo->LoadMemoText(block).size());
    memo->StoreMemoText(block, oldSize, text);
    file->EncodeField(index, TFieldType::ftMemo, record.data(), &block);
    file->WriteRecord(recordIndex, record.data());
    file->FlushHeader();
    std::cout << block << "\n";
    rc = 0;
  } catch (const Exception& e) {
    std::cerr << e.what() << "\n";
  }
  TPagedFile::Release(memo);
  TPagedFile::Release(file);
  return rc;
}

std::string Utf8Json(const std::string& utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
      out += buffer;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string ValueJson(const Variant& value) {
  char number[64];
  switch (value.Kind()) {
    case VariantKind::Null:
    case VariantKind::Empty:
      return "null";
    case VariantKind::Integer:
      return std::to_string(value.IntegerValue());
    case VariantKind::Real:
      std::snprintf(number, sizeof number, "%.17g", value.RealValue());
      return number;
    case VariantKind::Currency:
      std::snprintf(number, sizeof number, "%.4f",
                    static_cast<double>(value.CurrencyValue()) / Variant::kCurrencyScale);
      return number;
    case VariantKind::Boolean:
      return value.ToBoolean() ? "true" : "false";
    case VariantKind::Date: {
      const double at = value.RealValue();
      const std::int32_t day = DateTimeToDayNumber(at);
      int y = 0, m = 0, d = 0;
      DateOfDayNumber(day, y, m, d);
      const long ms = std::lround((at - std::floor(at)) * 86400000.0);
      std::snprintf(number, sizeof number, "\"%04d-%02d-%02dT%02ld:%02ld:%02ld\"", y, m, d,
                    ms / 3600000, ms / 60000 % 60, ms / 1000 % 60);
      return number;
    }
    default:
      return Utf8Json(CurrentCodePages().AnsiToUtf8(value.ToText()));
  }
}

int Values(const std::string& path) {
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.SetReadOnly(true);
  dbf.SetShowDeleted(true);
  dbf.Open();
  UseSessionAnsiCodePage(SuitableAnsiPage(dbf.DbfFile()->CodePage(), DefaultAnsiCodePage()));
  for (dbf.First(); !dbf.AtEnd(); dbf.Next()) {
    std::string line = "{\"_deleted\": ";
    line += dbf.IsDeleted() ? "true" : "false";
    for (int i = 0; i < dbf.FieldCount(); ++i) {
      TField& field = dbf.Fields(i);
      line += ", " + Utf8Json(field.FieldName()) + ": ";
      // Binary memos (pictures, objects) are compared by presence only.
      if (field.DataType() == TFieldType::ftBlob) {
        line += field.TextValue().empty() ? "null" : "\"(BLOB)\"";
      } else {
        line += ValueJson(field.VariantValue());
      }
    }
    std::cout << line << "}\n";
  }
  dbf.Close();
  return 0;
}

}  // namespace
}  // namespace tavlo

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    if (args.size() == 2 && args[0] == "dump") return tavlo::Dump(args[1]);
    if (args.size() == 2 && args[0] == "values") return tavlo::Values(args[1]);
    if (args.size() == 5 && args[0] == "setmemo") {
      return tavlo::SetMemo(args[1], args[2], std::stoll(args[3]), args[4]);
    }
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  std::cerr << "usage: dbf_interop_helper dump TABLE.dbf | values TABLE.dbf | setmemo TABLE.dbf "
               "FIELD RECORD FILE\n";
  return 2;
}
