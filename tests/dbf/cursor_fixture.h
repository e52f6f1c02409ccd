// Shared helpers of the cursor, dataset and table creation tests: a scratch folder, a host
// that records messages, fixed regional settings and a table maker.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testsupport.h"

#include "dbf/fields.h"
#include "dbf/tdbf.h"
#include "platform/desktophost.h"
#include "platform/regional.h"

namespace tavlo::cursortest {

using testsupport::ScratchFolder;

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

using RecordingHost = SilentDesktopHost;

// Every test runs with a recording host and dot-decimal, ISO-like dates.
class CursorTest : public ::testing::Test {
 protected:
  CursorTest() : hostScope_(host_), regionalScope_(Settings()) {}

  static RegionalSettings Settings() {
    RegionalSettings settings;
    settings.decimalSeparator = '.';
    settings.dateSeparator = '-';
    settings.shortDateFormat = "yyyy/mm/dd";
    return settings;
  }

  // Creates a table at name in the scratch folder from the definitions.
  std::string MakeTable(const std::string& name, const TFieldDefs& definitions) {
    TDbf dbf;
    dbf.SetTableName(folder_.File(name));
    dbf.FieldDefs() = definitions;
    dbf.CreateTableFile();
    return folder_.File(name);
  }

  // Creates the table and appends rows through the cursor: each row gives the texts of the
  // first fields in order; an empty text leaves the field null.
  std::string MakeTable(const std::string& name, const TFieldDefs& definitions,
                        const std::vector<std::vector<std::string>>& rows) {
    std::string path = MakeTable(name, definitions);
    TDbf dbf;
    dbf.SetTableName(path);
    dbf.Open();
    for (const auto& row : rows) {
      dbf.Insert();
      for (std::size_t i = 0; i < row.size(); ++i) {
        if (!row[i].empty()) dbf.LookupField(definitions[i].name).SetTextValue(row[i]);
      }
      dbf.Post();
    }
    dbf.Close();
    return path;
  }

  // Writes bytes as the file name of the scratch folder; its path.
  std::string WriteFile(const std::string& name, const std::string& bytes) {
    WriteBytes(folder_.File(name), bytes);
    return folder_.File(name);
  }

  // A table NAME C(10), AGE N(11) with the given names; AGE is 10 * (position + 1).
  std::string MakePeople(const std::vector<std::string>& names,
                         const std::string& file = "people.dbf") {
    std::string path =
        MakeTable(file, {{"NAME", TFieldType::ftString, 10}, {"AGE", TFieldType::ftInteger, 0}});
    TDbf dbf;
    dbf.SetTableName(path);
    dbf.Open();
    for (std::size_t i = 0; i < names.size(); ++i) {
      dbf.Insert();
      dbf.LookupField("NAME").SetTextValue(names[i]);
      dbf.LookupField("AGE").SetTextValue(std::to_string(10 * (i + 1)));
      dbf.Post();
    }
    dbf.Close();
    host_.messages.clear();
    return path;
  }

  // Sets the deletion flag byte of record index (0-based) directly in the file.
  static void SetFlagInFile(const std::string& path, int index, char flag) {
    std::string bytes = ReadBytes(path);
    int headerSize =
        static_cast<unsigned char>(bytes[8]) | (static_cast<unsigned char>(bytes[9]) << 8);
    int recordSize =
        static_cast<unsigned char>(bytes[10]) | (static_cast<unsigned char>(bytes[11]) << 8);
    bytes[static_cast<std::size_t>(headerSize + index * recordSize)] = flag;
    WriteBytes(path, bytes);
  }

  // The NAME of every visible record, walking forward from First.
  static std::vector<std::string> Walk(TDbf& dbf) {
    std::vector<std::string> names;
    dbf.First();
    while (!dbf.AtEnd()) {
      names.push_back(dbf.LookupField("NAME").TextValue());
      dbf.Next();
    }
    return names;
  }

  RecordingHost host_;
  ScratchFolder folder_;

 private:
  ScopedDesktopHost hostScope_;
  ScopedRegionalSettings regionalScope_;
};

}  // namespace tavlo::cursortest
