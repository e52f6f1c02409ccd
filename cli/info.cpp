// tavlo-cli info TABLE: the header, the fields and the attached files of a table, read
// without writing anything. Opening messages go to stderr through the desktop host.
#include <cstdio>
#include <iostream>

#include "cli/command.h"
#include "dbf/dbferrors.h"
#include "dbf/dbffile.h"
#include "dbf/fptfile.h"
#include "dbf/indexfile.h"
#include "dbf/memofile.h"
#include "dbf/tablefiles.h"
#include "dbf/tdbf.h"
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
  std::string table;
  int codePage = 0;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i] == "--codepage") {
      if (i + 1 >= arguments.size()) throw UsageError("missing page after --codepage");
      codePage = ParseCodePageArgument(arguments[++i]);
    } else if (!arguments[i].empty() && arguments[i][0] == '-') {
      throw UsageError("unknown option '" + arguments[i] + "'");
    } else if (table.empty()) {
      table = arguments[i];
    } else {
      throw UsageError("info takes exactly one TABLE");
    }
  }
  if (table.empty()) throw UsageError("info takes exactly one TABLE");
  const std::string dataPath = ResolveDataFilePath(table);
  if (!Files().FileExists(dataPath)) throw EBinaryDataSetError::TableNotFound(dataPath);

  Held data{new TDbfFile(dataPath, OpenMode::ReadOnly)};
  TDbfFile& file = *static_cast<TDbfFile*>(data.file);
  TFieldDefs defs;
  file.LoadFieldList(defs);
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
  std::string indexText = "none";
  const std::string indexPath = FindCompanionFile(dataPath, ".mdx");
  if (!indexPath.empty()) {
    Held index{new TIndexFile(indexPath, OpenMode::ReadOnly)};
    indexText = indexPath;
  }

  char date[32];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", file.LastUpdateYear(), file.LastUpdateMonth(),
                file.LastUpdateDay());
  std::cout << "Table: " << dataPath << "\n"
            << "Version byte: " << Hex(file.VersionByte()) << "\n"
            << "Format: " << TableFormatName(file.Format()) << "\n"
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
            << "Code page: " << file.CodePageDescription() << "\n"
            << "Memo file: " << memoText << "\n"
            << "Index file: " << indexText << "\n"
            << "Fields: " << file.FieldCount() << "\n";
  std::printf("%-4s %-11s %-4s %6s %8s  %s\n", "#", "Name", "Type", "Length", "Decimals",
              "Field type");
  std::fflush(stdout);
  for (int i = 0; i < file.FieldCount(); ++i) {
    const TMyFieldInfo& info = file.FieldInfo(i);
    std::printf("%-4d %-11s %-4c %6d %8d  %s%s\n", i + 1, defs[i].name.c_str(), info.typeLetter,
                info.length, info.decimals, FieldTypeName(info.type),
                info.writable ? "" : " (read only)");
  }
  std::fflush(stdout);
  return 0;
}

const CommandRegistration kInfo({"info", "info TABLE [--codepage N]",
                                 "Show the header, fields, code page and attached memo and "
                                 "index files of a table (--codepage N: read it in page N)",
                                 RunInfo});

}  // namespace
}  // namespace tavlo::cli
