// Pack: the new table built in memory from the live records, written beside the old one and
// moved in by renames behind a commit mark (the states are in tablepack.h).
#include "dbf/tablepack.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "dbf/commitmark.h"
#include "dbf/dbferrors.h"
#include "dbf/deletionflag.h"
#include "dbf/memofile.h"
#include "dbf/tabledoctor.h"
#include "dbf/tablefiles.h"
#include "dbf/tablelayout.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/filenames.h"
#include "platform/filesystem.h"
#include "platform/processes.h"
#include "platform/regional.h"

namespace tavlo {

namespace {

// The names of one pack's files.
struct PackFiles {
  std::string data, memo;        // the table's files
  std::string newData, newMemo;  // .NAME.pack-PID.*, file names in folder
  std::string bakData, bakMemo;  // NAME.bak.*
  std::string mark;              // NAME.pack-commit

  explicit PackFiles(const std::string& tablePath) {
    data = tablePath;
    memo = MemoFileOf(tablePath);
    const std::string base = ChangeFileExt(tablePath, "");
    const std::string dataExt = ExtractFileExt(tablePath);
    const std::string memoExt = ExtractFileExt(memo);
    const std::string hidden =
        "." + ExtractFileName(base) + ".pack-" + std::to_string(CurrentProcessId());
    newData = hidden + dataExt;
    newMemo = hidden + memoExt;
    bakData = base + ".bak" + dataExt;
    bakMemo = base + ".bak" + memoExt;
    mark = PackMarkPath(tablePath);
  }
};

std::string Reason(int error) {
  return error != 0 ? std::string(" (") + std::strerror(error) + ")" : std::string();
}

// A mark left by a pack that died before it could write a word holds nothing; one still being
// written holds its lock within moments. Anything else in the way is named.
void ClearInterruptedPack(const std::string& tablePath) {
  const std::string mark = PackMarkPath(tablePath);
  for (int look = 0;; ++look) {
    const TRecovery recovery = RecoverCommit(mark);
    if (recovery.outcome == TRecovery::Busy)
      throw EDatabaseError("A pack of " + tablePath + " is under way" +
                           (recovery.owner > 0 ? " (process " + std::to_string(recovery.owner) + ")"
                                               : std::string()) +
                           "; pack again when it has ended");
    if (recovery.outcome != TRecovery::Foreign) return;
    if (Files().FileSize(mark) != 0)
      throw EDatabaseError(mark +
                           " is in the way: it is not a pack mark of this program; move it "
                           "away before packing");
    if (look > 0) {
      Files().DeleteFile(mark);
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
}

void PutBlock(std::uint8_t* field, int length, std::int32_t block) {
  std::memset(field, ' ', static_cast<std::size_t>(length));
  if (block <= 0) return;
  char digits[16];
  const int n = std::snprintf(digits, sizeof digits, "%d", block);
  if (n > length) throw EDatabaseError("Memo block number does not fit its field");
  std::memcpy(field + length - n, digits, static_cast<std::size_t>(n));
}

std::int32_t GetBlock(const std::uint8_t* field, int length) {
  std::int64_t block = 0;
  for (int i = 0; i < length; ++i) {
    const char c = static_cast<char>(field[i]);
    if (c >= '0' && c <= '9') {
      block = block * 10 + (c - '0');
      if (block > 0x7FFFFFFF) return 0;
    } else if (c != ' ' && c != 0) {
      return 0;
    }
  }
  return static_cast<std::int32_t>(block);
}

}  // namespace

std::int64_t CountDeletedRecords(const std::string& tablePath) {
  std::unique_ptr<ByteStream> stream = Files().Open(tablePath, OpenMode::ReadOnly);
  TTableLayout layout;
  if (!ReadTableLayout(*stream, layout)) return 0;
  const int size = layout.UsableRecordSize();
  std::int64_t deleted = 0;
  std::uint8_t flag = 0;
  for (std::int64_t i = 0; i < layout.PhysicalCount(); ++i) {
    stream->ReadAt(layout.DataStart() + i * size, &flag, 1);
    if (IsDeletedFlag(flag)) ++deleted;
  }
  return deleted;
}

std::string PackMarkPath(const std::string& tablePath) {
  return ChangeFileExt(tablePath, "") + ".pack-commit";
}

std::string RepairMarkPath(const std::string& outputPath) {
  return ChangeFileExt(outputPath, "") + ".repair-commit";
}

void FinishInterruptedPack(const std::string& dataPath) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  // The table has no data file for the moment a running pack moves its files: wait for it.
  while (true) {
    const TRecovery recovery = RecoverCommit(PackMarkPath(dataPath));
    if (recovery.outcome != TRecovery::Busy || !recovery.moving ||
        std::chrono::steady_clock::now() > deadline)
      break;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  RecoverCommit(RepairMarkPath(dataPath));
}

TPackResult PackTable(const std::string& tableName) {
  // Found again after the recovery, which may have put the data file back under its name.
  ClearInterruptedPack(ResolveDataFilePath(tableName));
  const std::string tablePath = ResolveDataFilePath(tableName);
  if (!Files().FileExists(tablePath)) throw EFOpenError::ForPath(tablePath);
  const PackFiles files(tablePath);

  // Held for reading and writing to the end, so no other program writes while the copy is
  // made and the files are moved, and one that writes the table refuses the pack.
  std::unique_ptr<ByteStream> data;
  try {
    data = Files().Open(tablePath, OpenMode::ReadWrite);
  } catch (const EFShareError&) {
    throw EDatabaseError("Cannot pack " + tablePath +
                         ": the table is open in another program (or in this one); close it "
                         "there before packing");
  } catch (const EStreamError& error) {
    throw EDatabaseError(std::string(error.what()) +
                         " (a pack rewrites the table, so it needs write access to it)");
  }
  TTableLayout layout;
  const bool read = ReadTableLayout(*data, layout);
  if (read && layout.foreign)
    throw EDatabaseError("Only dBase III and IV tables can be packed; " + tablePath +
                         " is a FoxPro or dBase 7 table");
  if (!read || layout.fields.empty() || !layout.terminatorFound ||
      layout.recordSize != layout.neededRecordSize || layout.headerSize < layout.neededHeaderSize)
    throw EDatabaseError("The header of " + tablePath +
                         " is damaged; check and repair the table before packing it");

  std::vector<const TLayoutField*> memoFields;
  for (const TLayoutField& field : layout.fields)
    if (field.typeLetter == 'M') memoFields.push_back(&field);
  std::unique_ptr<TDbtFile> oldMemo;
  std::unique_ptr<TDbtFile> newMemo;
  std::vector<std::string> backups = {files.bakData};
  if (!memoFields.empty()) {
    if (!Files().FileExists(files.memo))
      throw EDatabaseError("The memo file " + files.memo +
                           " is missing; check and repair the table before packing it");
    oldMemo = std::make_unique<TDbtFile>(files.memo, layout.level, OpenMode::ReadOnly);
    backups.push_back(files.bakMemo);
    // The new memo file is built in memory: block 0 as the old file has it (other programs
    // keep their own bytes there), then each live memo appended once.
    newMemo = std::make_unique<TDbtFile>("", layout.level, OpenMode::ReadWrite);
    std::uint8_t header[TDbtFile::kLevel0BlockSize] = {};
    oldMemo->Stream().ReadAt(0, header, sizeof header);
    header[20] = TDbtFile::kLevel0BlockSize & 0xFF;
    header[21] = TDbtFile::kLevel0BlockSize >> 8;
    newMemo->Stream().WriteAt(0, header, sizeof header);
  }

  // The backups are replaced: a name that no file holds refuses the pack before any work is done.
  for (const std::string& backup : backups)
    if (Files().PathExists(backup) && !Files().FileExists(backup))
      throw EDatabaseError("Cannot pack " + tablePath + ": " + backup +
                           " is in the way of the old table's backup (it is a folder or not a "
                           "file); move it away before packing");

  const int size = layout.recordSize;
  const std::int64_t count = layout.PhysicalCount();
  std::string out(static_cast<std::size_t>(layout.headerSize), '\0');
  data->ReadAt(0, out.data(), out.size());
  out.reserve(out.size() + static_cast<std::size_t>(count * size) + 1);
  TPackResult result;
  std::vector<std::uint8_t> record(static_cast<std::size_t>(size));
  for (std::int64_t i = 0; i < count; ++i) {
    if (data->ReadAt(layout.DataStart() + i * size, record.data(), record.size()) < record.size())
      throw EReadError();
    if (IsDeletedFlag(record[0])) {
      ++result.removed;
      continue;
    }
    for (const TLayoutField* field : memoFields) {
      std::uint8_t* at = &record[static_cast<std::size_t>(field->offset)];
      const std::int32_t oldBlock = GetBlock(at, field->length);
      std::int32_t newBlock = 0;
      if (oldBlock > 0) newMemo->StoreMemoText(newBlock, 0, oldMemo->LoadMemoText(oldBlock));
      PutBlock(at, field->length, newBlock);
    }
    out.append(reinterpret_cast<const char*>(record.data()), record.size());
    ++result.kept;
  }
  out += '\x1A';
  int year, month, day;
  DecodeDate(LocalNow(), year, month, day);
  out[1] = static_cast<char>(year - 1900);
  out[2] = static_cast<char>(month);
  out[3] = static_cast<char>(day);
  for (int b = 0; b < 4; ++b)
    out[static_cast<std::size_t>(4 + b)] = static_cast<char>(result.kept >> (8 * b));

  TCommitPlan plan{"pack", {}, {{ExtractFileName(files.data), ExtractFileName(files.bakData)}}};
  if (newMemo != nullptr) {
    plan.make.push_back(files.newMemo);
    plan.moves.push_back({ExtractFileName(files.memo), ExtractFileName(files.bakMemo)});
    plan.moves.push_back({files.newMemo, ExtractFileName(files.memo)});
  }
  plan.make.push_back(files.newData);
  plan.moves.push_back({files.newData, ExtractFileName(files.data)});
  TCommitMark commit(files.mark, std::move(plan));
  if (newMemo != nullptr) {
    std::string memoBytes(static_cast<std::size_t>(newMemo->Stream().Size()), '\0');
    newMemo->Stream().ReadAt(0, memoBytes.data(), memoBytes.size());
    // The next free block: the end of the file (also when no memo was stored at all).
    const std::uint32_t next = static_cast<std::uint32_t>(
        std::max<std::int64_t>(1, (static_cast<std::int64_t>(memoBytes.size()) + 511) / 512));
    for (int b = 0; b < 4; ++b)
      memoBytes[static_cast<std::size_t>(b)] = static_cast<char>(next >> (8 * b));
    commit.Write(files.newMemo, memoBytes);
  }
  commit.Write(files.newData, out);
  for (const std::string& backup : backups) {
    errno = 0;
    if (Files().FileExists(backup) && !Files().DeleteFile(backup))
      throw EDatabaseError("Cannot pack " + tablePath + ": the old backup " + backup +
                           " cannot be deleted" + Reason(errno) + "; the table is unchanged");
  }
  oldMemo.reset();
  commit.Commit();
  data.reset();
  result.backupPath = files.bakData;
  if (!memoFields.empty()) result.backupMemoPath = files.bakMemo;
  return result;
}

}  // namespace tavlo
