// The differential check of the filter plan, shared by the fuzz target and the test over
// fixed seeds: a random small table (every field type, blanks, nulls, control and non-ASCII
// bytes, odd numbers and dates, deleted records) written byte by byte, a random script of the
// planned shapes over its fields, and the record filter run on every record once with the
// plan and once with the interpreter. Any difference is reported as text; it must be none.
// A table may also be given as bytes (CheckTable). Never writes outside the folder it is given.
#pragma once

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "query/recordfilter.h"
#include "dbf/fieldcodec.h"
#include "dbf/fields.h"
#include "dbf/tdbf.h"
#include "platform/errors.h"
#include "platform/regional.h"
#include "script/qelscript.h"
#include "text/qelstrings.h"

namespace tavlo::filterdiff {

struct FieldShape {
  std::string name;
  char letter;
  int length;
  int decimals;
};

struct Outcome {
  bool planned = false;    // the script ran as a plan
  bool compiled = false;   // the script compiled at all
  std::string difference;  // empty when plan and interpreter agree on every record
};

class Generator {
 public:
  explicit Generator(std::uint64_t seed) : rng_(seed) {}
  int Below(int n) { return static_cast<int>(rng_() % static_cast<std::uint64_t>(n)); }
  bool Chance(int percent) { return Below(100) < percent; }
  template <typename T>
  const T& Pick(const std::vector<T>& items) {
    return items[static_cast<std::size_t>(Below(static_cast<int>(items.size())))];
  }

  std::vector<FieldShape> Fields() {
    static const char kLetters[] = {'C', 'C', 'N', 'N', 'F', 'L', 'D', 'M', 'X'};
    std::vector<FieldShape> fields;
    const int count = 1 + Below(5);
    for (int i = 0; i < count; ++i) {
      FieldShape f{"F" + std::to_string(i), kLetters[Below(sizeof kLetters)], 1, 0};
      switch (f.letter) {
        case 'C':
        case 'X':
          f.length = 1 + Below(12);
          break;
        case 'N':
          f.length = 1 + Below(20);
          if (Chance(40) && f.length > 2)
            f.decimals = 1 + Below(f.length - 2 < 4 ? f.length - 2 : 4);
          break;
        case 'F':
          f.length = 3 + Below(18);
          f.decimals = Below(4);
          break;
        case 'L':
          f.length = 1;
          break;
        case 'D':
          f.length = 8;
          break;
        case 'M':
          f.length = 10;
          break;
      }
      fields.push_back(f);
    }
    return fields;
  }

  // Field bytes of every kind the file may hold, fitted to the field's length.
  std::string Bytes(const FieldShape& f) {
    static const std::vector<std::string> kText = {
        "Paris", "paris", " Paris",        "PARIS ",   "Par",     "Pa ris", "",   " ",   "\t",
        "x\x01", "\x01x", "\x80\xe9t\xe9", "\xff",     "caf\x82", "10",     " 9", "1.5", "abc",
        "ab",    "b",     "a..c",          "New York", "smith",   "SMITH",  "zz", "A",   "true",
        "-3",    "\x00",  "a\x00b"};
    static const std::vector<std::string> kNumber = {"0",
                                                     "1",
                                                     "-1",
                                                     "12",
                                                     " 12",
                                                     "12 ",
                                                     "70",
                                                     "69",
                                                     "71",
                                                     "-70",
                                                     "+5",
                                                     "-",
                                                     "+",
                                                     "abc",
                                                     "1.5",
                                                     "-0.5",
                                                     "1,5",
                                                     "2147483647",
                                                     "2147483648",
                                                     "-2147483649",
                                                     "99999999999999999999",
                                                     "9223372036854775807",
                                                     "1e3",
                                                     "nan",
                                                     "inf",
                                                     ".5",
                                                     "5.",
                                                     "1.2.3",
                                                     "00012",
                                                     ""};
    static const std::vector<std::string> kDate = {
        "20240229", "20230229", "85",  "05", "00000000", "2024",     "20241301", "19991231",
        "20000101", "2024 1 1", "abc", "",   "19000101", "00010101", "99991231", "20240100"};
    static const std::vector<std::string> kLogical = {"T", "t", "F", "f", "Y",
                                                      "N", "?", " ", "1", "\x80"};
    std::string text;
    switch (f.letter) {
      case 'N':
      case 'F':
        text = Pick(kNumber);
        break;
      case 'D':
        text = Pick(kDate);
        break;
      case 'L':
        text = Pick(kLogical);
        break;
      case 'M':
        text = Chance(50) ? "" : "0";
        break;
      default:
        if (Chance(15)) {
          for (int i = 0; i < f.length; ++i) text += static_cast<char>(Below(256));
        } else {
          text = Pick(kText);
        }
        break;
    }
    if (static_cast<int>(text.size()) > f.length) text.resize(static_cast<std::size_t>(f.length));
    // Numbers usually stand right-aligned, texts left-aligned; both happen either way.
    const std::string pad(static_cast<std::size_t>(f.length) - text.size(), ' ');
    return (f.letter == 'N' || f.letter == 'F') && Chance(70) ? pad + text : text + pad;
  }

