// The cursor across processes: a writer killed without closing loses no posted record, and a
// table held read-write by one process opens only read-only in another.
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
  dbf.Open();
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0],
            "Invalid Record Count,\rRecordCount in Hdr : 0\rexpected : " + std::to_string(kPosted));
  EXPECT_EQ(dbf.RecordCount(), kPosted);
  std::vector<std::string> names = Walk(dbf);
  ASSERT_EQ(names.size(), static_cast<std::size_t>(kPosted));
  for (int i = 0; i < kPosted; ++i) EXPECT_EQ(names[static_cast<std::size_t>(i)], PostedName(i));
  dbf.Last();
  EXPECT_EQ(dbf.LookupField("AGE").TextValue(), std::to_string(kPosted - 1));
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
