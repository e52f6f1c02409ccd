// Pack: deleted records and their memos gone, live memos read back, the backup files, a pack
// refused while the table is held or its backup cannot be replaced, a pack killed at every
// step of its file work leaving the old table, the new one or no data file, an open during a
// pack, and files that look like a pack's but are not.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "dbf/dbferrors.h"
#include "dbf/fields.h"
#include "dbf/tablepack.h"
#include "dbf/tdbf.h"
#include "pack_testutil.h"
#include "platform/filenames.h"
#include "platform/filesystem.h"
#include "tablefiles_testutil.h"
#include "testsupport.h"

namespace tavlo {
namespace {

using tablefiles_test::ReadBytes;
using tablefiles_test::WriteBytes;
using testsupport::ScratchFolder;

const char* const kNames[] = {"Ann", "Bob", "Cid", "Dan", "Eve"};

void MakeTable(const std::string& path) {
  TDbf table;
  table.FieldDefs() = {{"NAME", TFieldType::ftString, 8, false},
                       {"NOTES", TFieldType::ftMemo, 0, false}};
  table.SetTableName(path);
  table.CreateTableFile();
  table.Open();
  for (int i = 0; i < 5; ++i) {
    table.Insert();
    table.FieldByName("NAME").SetTextValue(kNames[i]);
    // Long enough to take two blocks, so compaction shows in the file size.
    table.FieldByName("NOTES").SetTextValue(std::string(kNames[i]) + " says " +
                                            std::string(600, static_cast<char>('a' + i)));
    table.Post();
  }
  // Bob and Dan go.
  table.First();
  table.Next();
  table.Delete();
  table.First();
  while (table.FieldByName("NAME").TextValue() != "Dan") table.Next();
  table.Delete();
  table.Close();
}

// Name and memo of every record the cursor shows.
std::vector<std::string> Content(const std::string& path) {
  TDbf table;
  table.SetTableName(path);
  table.Open();
  std::vector<std::string> rows;
  for (table.First(); !table.AtEnd(); table.Next())
    rows.push_back(table.FieldByName("NAME").TextValue() + "|" +
                   table.FieldByName("NOTES").TextValue());
  table.Close();
  return rows;
}

TEST(TablePack, RemovesDeletedRecordsAndTheirMemosAndKeepsTheOldFiles) {
  ScratchFolder dir;
  const std::string path = dir.File("people.dbf");
  MakeTable(path);
  const std::vector<std::string> before = Content(path);
  const std::string oldData = ReadBytes(path);
  const std::string oldMemo = ReadBytes(dir.File("people.dbt"));
  EXPECT_EQ(CountDeletedRecords(path), 2);

  const TPackResult result = PackTable(path);
  EXPECT_EQ(result.kept, 3);
  EXPECT_EQ(result.removed, 2);
  EXPECT_EQ(result.backupPath, dir.File("people.bak.dbf"));
  EXPECT_EQ(result.backupMemoPath, dir.File("people.bak.dbt"));
  EXPECT_EQ(ReadBytes(result.backupPath), oldData);
  EXPECT_EQ(ReadBytes(result.backupMemoPath), oldMemo);

  EXPECT_EQ(Content(path), before);
  EXPECT_EQ(CountDeletedRecords(path), 0);
  const std::string memo = ReadBytes(dir.File("people.dbt"));
  EXPECT_EQ(memo.find("Bob says"), std::string::npos);
  EXPECT_EQ(memo.find("Dan says"), std::string::npos);
  EXPECT_NE(memo.find("Eve says"), std::string::npos);
  EXPECT_LT(memo.size(), oldMemo.size());
  // Nothing else is left beside the table: no commit mark, no hidden file.
  EXPECT_EQ(
      packtest::FolderNames(dir.Path()),
      (std::set<std::string>{"people.dbf", "people.dbt", "people.bak.dbf", "people.bak.dbt"}));

  // A second pack replaces the backup with the table as it was before it.
  const std::string packedData = ReadBytes(path);
  PackTable(path);
  EXPECT_EQ(ReadBytes(dir.File("people.bak.dbf")), packedData);
  EXPECT_EQ(Content(path), before);
}

TEST(TablePack, RefusedWhileTheTableIsHeld) {
  ScratchFolder dir;
  const std::string path = dir.File("people.dbf");
  MakeTable(path);
  const std::string bytes = ReadBytes(path);
  TDbf holder;
  holder.SetTableName(path);
  holder.Open();
  try {
    PackTable(path);
    FAIL() << "pack went ahead while the table was open";
  } catch (const EDatabaseError& error) {
    EXPECT_NE(std::string(error.what()).find("is open in another program"), std::string::npos)
        << error.what();
  }
  holder.Close();
  EXPECT_EQ(ReadBytes(path), bytes);
  EXPECT_FALSE(Files().FileExists(dir.File("people.bak.dbf")));
}

// The operating system's files, except that the process dies (as if killed) just before its
// stepth creation, rename or deletion.
class DyingFileSystem : public packtest::PassThroughFileSystem {
 public:
  explicit DyingFileSystem(int step) : step_(step) {}
  std::unique_ptr<ByteStream> Open(const std::string& path, OpenMode mode) override {
    if (mode == OpenMode::Create) Step();
    return OsFiles().Open(path, mode);
  }
  std::unique_ptr<ByteStream> CreateNew(const std::string& path) override {
    Step();
    return OsFiles().CreateNew(path);
  }
  void ReplaceFile(const std::string& path, const std::string& bytes) override {
    Step();
    OsFiles().ReplaceFile(path, bytes);
  }
  bool DeleteFile(const std::string& p) override {
    Step();
    return OsFiles().DeleteFile(p);
  }
  bool RenameFile(const std::string& a, const std::string& b) override {
    Step();
    return OsFiles().RenameFile(a, b);
  }