  // A dBase III file of the fields and records, every byte chosen here.
  std::string Table(const std::vector<FieldShape>& fields, int records) {
    int recordSize = 1;
    for (const FieldShape& f : fields) recordSize += f.length;
    const int headerSize = 32 + 32 * static_cast<int>(fields.size()) + 1;
    std::string out(32, '\0');
    out[0] = 0x03;
    out[1] = 124;
    out[2] = 1;
    out[3] = 1;
    for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<char>((records >> (8 * i)) & 0xff);
    out[8] = static_cast<char>(headerSize & 0xff);
    out[9] = static_cast<char>(headerSize >> 8);
    out[10] = static_cast<char>(recordSize & 0xff);
    out[11] = static_cast<char>(recordSize >> 8);
    for (const FieldShape& f : fields) {
      std::string descriptor(32, '\0');
      descriptor.replace(0, f.name.size(), f.name);
      descriptor[11] = f.letter;
      descriptor[16] = static_cast<char>(f.length);
      descriptor[17] = static_cast<char>(f.decimals);
      out += descriptor;
    }
    out += '\r';
    for (int r = 0; r < records; ++r) {
      out += Chance(15) ? (Chance(50) ? '*' : '#') : ' ';
      for (const FieldShape& f : fields) out += Bytes(f);
    }
    out += '\x1a';
    return out;
  }

  std::string Literal(const FieldShape& f) {
    static const std::vector<std::string> kAny = {"'Paris'",
                                                  "'paris'",
                                                  "'Par'",
                                                  "''",
                                                  "' Paris'",
                                                  "'Paris '",
                                                  "'b'",
                                                  "'a..c'",
                                                  "'10'",
                                                  "'9'",
                                                  "'1.5'",
                                                  "'abc'",
                                                  "'true'",
                                                  "'FALSE'",
                                                  "'\xe9t\xe9'",
                                                  "'caf\x82'",
                                                  "\"New York\"",
                                                  "[a b..c \"New York\" Paris]",
                                                  "'b..z'",
                                                  "'\"unclosed a'",
                                                  "0",
                                                  "1",
                                                  "-1",
                                                  "12",
                                                  "70",
                                                  "1.5",
                                                  "-0.5",
                                                  "2147483647",
                                                  "$10",
                                                  "1e3",
                                                  "45000",
                                                  "'12'",
                                                  "'70'",
                                                  "' 12'"};
    static const std::vector<std::string> kDates = {"'20240229'", "36526", "45351", "45351.5"};
    if (f.letter == 'D' && Chance(50)) {
      if (Chance(50))
        return DateToText(DayNumberToDateTime(DayNumberOfDate(2000 + Below(30), 2, 29 - Below(2))));
      return Pick(kDates);
    }
    return Pick(kAny);
  }

  std::string Condition(const std::vector<FieldShape>& fields, int depth) {
    static const std::vector<std::string> kCompare = {"=", "<>", "<", "<=", ">", ">="};
    static const std::vector<std::string> kText = {"like", "unlike", "in"};
    const int choice = depth > 2 ? Below(10) : Below(16);
    if (choice < 8) {
      const FieldShape& f = Pick(fields);
      std::string name = f.name;
      if (Chance(30)) name = LowerCase(name);
      const std::string field = ">" + name + ".get";
      if (choice < 2) return field + " " + Literal(f) + " " + Pick(kText);
      if (choice == 2) return Literal(f) + " " + field + " " + Pick(kCompare);
      return field + " " + Literal(f) + " " + Pick(kCompare);
    }
    if (choice < 10) {
      for (const FieldShape& f : fields)
        if (f.letter == 'L' && Chance(70)) return ">" + f.name + ".get";
      return Chance(50) ? "true" : "false";
    }
    if (choice < 12) return Condition(fields, depth + 1) + " not";
    static const std::vector<std::string> kLogic = {"and", "or", "xor"};
    return Condition(fields, depth + 1) + " " + Condition(fields, depth + 1) + " " + Pick(kLogic);
  }

