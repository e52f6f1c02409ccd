// The cursor across processes: a writer killed without closing loses no posted record and
// leaves a true header, a reader sees the header's count follow every append, and a table
// held read-write by one process opens only read-only in another.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cursor_fixture.h"

namespace tavlo::cursortest {
namespace {

// The name of the i-th posted record ("N" + i; built by appending, which GCC 12 does not
// mistake for an overlapping copy).
std::string PostedName(int i) {
  std::string name = "N";
  name += std::to_string(i);
  return name;
}

using CursorProcessTest = CursorTest;

std::uint32_t HeaderCount(const std::string& bytes) {
  return static_cast<std::uint32_t>(
      static_cast<unsigned char>(bytes[4]) | (static_cast<unsigned char>(bytes[5]) << 8) |
      (static_cast<unsigned char>(bytes[6]) << 16) | (static_cast<unsigned char>(bytes[7]) << 24));
}

constexpr int kPosted = 40;

TEST_F(CursorProcessTest, KilledWriterLosesNoPostedRecord) {
  std::string path = MakePeople({});
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(ready[0]);
    TDbf dbf;
    dbf.SetTableName(path);
    dbf.Open();
    for (int i = 0; i < kPosted; ++i) {
      dbf.Insert();
      dbf.LookupField("NAME").SetTextValue(PostedName(i));
      dbf.LookupField("AGE").SetTextValue(std::to_string(i));
      dbf.Post();
      char posted = 'p';
      if (write(ready[1], &posted, 1) != 1) _exit(3);
    }
    dbf.Insert();  // a pending insert that is never posted
    dbf.LookupField("NAME").SetTextValue("pending");
    for (;;) pause();
  }
  close(ready[1]);
  int seen = 0;
  char byte;
  while (seen < kPosted && read(ready[0], &byte, 1) == 1) ++seen;
  close(ready[0]);
  ASSERT_EQ(seen, kPosted);
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));

  TDbf dbf;
  dbf.SetTableName(path);
  EXPECT_EQ(HeaderCount(ReadBytes(path)), static_cast<std::uint32_t>(kPosted));
  dbf.Open();
  EXPECT_TRUE(host_.messages.empty()) << host_.messages[0];
  EXPECT_TRUE(dbf.OpenDiagnostics().empty()) << dbf.OpenDiagnostics()[0];
  EXPECT_EQ(dbf.RecordCount(), kPosted);
  std::vector<std::string> names = Walk(dbf);
  ASSERT_EQ(names.size(), static_cast<std::size_t>(kPosted));
  for (int i = 0; i < kPosted; ++i) EXPECT_EQ(names[static_cast<std::size_t>(i)], PostedName(i));
  dbf.Last();
  EXPECT_EQ(dbf.LookupField("AGE").TextValue(), std::to_string(kPosted - 1));
}

TEST_F(CursorProcessTest, ReaderSeesTheHeaderCountAfterEveryAppend) {
  std::string path = MakePeople({"Ann"});
  // Back-date the header, so that the date of the last update is seen to be written.
  std::string bytes = ReadBytes(path);
  bytes[1] = 80;
  bytes[2] = 1;
  bytes[3] = 1;
  WriteBytes(path, bytes);
  constexpr int kAppends = 5;
  int posted[2];
  int resume[2];
  ASSERT_EQ(pipe(posted), 0);
  ASSERT_EQ(pipe(resume), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(posted[0]);
    close(resume[1]);
    TDbf dbf;
    dbf.SetTableName(path);
    dbf.Open();
    for (int i = 0; i < kAppends; ++i) {
      dbf.Insert();
      dbf.LookupField("NAME").SetTextValue(PostedName(i));
      dbf.Post();
      char byte = 'p';
      if (write(posted[1], &byte, 1) != 1) _exit(3);
      if (read(resume[0], &byte, 1) != 1) _exit(4);
    }
    dbf.Close();
    _exit(0);
  }
  close(posted[1]);
  close(resume[0]);
  for (int i = 0; i < kAppends; ++i) {
    char byte;
    ASSERT_EQ(read(posted[0], &byte, 1), 1);
    const std::string now = ReadBytes(path);
    EXPECT_EQ(HeaderCount(now), static_cast<std::uint32_t>(i + 2)) << "after append " << i;
    EXPECT_NE(static_cast<int>(now[1]), 80) << "date of last update not written";
    TDbf reader;
    reader.SetTableName(path);
    reader.SetReadOnly(true);
    reader.Open();
    EXPECT_TRUE(host_.messages.empty()) << host_.messages.front();
    EXPECT_TRUE(reader.OpenDiagnostics().empty()) << reader.OpenDiagnostics().front();
    host_.messages.clear();
    EXPECT_EQ(reader.RecordCount(), i + 2);
    reader.Last();
    EXPECT_EQ(reader.LookupField("NAME").TextValue(), PostedName(i));
    reader.Close();
    ASSERT_EQ(write(resume[1], &byte, 1), 1);
  }
  close(posted[0]);
  close(resume[1]);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(CursorProcessTest, SecondProcessOpensAWrittenTableOnlyReadOnly) {
  std::string path = MakePeople({"Ann", "Bob"});
  // Fork before the table is opened: a child must not inherit the parent's open files.
  int opened[2];
  ASSERT_EQ(pipe(opened), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(opened[1]);
    char byte;
    if (read(opened[0], &byte, 1) != 1) _exit(30);
    int result = 0;
    TDbf writer;
    writer.SetTableName(path);
    try {
      writer.Open();
      result = 10;  // must not open
    } catch (const EFOpenError& error) {
      if (std::string(error.what()) !=
          "Cannot open file " + path + ": the file is in use by another program")
        result = 11;
    } catch (...) {
      result = 12;
    }
    if (writer.Active()) result = 13;
    TDbf reader;
    reader.SetTableName(path);
    reader.SetReadOnly(true);
    try {
      reader.Open();
      if (Walk(reader) != std::vector<std::string>{"Ann", "Bob"}) result = 20;
      reader.Close();
    } catch (...) {
      result = 21;
    }
    _exit(result);
  }
  close(opened[0]);
  TDbf holder;
  holder.SetTableName(path);
  holder.Open();
  char go = 'o';
  ASSERT_EQ(write(opened[1], &go, 1), 1);
  close(opened[1]);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "10: opened read-write, 11: other message, 2x: reader";
  holder.Close();
}

}  // namespace
}  // namespace tavlo::cursortest
