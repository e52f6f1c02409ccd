// Pack: deleted records and their memos gone, live memos read back, the backup files, a pack
// refused while the table is held, and a pack killed at every step of its file work leaving a
// table that opens whole with either the old or the new content.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "dbf/dbferrors.h"
#include "dbf/fields.h"
#include "dbf/tablepack.h"
#include "dbf/tdbf.h"
#include "platform/filesystem.h"
#include "tablefiles_testutil.h"
#include "testsupport.h"

namespace tavlo {
namespace {

using tablefiles_test::ReadBytes;
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
  EXPECT_FALSE(Files().FileExists(dir.File("people.pack.dbf")));
  EXPECT_FALSE(Files().FileExists(dir.File("people.pack-commit")));

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
class DyingFileSystem : public FileSystem {
 public:
  explicit DyingFileSystem(int step) : step_(step) {}
  std::unique_ptr<ByteStream> Open(const std::string& path, OpenMode mode) override {
    if (mode == OpenMode::Create) Step();
    return OsFiles().Open(path, mode);
  }
  bool FileExists(const std::string& p) override { return OsFiles().FileExists(p); }
  bool DirectoryExists(const std::string& p) override { return OsFiles().DirectoryExists(p); }
  bool DeleteFile(const std::string& p) override {
    Step();
    return OsFiles().DeleteFile(p);
  }
  bool RenameFile(const std::string& a, const std::string& b) override {
    Step();
    return OsFiles().RenameFile(a, b);
  }
  bool CreateDirectory(const std::string& p) override { return OsFiles().CreateDirectory(p); }
  bool RemoveDirectory(const std::string& p) override { return OsFiles().RemoveDirectory(p); }
  std::vector<DirectoryEntry> ListDirectory(const std::string& p) override {
    return OsFiles().ListDirectory(p);
  }
  std::int64_t FileSize(const std::string& p) override { return OsFiles().FileSize(p); }

 private:
  void Step() {
    if (++done_ == step_) _exit(9);
  }
  int step_;
  int done_ = 0;
};

TEST(TablePack, AKilledPackLeavesTheOldOrTheNewTableWhole) {
  ScratchFolder dir;
  const std::string path = dir.File("people.dbf");
  MakeTable(path);
  const std::vector<std::string> content = Content(path);  // the same before and after
  const std::string oldData = ReadBytes(path);
  const std::string oldMemo = ReadBytes(dir.File("people.dbt"));
  int finished = 0;
  int killed = 0;
  for (int step = 1; step < 40 && finished == 0; ++step) {
    SCOPED_TRACE("killed before file step " + std::to_string(step));
    // Every run starts from the unpacked table.
    for (const char* leftover : {"people.pack.dbf", "people.pack.dbt", "people.pack-commit",
                                 "people.bak.dbf", "people.bak.dbt"})
      std::remove(dir.File(leftover).c_str());
    tablefiles_test::WriteBytes(path, oldData);
    tablefiles_test::WriteBytes(dir.File("people.dbt"), oldMemo);

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
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 0) ++finished;
    if (WEXITSTATUS(status) == 9) ++killed;
    ASSERT_NE(WEXITSTATUS(status), 2) << "the pack failed instead of dying";
    // Opening finishes or undoes the interrupted pack; the table is whole either way.
    EXPECT_EQ(Content(path), content);
    const int deleted = static_cast<int>(CountDeletedRecords(path));
    EXPECT_TRUE(deleted == 0 || deleted == 2) << deleted;
    EXPECT_FALSE(Files().FileExists(dir.File("people.pack.dbf")));
    EXPECT_FALSE(Files().FileExists(dir.File("people.pack-commit")));
  }
  EXPECT_EQ(finished, 1);
  EXPECT_GE(killed, 6);  // creations, renames and deletions were each interrupted
}

}  // namespace
}  // namespace tavlo