 private:
  static std::string LowerCase(std::string s) {
    for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return s;
  }
  std::mt19937_64 rng_;
};

// Accept, reject or the error's message, for every record read by bookmark.
inline std::vector<std::string> Verdicts(TDbf& dbf) {
  std::vector<std::string> verdicts;
  TRecordBuffer buffer = dbf.NewRecordBuffer();
  for (int i = 0; i < dbf.RecordCount(); ++i) {
    try {
      verdicts.push_back(dbf.ReadRecordAt(i, buffer) ? "accept" : "reject");
    } catch (const std::exception& error) {
      verdicts.push_back(std::string("error: ") + error.what());
    }
  }
  return verdicts;
}

// The records a scan forwards shows, then the error that stopped it (if any).
inline std::string Scan(TDbf& dbf, TRecordFilter& filter) {
  std::string shown;
  try {
    filter.Apply();
    for (; !dbf.AtEnd(); dbf.Next()) shown += std::to_string(dbf.RecordNumber()) + " ";
  } catch (const std::exception& error) {
    shown += std::string("error: ") + error.what();
  }
  return shown;
}

// The script against the table at path (a .dbf file name), plan against interpreter.
inline Outcome Compare(const std::string& path, const std::string& script,
                       const std::vector<FieldShape>& fields, std::uint64_t seed) {
  Outcome outcome;
  TDbf dbf;
  dbf.SetTableName(path);
  dbf.SetReadOnly(true);
  TqelScript engine;
  TRecordFilter filter(dbf, engine);
  try {
    filter.SetFilterText(script);
  } catch (const std::exception&) {
    return outcome;  // e.g. a date literal the regional format does not read
  }
  outcome.compiled = true;
  try {
    dbf.Open();
  } catch (const Exception&) {
    return outcome;  // a table given as bytes may not open at all
  }
  std::string report;
  for (bool showDeleted : {false, true}) {
    dbf.SetShowDeleted(showDeleted);
    dbf.SetFiltered(true);
    filter.SetPlanning(false);
    const std::vector<std::string> expected = Verdicts(dbf);
    const std::string expectedScan = Scan(dbf, filter);
    filter.SetPlanning(true);
    outcome.planned = filter.Planned();
    const std::vector<std::string> actual = Verdicts(dbf);
    const std::string actualScan = Scan(dbf, filter);
    for (std::size_t i = 0; i < expected.size(); ++i) {
      if (expected[i] != actual[i]) {
        report += "record " + std::to_string(i + 1) + ": interpreter " + expected[i] + ", plan " +
                  actual[i] + "\n";
      }
    }
    if (expectedScan != actualScan)
      report += "scan: interpreter [" + expectedScan + "], plan [" + actualScan + "]\n";
  }
  dbf.Close();
  if (!report.empty()) {
    std::string layout;
    for (const FieldShape& f : fields)
      layout += f.name + " " + f.letter + "(" + std::to_string(f.length) + "," +
                std::to_string(f.decimals) + ") ";
    outcome.difference = "seed " + std::to_string(seed) + ", script " + script + ", fields " +
                         layout + "\n" + report;
  }
  return outcome;
}

// One seed: a random table at path (a .dbf file name) and script, plan against interpreter.
// One table in ten gets a header record size smaller than its fields need, so that fields
// are cut off or lie wholly past the record the cursor reads.
inline Outcome Check(std::uint64_t seed, const std::string& path) {
  Generator gen(seed);
  const std::vector<FieldShape> fields = gen.Fields();
  const int records = gen.Below(25);
  std::string table = gen.Table(fields, records);
  const std::string script = gen.Condition(fields, 0);
  // Drawn last, so that every seed keeps the table and script it had before.
  if (gen.Chance(10)) {
    const int full = static_cast<unsigned char>(table[10]) | static_cast<unsigned char>(table[11])
                                                                 << 8;
    const int cut = 1 + gen.Below(full > 1 ? full - 1 : 1);
    table[10] = static_cast<char>(cut & 0xff);
    table[11] = static_cast<char>(cut >> 8);
  }
  SaveStringToFile(path, table);
  return Compare(path, script, fields, seed);
}

// A table given as bytes (a seed file, a real table) with a random script over its fields.
inline Outcome CheckTable(std::uint64_t seed, const std::string& path, const std::string& bytes) {
  SaveStringToFile(path, bytes);
  std::vector<FieldShape> fields;
  try {
    TDbf dbf;
    dbf.SetTableName(path);
    dbf.SetReadOnly(true);
    dbf.Open();
    for (int i = 0; i < dbf.FieldCount(); ++i) {
      const TField& field = dbf.Fields(i);
      const TMyFieldInfo& info = dbf.DbfFile()->FieldInfo(field.FieldNo() - 1);
      fields.push_back({field.FieldName(), info.typeLetter, info.length, info.decimals});
    }
    dbf.Close();
  } catch (const Exception&) {
    return Outcome();
  }
  if (fields.empty()) return Outcome();
  Generator gen(seed);
  return Compare(path, gen.Condition(fields, 0), fields, seed);
}

}  // namespace tavlo::filterdiff
