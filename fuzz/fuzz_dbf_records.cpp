// libFuzzer target: arbitrary bytes as a table's data file (and, when the first byte says
// so, its tail as the memo file) in a private temporary folder, opened read-only through the
// cursor and walked forwards and backwards with and without a filter, reading every field's
// text, display text, value and memo stream; then opened for writing, a record edited, one
// appended and one deleted, and read again. Only crashes, leaks and undefined behaviour
// count; engine errors are expected.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dbf/fields.h"
#include "dbf/tdbf.h"
#include "fuzz/fuzzsupport.h"
#include "text/qelstrings.h"

namespace {

constexpr int kMaxRecords = 200;

void ReadFields(tavlo::TDbf& dbf) {
  for (int f = 0; f < dbf.FieldCount(); ++f) {
    tavlo::TField& field = dbf.Fields(f);
    field.IsNull();
    field.TextValue();
    field.DisplayText();
    field.VariantValue();
    if (field.DataType() == tavlo::TFieldType::ftMemo) {
      auto stream = dbf.CreateBlobStream(field, tavlo::TMyBlobFile::Mode::Read);
      char buffer[64];
      stream->Read(buffer, sizeof buffer);
    }
  }
}

void Walk(tavlo::TDbf& dbf) {
  int seen = 0;
  for (dbf.First(); !dbf.AtEnd() && seen < kMaxRecords; dbf.Next(), ++seen) {
    ReadFields(dbf);
    dbf.RecordNumber();
    dbf.IsDeleted();
  }
  seen = 0;
  for (dbf.Last(); !dbf.AtStart() && seen < kMaxRecords / 4; dbf.Prior(), ++seen) ReadFields(dbf);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static tavlo::fuzz::JailFiles folder;
  static tavlo::fuzz::QuietHost host;
  tavlo::ScopedDesktopHost scopedHost(host);
  if (size == 0) return 0;

  const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t memoLength = data[0] & 1 ? input.size() * (data[0] >> 1) / 128 : 0;
  const std::string base = folder.Folder() + "/t";
  tavlo::SaveStringToFile(base + ".dbf", input.substr(0, input.size() - memoLength));
  if (data[0] & 1) tavlo::SaveStringToFile(base + ".dbt", input.substr(input.size() - memoLength));

  {
    tavlo::TDbf dbf;
    try {
      dbf.SetTableName(base + ".dbf");
      dbf.SetReadOnly(true);
      dbf.Open();
      Walk(dbf);
      dbf.SetShowDeleted(true);
      dbf.SetFiltered(true);
      dbf.OnFilterRecord = [](tavlo::TDbf& set, bool& accept) {
        accept = set.FieldCount() == 0 || set.Fields(0).TextValue().size() % 2 == 0;
      };
      Walk(dbf);
      tavlo::TRecordBuffer buffer = dbf.NewRecordBuffer();
      const int count = dbf.RecordCount();
      for (int b = 0; b < count && b < kMaxRecords; b += 7) {
        dbf.ReadRecordAt(b, buffer);
        for (int f = 0; f < dbf.FieldCount(); ++f) {
          dbf.Fields(f).TextValueIn(buffer);
          dbf.Fields(f).VariantValueIn(buffer);
        }
      }
      dbf.Close();
    } catch (const tavlo::Exception&) {
    }
  }
  // The same file, written: every field of the first record given back its own text, a record
  // appended from them, the last one deleted; then read again.
  {
    tavlo::TDbf dbf;
    try {
      dbf.SetTableName(base + ".dbf");
      dbf.Open();
      dbf.First();
      std::vector<std::string> texts;
      for (int f = 0; f < dbf.FieldCount(); ++f) texts.push_back(dbf.Fields(f).TextValue());
      for (int pass = 0; pass < 2; ++pass) {
        if (pass == 0)
          dbf.Edit();
        else
          dbf.Insert();
        for (int f = 0; f < dbf.FieldCount(); ++f) {
          try {
            dbf.Fields(f).SetTextValue(texts[f]);
          } catch (const tavlo::Exception&) {
          }
        }
        dbf.Post();
      }
      dbf.Last();
      if (!dbf.IsEmpty()) dbf.Delete();
      dbf.Close();
      dbf.SetReadOnly(true);
      dbf.Open();
      Walk(dbf);
    } catch (const tavlo::Exception&) {
    }
  }
  folder.Clear();
  return 0;
}
