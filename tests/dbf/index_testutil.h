// Helpers of the index reader tests: the copied index corpus (tests/data/index), a table read
// through the cursor as the key checks need it, and the value a simple key expression gives.
#pragma once

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "dbf/dbffile.h"
#include "dbf/fields.h"
#include "dbf/indexreader.h"
#include "dbf/tdbf.h"
#include "text/qelstrings.h"

namespace tavlo::indextest {

inline std::string CorpusPath(const std::string& relative) {
  return std::string(TAVLO_TEST_DATA_DIR) + "/index/" + relative;
}

inline std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Every index file of the corpus with the table of the same name beside it.
inline std::vector<std::pair<std::string, std::string>> IndexesWithTables() {
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(CorpusPath(""))) {
    const std::string extension = Lower(entry.path().extension().string());
    if (extension != ".cdx" && extension != ".mdx" && extension != ".ndx" && extension != ".ntx") {
      continue;
    }
    for (const auto& other : std::filesystem::directory_iterator(entry.path().parent_path())) {
      if (Lower(other.path().extension().string()) == ".dbf" &&
          Lower(other.path().stem().string()) == Lower(entry.path().stem().string())) {
        pairs.emplace_back(entry.path().string(), other.path().string());
      }
    }
  }
  std::sort(pairs.begin(), pairs.end());
  return pairs;
}

inline std::string CorpusBytes(const std::string& relative) {
  return LoadFileToString(CorpusPath(relative));
}

// Every record of a table (deleted ones too): its bytes, deletion and field values.
struct TableRows {
  std::vector<TMyFieldInfo> fields;
  std::vector<std::string> bytes;
  std::vector<bool> deleted;
  std::vector<std::vector<Variant>> values;
};

inline TableRows ReadTable(const std::string& path) {
  TableRows rows;
  TDbf table;
  table.SetTableName(path);
  table.SetReadOnly(true);
  table.SetShowDeleted(true);
  table.Open();
  rows.fields = table.DbfFile()->FieldList();
  const std::size_t recordSize = static_cast<std::size_t>(table.DbfFile()->RecordSize());
  // The field objects by descriptor: system fields (Visual FoxPro's null flags) have none.
  std::vector<int> objects;
  for (const TMyFieldInfo& info : rows.fields) {
    objects.push_back(-1);
    for (int f = 0; f < table.FieldCount(); ++f) {
      std::string name = table.Fields(f).FieldName();
      for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
      if (name == info.name) objects.back() = f;
    }
  }
  for (table.First(); !table.AtEnd(); table.Next()) {
    rows.bytes.emplace_back(reinterpret_cast<const char*>(table.RecordBytesInUse()), recordSize);
    rows.deleted.push_back(table.IsDeleted());
    rows.values.emplace_back();
    for (int f : objects) {
      rows.values.back().push_back(f < 0 ? Variant() : table.Fields(f).VariantValue());
    }
  }
  table.Close();
  return rows;
}

// The field a key expression names when it is one field ("name", "FIELD->name",
// "alias->name", "UPPER(name)"), or -1.
inline int SimpleKeyField(const TableRows& rows, std::string expression, bool& upper) {
  std::string lower;
  for (char c : expression) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  upper = lower.rfind("upper(", 0) == 0 && lower.back() == ')';
  if (upper) lower = lower.substr(6, lower.size() - 7);
  const std::size_t arrow = lower.find("->");
  if (arrow != std::string::npos) lower = lower.substr(arrow + 2);
  for (std::size_t f = 0; f < rows.fields.size(); ++f) {
    if (rows.fields[f].name == lower) return static_cast<int>(f);
  }
  return -1;
}

inline TIndexKeyType KeyTypeOfField(const TMyFieldInfo& field) {
  switch (field.typeLetter) {
    case 'C':
    case 'L':
      return TIndexKeyType::Character;
    case 'D':
    case 'T':
      return TIndexKeyType::Date;
    default:
      return TIndexKeyType::Numeric;
  }
}

inline std::string UpperText(std::string text) {
  // Upper case of the tables' code pages (1252 and Latin-1 letters too).
  for (char& c : text) {
    const auto u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7)) {
      c = static_cast<char>(u - 32);
    }
  }
  return text;
}

// "" when decoded is what a key of that field holds for record (0-based), else both.
inline std::string KeyDisagreement(const TableRows& rows, int field, bool upper, std::size_t record,
                                   const TIndexKeyValue& decoded) {
  const TMyFieldInfo& info = rows.fields[field];
  const Variant& value = rows.values[record][field];
  const std::string raw = rows.bytes[record].substr(info.offset, info.length);
  const bool nullKey = decoded.kind == TIndexKeyValue::Kind::Null;
  std::string want;
  bool same = false;
  if (info.typeLetter == 'C' || info.typeLetter == 'L') {
    // From the bytes: the cursor calls blank texts null, and translates code pages.
    std::string text = raw;
    while (!text.empty() && text.back() == ' ') text.pop_back();
    if (upper) text = UpperText(text);
    want = value.IsNull() ? "null" : "'" + text + "'";
    same = nullKey ? value.IsNull()
                   : decoded.kind == TIndexKeyValue::Kind::Text && decoded.text == text;
  } else if (info.typeLetter == 'I' && !nullKey) {
    // From the bytes: Harbour's integers in a dBase III table give the cursor no value.
    const auto number = static_cast<std::int32_t>(IndexLe32(raw, 0));
    want = std::to_string(number);
    same = decoded.kind == TIndexKeyValue::Kind::Number && decoded.number == number;
  } else if (value.IsNull()) {
    want = "null";
    same = nullKey;
  } else if (value.IsDate()) {
    // The key of a date counts Julian days; the cursor's day number starts on 1899-12-30.
    const double julian = value.RealValue() + 2415019.0;
    want = "day " + std::to_string(julian);
    same = decoded.kind == TIndexKeyValue::Kind::Date && std::fabs(decoded.number - julian) < 1e-6;
  } else {
    const double number = value.ToReal();
    want = std::to_string(number);
    same = decoded.kind == TIndexKeyValue::Kind::Number &&
           std::fabs(decoded.number - number) <= 1e-9 * std::max(1.0, std::fabs(number));
  }
  if (same) return "";
  return "record " + std::to_string(record + 1) + ": key '" + decoded.text + "', field " + want;
}

}  // namespace tavlo::indextest