 private:
  void Step() {
    if (++done_ == step_) _exit(9);
  }
  int step_;
  int done_ = 0;
};

TEST(TablePack, AKilledPackLeavesTheOldTableTheNewOneOrNoDataFile) {
  ScratchFolder dir;
  const std::string path = dir.File("t.dbf");
  const std::string memo = dir.File("t.dbt");
  const int live = packtest::MakeMemoTable(path, memo, 9);
  const std::string oldData = ReadBytes(path);
  const std::string oldMemo = ReadBytes(memo);
  int finished = 0;
  int killed = 0;
  int unopenable = 0;
  for (int step = 1; step < 40 && finished == 0; ++step) {
    SCOPED_TRACE("killed before file step " + std::to_string(step));
    // Every run starts from the unpacked table.
    for (const std::string& name : packtest::FolderNames(dir.Path()))
      std::remove(dir.File(name).c_str());
    tablefiles_test::WriteBytes(path, oldData);
    tablefiles_test::WriteBytes(memo, oldMemo);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      DyingFileSystem dying(step);
      ScopedFileSystem scoped(dying);
      try {
        PackTable(path);
      } catch (...) {
        _exit(2);
      }
      _exit(0);
    }
    const int status = packtest::WaitFor(child);
    if (status == 0) ++finished;
    if (status == 9) ++killed;
    ASSERT_NE(status, 2) << "the pack failed instead of dying";
    // What another program finds before Tavlo opens the table again: the old table, the new
    // one, or no data file; never a data file beside a memo file that is not its own.
    const packtest::RawTable raw = packtest::ReadRaw(path, memo);
    if (!raw.dataThere) {
      ++unopenable;
    } else {
      EXPECT_TRUE(raw.problems.empty()) << raw.problems.front();
      EXPECT_EQ(raw.live, live);
    }
    // Opening finishes or undoes the interrupted pack; the table is whole either way.
    EXPECT_EQ(Content(path).size(), static_cast<std::size_t>(live));
    const packtest::RawTable after = packtest::ReadRaw(path, memo);
    EXPECT_TRUE(after.problems.empty()) << after.problems.front();
    EXPECT_TRUE(after.deleted == 0 || after.deleted == 3) << after.deleted;
    for (const std::string& name : packtest::FolderNames(dir.Path())) {
      EXPECT_TRUE(name == "t.dbf" || name == "t.dbt" || name == "t.bak.dbf" || name == "t.bak.dbt")
          << "left behind: " << name;
    }
  }
  EXPECT_EQ(finished, 1);
  EXPECT_GE(killed, 6);      // creations, renames and deletions were each interrupted
  EXPECT_GE(unopenable, 2);  // killed while the data file was moved aside
}

// The operating system's files, except that the first creation of a new data file by a pack
// waits until the test lets it go on.
class PausingFileSystem : public packtest::PassThroughFileSystem {
 public:
  PausingFileSystem(int reached, int proceed) : reached_(reached), proceed_(proceed) {}
  std::unique_ptr<ByteStream> CreateNew(const std::string& path) override {
    Pause(path);
    return OsFiles().CreateNew(path);
  }
  void ReplaceFile(const std::string& path, const std::string& bytes) override {
    Pause(path);
    OsFiles().ReplaceFile(path, bytes);
  }

