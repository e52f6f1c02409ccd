// Tests of the whole-file transfers and the file lister on real files, and of a read that
// comes up short through an injected file system.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/errors.h"
#include "platform/filesystem.h"
#include "platform/oscalls.h"
#include "text/qelstrings.h"

namespace tavlo {
namespace {

class TempFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tavlo_text_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = std::string(pattern) + "/";
  }
  void TearDown() override {
    for (const DirectoryEntry& e : OsFiles().ListDirectory(folder_)) {
      const std::string path = folder_ + e.name;
      if (e.isDirectory) {
        OsFiles().RemoveDirectory(path);
      } else {
        OsFiles().DeleteFile(path);
      }
    }
    OsFiles().RemoveDirectory(folder_);
  }
  std::string folder_;
};

TEST_F(TempFolder, SaveAndLoadKeepEveryByte) {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  bytes += "\r\nno line break at the end";
  const std::string path = folder_ + "a.bin";
  SaveStringToFile(path, bytes);
  EXPECT_EQ(OsFiles().FileSize(path), static_cast<std::int64_t>(bytes.size()));
  EXPECT_EQ(LoadFileToString(path), bytes);

  SaveStringToFile(path, "xy");  // truncates
  EXPECT_EQ(LoadFileToString(path), "xy");
  SaveStringToFile(path, "");
  EXPECT_EQ(LoadFileToString(path), "");
}

TEST_F(TempFolder, MissingFilesRaiseWithPath) {
  const std::string missing = folder_ + "none.txt";
  try {
    LoadFileToString(missing);
    FAIL() << "no error";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file " + missing + ": No such file or directory");
  }
  const std::string badPath = folder_ + "no/such/folder.txt";
  try {
    SaveStringToFile(badPath, "x");
    FAIL() << "no error";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), "Cannot create file " + badPath + ": No such file or directory");
  }
}

// Every writer of whole files (settings, forms, reports, the script words' saves) goes
// through SaveStringToFile: a full disk part way leaves the old file as it was.
TEST_F(TempFolder, AFailedSaveKeepsTheOldFile) {
  const std::string path = folder_ + "set.txt";
  SaveStringToFile(path, "old items");
  struct RealCallsAfterwards {
    ~RealCallsAfterwards() { SystemCalls() = RealSystemCalls(); }
  } restore;
  SystemCalls().pwrite = [](int fd, const void* b, size_t, off_t o) -> ssize_t {
    if (o >= 3) {
      errno = ENOSPC;
      return -1;
    }
    return ::pwrite(fd, b, 1, o);
  };
  try {
    SaveStringToFile(path, "new and longer items");
    FAIL() << "no error";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), "Cannot create file " + path + ": No space left on device");
  }
  SystemCalls() = RealSystemCalls();
  EXPECT_EQ(LoadFileToString(path), "old items");
  std::vector<std::string> list;
  ListFiles(folder_, "*", list);
  EXPECT_EQ(list, std::vector<std::string>{path});
}

TEST_F(TempFolder, ListFilesMatchesMaskAndSkipsFolders) {
  SaveStringToFile(folder_ + "a.txt", "1");
  SaveStringToFile(folder_ + "B.TXT", "2");
  SaveStringToFile(folder_ + "c.dbf", "3");
  SaveStringToFile(folder_ + "noext", "4");
  ASSERT_EQ(mkdir((folder_ + "sub.txt").c_str(), 0700), 0);

  std::vector<std::string> list{"kept"};
  ListFiles(folder_, "*.txt", list);
  std::sort(list.begin() + 1, list.end());
  EXPECT_EQ(list, (std::vector<std::string>{"kept", folder_ + "B.TXT", folder_ + "a.txt"}));

  list.clear();
  ListFiles(folder_, "*.*", list);
  EXPECT_EQ(list.size(), 4u);

  list.clear();
  ListFiles(folder_, "?.dbf", list);
  EXPECT_EQ(list, std::vector<std::string>{folder_ + "c.dbf"});

  list.clear();
  ListFiles(folder_ + "missing/", "*", list);
  EXPECT_TRUE(list.empty());
}

// A file system whose files report more bytes than they hand out, as a file that shrinks
// between the size query and the read.
class ShrinkingFiles : public FileSystem {
 public:
  class Stream : public ByteStream {
   public:
    std::size_t ReadAt(std::int64_t offset, void* buffer, std::size_t size) override {
      if (offset >= 3) return 0;
      const std::size_t n = std::min<std::size_t>(size, 3 - static_cast<std::size_t>(offset));
      std::memset(buffer, 'x', n);
      return n;
    }
    void WriteAt(std::int64_t, const void*, std::size_t) override { throw EWriteError(); }
    std::int64_t Size() override { return 10; }
    void Truncate(std::int64_t) override {}
  };
  std::unique_ptr<ByteStream> Open(const std::string&, OpenMode) override {
    return std::make_unique<Stream>();
  }
  bool FileExists(const std::string&) override { return true; }
  bool DirectoryExists(const std::string&) override { return false; }
  bool DeleteFile(const std::string&) override { return false; }
  bool RenameFile(const std::string&, const std::string&) override { return false; }
  bool CreateDirectory(const std::string&) override { return false; }
  bool RemoveDirectory(const std::string&) override { return false; }
  std::vector<DirectoryEntry> ListDirectory(const std::string&) override { return {}; }
  std::int64_t FileSize(const std::string&) override { return 10; }
};

TEST(FileTransfer, ShortReadAndFailedWriteRaise) {
  ShrinkingFiles files;
  ScopedFileSystem scope(files);
  EXPECT_THROW(LoadFileToString("f"), EReadError);
  try {
    SaveStringToFile("f", "data");
    FAIL() << "no error";
  } catch (const EFCreateError& e) {
    // A save that cannot be written is a file that cannot be created, with the reason.
    EXPECT_STREQ(e.what(), "Cannot create file f: Stream write error");
  }
}

TEST(SplitLinesTest, EveryBreakEndsALineAndALastEmptyLineIsNone) {
  EXPECT_EQ(SplitLines(""), std::vector<std::string>{});
  EXPECT_EQ(SplitLines("a\r\n"), std::vector<std::string>{"a"});
  EXPECT_EQ(SplitLines("a\r\nb"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(SplitLines("a\nb\rc\r\n"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(SplitLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
  EXPECT_EQ(SplitLines("a\r\n\r\nb"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(SplitLines("a\n\rb"), (std::vector<std::string>{"a", "", "b"}));  // LF then CR: two
}

}  // namespace
}  // namespace tavlo
