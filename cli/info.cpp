// tavlo-cli info TABLE: the header, the fields and the attached files of a table, read
// without writing anything. Opening messages go to stderr through the desktop host.
#include <cstdio>
#include <iostream>

#include "cli/command.h"
#include "dbf/dbferrors.h"
#include "dbf/dbffile.h"
#include "dbf/indexfile.h"
#include "dbf/memofile.h"
#include "platform/filenames.h"
#include "platform/filesystem.h"

namespace tavlo::cli {
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

int RunInfo(const std::vector<std::string>& arguments) {
  if (arguments.size() != 1) throw UsageError("info takes exactly one TABLE");
  const std::string dataPath = ChangeFileExt(arguments[0], ".dbf");
  if (!Files().FileExists(dataPath)) throw EBinaryDataSetError::TableNotFound(dataPath);

  Held data{new TDbfFile(dataPath, OpenMode::ReadOnly)};
  TDbfFile& file = *static_cast<TDbfFile*>(data.file);
  TFieldDefs defs;
  file.LoadFieldList(defs);

  std::string memoText = "none";
  const std::string memoPath = ChangeFileExt(dataPath, ".dbt");
  const std::string memoProblem = MemoFileProblem(memoPath, defs, file.HeaderRecordCount());
  if (!memoProblem.empty()) {
    memoText = "missing or unreadable: " + memoProblem + " (memo fields show as (MEMO))";
  } else if (Files().FileExists(memoPath)) {
    Held memo{new TDbtFile(memoPath, file.Level(), OpenMode::ReadOnly)};
    auto& dbt = *static_cast<TDbtFile*>(memo.file);
    memoText = memoPath + " (block size " + std::to_string(dbt.BlockSize()) + ", next free block " +
               std::to_string(dbt.NextFreeBlock()) + ")";
  }
  std::string indexText = "none";
  const std::string indexPath = ChangeFileExt(dataPath, ".mdx");
  if (Files().FileExists(indexPath)) {
    Held index{new TIndexFile(indexPath, OpenMode::ReadOnly)};
    indexText = indexPath;
  }

  char date[32];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", file.LastUpdateYear(), file.LastUpdateMonth(),
                file.LastUpdateDay());
  std::cout << "Table: " << dataPath << "\n"
            << "Version byte: " << Hex(file.VersionByte()) << "\n"
            << "Level: " << int(file.Level()) << "\n"
            << "Records: " << file.HeaderRecordCount() << "\n"
            << "Header size: " << file.HeaderSize() << "\n"
            << "Record size: " << file.RecordSize();
  if (file.HeaderRecordSize() != file.RecordSize()) {
    std::cout << " (fields need " << file.HeaderRecordSize() << ")";
  }
  std::cout << "\n"
            << "Last update: " << date << "\n"
            << "Language byte: " << Hex(file.LanguageByte()) << "\n"
            << "Memo file: " << memoText << "\n"
            << "Index file: " << indexText << "\n"
            << "Fields: " << file.FieldCount() << "\n";
  std::printf("%-4s %-11s %-4s %6s %8s  %s\n", "#", "Name", "Type", "Length", "Decimals",
              "Field type");
  std::fflush(stdout);
  for (int i = 0; i < file.FieldCount(); ++i) {
    const TMyFieldInfo& info = file.FieldInfo(i);
    std::printf("%-4d %-11s %-4c %6d %8d  %s\n", i + 1, defs[i].name.c_str(), info.typeLetter,
                info.length, info.decimals, FieldTypeName(info.type));
  }
  std::fflush(stdout);
  return 0;
}

const CommandRegistration kInfo({"info", "info TABLE",
                                 "Show the header, fields and attached memo and index files of "
                                 "a table",
                                 RunInfo});

}  // namespace
}  // namespace tavlo::cli