 private:
  void Pause(const std::string& path) {
    const std::string name = ExtractFileName(path);
    if (paused_ || name.find(".pack") == std::string::npos || ExtractFileExt(name) != ".dbf")
      return;
    paused_ = true;
    char byte = 'p';
    if (write(reached_, &byte, 1) != 1 || read(proceed_, &byte, 1) != 1) _exit(4);
  }
  int reached_, proceed_;
  bool paused_ = false;
};

TEST(TablePack, AnOpenDuringAPackLeavesThePacksFilesAlone) {
  ScratchFolder dir;
  const std::string path = dir.File("t.dbf");
  const int live = packtest::MakeMemoTable(path, dir.File("t.dbt"), 60);
  int reached[2], proceed[2];
  ASSERT_EQ(pipe(reached), 0);
  ASSERT_EQ(pipe(proceed), 0);
  const pid_t child = fork();
  if (child == 0) {
    PausingFileSystem pausing(reached[1], proceed[0]);
    ScopedFileSystem scoped(pausing);
    try {
      PackTable(path);
    } catch (...) {
      _exit(2);
    }
    _exit(0);
  }
  char byte;
  ASSERT_EQ(read(reached[0], &byte, 1), 1);
  // The new memo file is written, the new data file not yet: a read-only open now.
  {
    TDbf reader;
    reader.SetTableName(path);
    reader.SetReadOnly(true);
    reader.Open();
    int seen = 0;
    for (reader.First(); !reader.AtEnd(); reader.Next()) ++seen;
    EXPECT_EQ(seen, live);
  }
  ASSERT_EQ(write(proceed[1], &byte, 1), 1);
  EXPECT_EQ(packtest::WaitFor(child), 0);
  const packtest::RawTable raw = packtest::ReadRaw(path, dir.File("t.dbt"));
  EXPECT_TRUE(raw.problems.empty()) << raw.problems.front();
  EXPECT_EQ(raw.live, live);
  EXPECT_EQ(raw.deleted, 0);
  EXPECT_EQ(packtest::FolderNames(dir.Path()),
            (std::set<std::string>{"t.dbf", "t.dbt", "t.bak.dbf", "t.bak.dbt"}));
}

// The operating system's files, except that the first open of the memo file finds the table
// packed by another program between the cursor's opens of the data and the memo file.
class PackedMeanwhile : public packtest::PassThroughFileSystem {
 public:
  explicit PackedMeanwhile(const ScratchFolder& dir) : dir_(dir) {}
  std::unique_ptr<ByteStream> Open(const std::string& path, OpenMode mode) override {
    if (!done_ && ExtractFileExt(path) == ".dbt") {
      done_ = true;
      for (const auto& [from, to] : {std::pair{"t.dbf", "t.bak.dbf"},
                                     {"t.dbt", "t.bak.dbt"},
                                     {"new.dbt", "t.dbt"},
                                     {"new.dbf", "t.dbf"}})
        OsFiles().RenameFile(dir_.File(from), dir_.File(to));
    }
    return OsFiles().Open(path, mode);
  }

