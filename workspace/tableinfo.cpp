// What `tavlo-cli info` prints and the "Table information" window shows: version, format,
// level, counts, sizes, last update, language byte and code page, the memo file, the field
// list and the index files with their tags, read without writing anything. What the opening
// checks corrected goes back to the caller as diagnostics.
#include "workspace/tableinfo.h"

#include <cstdio>
#include <sstream>

#include "dbf/columnlayout.h"
#include "dbf/dbferrors.h"
#include "dbf/dbffile.h"
#include "dbf/fptfile.h"
#include "dbf/memofile.h"
#include "dbf/tablefiles.h"
#include "dbf/tableindexes.h"
#include "dbf/tdbf.h"
#include "platform/filenames.h"
#include "platform/filesystem.h"

namespace tavlo {
namespace {

std::string Hex(unsigned value) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "0x%02X", value);
  return buffer;
}

// Releases a paged file at the end of a scope, whatever happens.
struct Held {
  TPagedFile* file = nullptr;
  ~Held() { TPagedFile::Release(file); }
};

}  // namespace

std::string TableInformationText(const std::string& dataPath, std::vector<std::string>& diagnostics,
                                 int codePage, const std::vector<std::string>& indexFiles) {
  if (!Files().FileExists(dataPath)) throw EBinaryDataSetError::TableNotFound(dataPath);

  Held data{new TDbfFile(dataPath, OpenMode::ReadOnly)};
  TDbfFile& file = *static_cast<TDbfFile*>(data.file);
  const auto takeDiagnostics = [&] {
    for (std::string& text : file.TakeOpenDiagnostics()) diagnostics.push_back(std::move(text));
  };
  takeDiagnostics();
  TFieldDefs defs;
  file.LoadFieldList(defs);
  takeDiagnostics();
  ApplyTableCodePage(file, dataPath, codePage);

  std::string memoText = "none";
  const char* memoExtension = file.IsFoxPro() ? ".fpt" : ".dbt";
  const std::string memoPath = FindCompanionFile(dataPath, memoExtension);
  const std::string memoProblem =
      MemoFileProblem(memoPath.empty() ? ChangeFileExt(dataPath, memoExtension) : memoPath, defs,
                      file.HeaderRecordCount());
  if (!memoProblem.empty()) {
    memoText = "missing or unreadable: " + memoProblem + " (memo fields show as (MEMO))";
  } else if (!memoPath.empty() && file.IsFoxPro()) {
    Held memo{new TFptFile(memoPath, OpenMode::ReadOnly)};
    auto& fpt = *static_cast<TFptFile*>(memo.file);
    memoText = memoPath + " (block size " + std::to_string(fpt.BlockSize()) + ", next free block " +
               std::to_string(fpt.NextFreeBlock()) + ")";
  } else if (!memoPath.empty()) {
    Held memo{new TDbtFile(memoPath, file.Level(), OpenMode::ReadOnly)};
    auto& dbt = *static_cast<TDbtFile*>(memo.file);
    memoText = memoPath + " (block size " + std::to_string(dbt.BlockSize()) + ", next free block " +
               std::to_string(dbt.NextFreeBlock()) + ")";
  }
  // Tags are compiled against the fields as the cursor would read them; their trees are walked
  // so that the listing gives each tag's key count and any damage inside it.
  TColumnLayout layout;
  layout.Build(file);
  TTableIndexes indexes;
  AttachTableIndexFiles(indexes, file, layout, dataPath, indexFiles, true);

  std::ostringstream out;
  char date[32];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", file.LastUpdateYear(), file.LastUpdateMonth(),
                file.LastUpdateDay());
  out << "Table: " << dataPath << "\n"
      << "Version byte: " << Hex(file.VersionByte()) << "\n"
      << "Format: " << TableFormatName(file.Format()) << "\n"
      << "Level: " << int(file.Level()) << "\n"
      << "Records: " << file.HeaderRecordCount() << "\n"
      << "Header size: " << file.HeaderSize() << "\n"
      << "Record size: " << file.RecordSize();
  if (file.FieldsRecordSize() != file.RecordSize()) {
    out << " (fields need " << file.FieldsRecordSize() << "; read-only until repaired)";
  }
  out << "\n"
      << "Last update: " << date << "\n"
      << "Language byte: " << Hex(file.LanguageByte()) << "\n"
      << "Code page: " << file.CodePageDescription() << "\n"
      << "Memo file: " << memoText << "\n"
      << "Fields: " << file.FieldCount() << "\n";
  char line[200];
  std::snprintf(line, sizeof line, "%-4s %-11s %-4s %6s %8s  %s\n", "#", "Name", "Type", "Length",
                "Decimals", "Field type");
  out << line;
  for (int i = 0; i < file.FieldCount(); ++i) {
    const TMyFieldInfo& info = file.FieldInfo(i);
    std::snprintf(line, sizeof line, "%-4d %-11s %-4c %6d %8d  %s%s\n", i + 1,
                  defs[static_cast<std::size_t>(i)].name.c_str(), info.typeLetter, info.length,
                  info.decimals, FieldTypeName(info.type), info.writable ? "" : " (read only)");
    out << line;
  }
  out << IndexListText(indexes);
  return out.str();
}

}  // namespace tavlo
