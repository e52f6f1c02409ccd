// The column layout over real tables of every family and field kind (tests/data/corpus, copied
// from public repositories, see SOURCES.md there; TAVLO_DBF_CORPUS may name one more folder of
// tables to go over): every field of every record read through the layout, as the display
// texts and the decoders give it, against the cursor's own DisplayText and value, under a
// single-byte session and a UTF-8 one.
#include "dbf/columnlayout.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "cursor_fixture.h"
#include "dbf/displaytexts.h"
#include "platform/codepage.h"
#include "platform/textcodec.h"

namespace tavlo {
namespace {

using namespace cursortest;

// The value the layout's decoders give a field stored as text or in a binary kind, as the
// cursor's FieldVariant has it; Empty for the kinds read another way (memos, V/Q bytes).
Variant LayoutValue(const TColumnLayout& layout, const TDbfFile& file, const TColumn& column,
                    const std::uint8_t* record) {
  if (layout.NullFlagged(column, record)) return Variant::Null();
  if (column.reading == FieldReading::Binary) {
    if (column.type == TFieldType::ftMemo || column.type == TFieldType::ftBlob) return Variant();
    Variant value;
    return layout.Binary(column, record, value) ? value : Variant::Null();
  }
  const std::string_view text = layout.Text(column, record);
  const bool blank = text.empty();
  switch (column.reading) {
    case FieldReading::Whole: {
      std::int64_t whole = 0;
      if (blank || !TColumnLayout::Whole(text, whole)) return Variant::Null();
      if (whole >= INT32_MIN && whole <= INT32_MAX)
        return Variant(static_cast<std::int32_t>(whole));
      return Variant(static_cast<double>(whole));
    }
    case FieldReading::Float:
      return blank ? Variant::Null() : Variant(TColumnLayout::Real(text));
    case FieldReading::Logical: {
      const TLogical flag = TColumnLayout::Logical(text);
      return flag == TLogical::Null ? Variant::Null() : Variant(flag == TLogical::True);
    }
    case FieldReading::Date: {
      const std::int32_t day = blank ? 0 : TColumnLayout::Day(text);
      return day == 0 ? Variant::Null() : Variant::Date(DayNumberToDateTime(day));
    }
    case FieldReading::String: {
      if (blank) return Variant::Null();
      const auto* table = layout.ByteTable();
      if (table == nullptr) return Variant(file.TextToAnsi(text));
      std::string ansi(text);
      for (char& c : ansi) c = static_cast<char>((*table)[static_cast<unsigned char>(c)]);
      return Variant(ansi);
    }
    default:
      return Variant();
  }
}

// Compares every field of every record; the count of fields compared.
int ExpectLayoutReadsAsTheCursor(TDbf& dbf, const std::string& table) {
  dbf.SetShowDeleted(true);
  const TColumnLayout& layout = dbf.Layout();
  EXPECT_EQ(layout.Columns(), dbf.DbfFile()->FieldCount()) << table;
  TDisplayTexts texts(dbf);
  TRecordBuffer buffer = dbf.NewRecordBuffer();
  std::string shown;
  int compared = 0;
  for (std::int32_t record = 0; record < static_cast<std::int32_t>(dbf.DbfFile()->RecordCount());
       ++record) {
    dbf.ReadRecordAt(record, buffer);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(buffer.data() + TDbf::kRecordOffset);
    for (int c = 0; c < dbf.FieldCount(); ++c) {
      const TField& field = dbf.Fields(c);
      const TColumn& column = layout.Column(field.FieldNo() - 1);
      SCOPED_TRACE(table + ", record " + std::to_string(record) + ", " + field.FieldName());
      shown.clear();
      texts.Append(c, bytes, shown);
      EXPECT_EQ(shown, dbf.DisplayTextAt(field, buffer));
      const Variant value = LayoutValue(layout, *dbf.DbfFile(), column, bytes);
      if (!value.IsEmpty()) {
        const Variant expected = dbf.FieldVariant(field, &buffer);
        EXPECT_EQ(value.Kind(), expected.Kind());
        if (value.Kind() == expected.Kind() && !value.IsNull()) {
          EXPECT_EQ(value.ToText(), expected.ToText());
        }
      }
      ++compared;
    }
  }
  return compared;
}

std::vector<std::string> TablesIn(const std::string& folder) {
  std::vector<std::string> tables;
  if (folder.empty() || !std::filesystem::is_directory(folder)) return tables;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    std::string extension = entry.path().extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
    if (entry.is_regular_file() && extension == ".dbf") tables.push_back(entry.path().string());
  }
  std::sort(tables.begin(), tables.end());
  return tables;
}

class ColumnLayoutCorpusTest : public CursorTest {};

TEST_F(ColumnLayoutCorpusTest, EveryFieldOfEveryTableReadsThroughTheLayoutAsTheCursorReadsIt) {
  std::vector<std::string> tables = TablesIn(TAVLO_TEST_DATA_DIR "/corpus");
  ASSERT_GE(tables.size(), 20u);  // the copies are there: a missing folder fails
  const char* more = std::getenv("TAVLO_DBF_CORPUS");
  for (const std::string& table : TablesIn(more != nullptr ? more : "")) tables.push_back(table);
  auto oem = NewTableCodePages(437, 1252);
  auto utf8 = NewTableCodePages(437, kUtf8CodePage);
  int opened = 0, fields = 0;
  for (const std::string& table : tables) {
    for (const CodePages* session : {oem.get(), utf8.get()}) {
      ScopedCodePages scoped(*session);
      TDbf dbf;
      dbf.SetTableName(table);
      dbf.SetReadOnly(true);
      try {
        dbf.Open();
      } catch (const Exception&) {
        continue;  // tables this system refuses have no layout
      }
      ++opened;
      fields += ExpectLayoutReadsAsTheCursor(dbf, table);
    }
  }
  EXPECT_GE(opened, 40);
  EXPECT_GT(fields, 1000);
}

}  // namespace
}  // namespace tavlo