 private:
  const ScratchFolder& dir_;
  bool done_ = false;
};

TEST(TablePack, AnOpenMetByAPackOpensTheFilesOfOneTable) {
  ScratchFolder dir;
  const std::string path = dir.File("t.dbf");
  const int live = packtest::MakeMemoTable(path, dir.File("t.dbt"), 40);
  // The packed table, made ahead and moved in while the cursor opens the old one.
  packtest::MakeMemoTable(dir.File("new.dbf"), dir.File("new.dbt"), 40);
  {
    ScratchFolder elsewhere;
    std::rename(dir.File("new.dbf").c_str(), elsewhere.File("new.dbf").c_str());
    std::rename(dir.File("new.dbt").c_str(), elsewhere.File("new.dbt").c_str());
    PackTable(elsewhere.File("new.dbf"));
    std::rename(elsewhere.File("new.dbf").c_str(), dir.File("new.dbf").c_str());
    std::rename(elsewhere.File("new.dbt").c_str(), dir.File("new.dbt").c_str());
  }
  PackedMeanwhile meanwhile(dir);
  ScopedFileSystem scoped(meanwhile);
  TDbf reader;
  reader.SetTableName(path);
  reader.SetReadOnly(true);
  reader.Open();
  int seen = 0;
  for (reader.First(); !reader.AtEnd(); reader.Next(), ++seen) {
    const std::string name = reader.FieldByName("NAME").TextValue();
    EXPECT_EQ(reader.FieldByName("NOTES").TextValue().rfind(name + " says ", 0), 0u) << name;
  }
  EXPECT_EQ(seen, live);
  EXPECT_EQ(reader.RecordCount(), live);  // the packed table, without deleted records
}

TEST(TablePack, AFileNamedLikeAPackFileIsNotTouched) {
  // From a hostile-test reproducer: a user's table sales.pack.dbf beside sales.dbf.
  ScratchFolder dir;
  const std::string path = dir.File("sales.dbf");
  packtest::MakeMemoTable(path, dir.File("sales.dbt"), 12);
  const std::string theirs = "a table of its own";
  for (const char* name : {"sales.pack.dbf", "sales.pack.dbt", ".sales.pack.dbt.77-0.tmp"})
    WriteBytes(dir.File(name), theirs);
  {
    TDbf reader;
    reader.SetTableName(path);
    reader.SetReadOnly(true);
    reader.Open();
  }
  PackTable(path);
  for (const char* name : {"sales.pack.dbf", "sales.pack.dbt", ".sales.pack.dbt.77-0.tmp"})
    EXPECT_EQ(ReadBytes(dir.File(name)), theirs) << name;
}

// The operating system's files, except that the old backup cannot be deleted (as another
// user's file in a folder with the sticky bit).
class StickyBackup : public packtest::PassThroughFileSystem {
 public:
  bool DeleteFile(const std::string& p) override {
    if (ExtractFileName(p) == "t.bak.dbf") {
      errno = EPERM;
      return false;
    }
    return OsFiles().DeleteFile(p);
  }
};

TEST(TablePack, ABackupThatCannotBeReplacedRefusesThePackBeforeAnyRename) {
  // From a hostile-test reproducer: t.bak.dbf a folder, or a file this user may not delete.
  ScratchFolder dir;
  const std::string path = dir.File("t.dbf");
  const std::string memo = dir.File("t.dbt");
  const int live = packtest::MakeMemoTable(path, memo, 30);
  const std::string oldData = ReadBytes(path);
  const std::string oldMemo = ReadBytes(memo);
  ASSERT_EQ(mkdir(dir.File("t.bak.dbf").c_str(), 0755), 0);
  EXPECT_THROW_MSG(PackTable(path), EDatabaseError,
                   "Cannot pack " + path + ": " + dir.File("t.bak.dbf") +
                       " is in the way of the old table's backup (it is a folder or not a "
                       "file); move it away before packing");
  EXPECT_EQ(ReadBytes(path), oldData);
  EXPECT_EQ(ReadBytes(memo), oldMemo);
  EXPECT_EQ(packtest::FolderNames(dir.Path()),
            (std::set<std::string>{"t.dbf", "t.dbt", "t.bak.dbf"}));
  EXPECT_EQ(Content(path).size(), static_cast<std::size_t>(live));

  rmdir(dir.File("t.bak.dbf").c_str());
  WriteBytes(path, oldData);
  WriteBytes(dir.File("t.bak.dbf"), "another user's");
  StickyBackup sticky;
  {
    ScopedFileSystem scoped(sticky);
    EXPECT_THROW_MSG(PackTable(path), EDatabaseError,
                     "Cannot pack " + path + ": the old backup " + dir.File("t.bak.dbf") +
                         " cannot be deleted (Operation not permitted); the table is unchanged");
  }
  EXPECT_EQ(ReadBytes(path), oldData);
  EXPECT_EQ(ReadBytes(memo), oldMemo);
  EXPECT_EQ(packtest::FolderNames(dir.Path()),
            (std::set<std::string>{"t.dbf", "t.dbt", "t.bak.dbf"}));
  EXPECT_EQ(Content(path).size(), static_cast<std::size_t>(live));
}

// The operating system's files, except that the table may only be read.
class ReadOnlyTable : public packtest::PassThroughFileSystem {
 public:
  std::unique_ptr<ByteStream> Open(const std::string& path, OpenMode mode) override {
    if (mode != OpenMode::ReadOnly && ExtractFileExt(path) == ".dbf")
      throw EFOpenError::ForPath(path, "Permission denied");
    return OsFiles().Open(path, mode);
  }
};

TEST(TablePack, NamesAndReasonsAsTheUserGivesAndMeetsThem) {
  ScratchFolder dir;
  // The name as dump takes it: without its extension, or with one in another case.
  packtest::MakeMemoTable(dir.File("UPPER.DBF"), dir.File("UPPER.DBT"), 12);
  const TPackResult upper = PackTable(dir.File("UPPER.dbf"));
  EXPECT_EQ(upper.removed, 4);
  EXPECT_EQ(upper.backupPath, dir.File("UPPER.bak.DBF"));
  EXPECT_EQ(upper.backupMemoPath, dir.File("UPPER.bak.DBT"));
  packtest::MakeMemoTable(dir.File("plain.dbf"), dir.File("plain.dbt"), 12);
  EXPECT_EQ(PackTable(dir.File("plain")).removed, 4);

  ReadOnlyTable readOnly;
  ScopedFileSystem scoped(readOnly);
  EXPECT_THROW_MSG(
      PackTable(dir.File("plain.dbf")), EDatabaseError,
      "Cannot open file " + dir.File("plain.dbf") +
          ": Permission denied (a pack rewrites the table, so it needs write access to it)");
}

}  // namespace
}  // namespace tavlo
