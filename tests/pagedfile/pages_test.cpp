// The page layer of the paged record file: creation, page 0 and credentials, user slots in one
// process, record chains growing, shrinking and reusing pages, and damaged files.

#include <fcntl.h>

#include <cerrno>
#include <cstring>

#include "forwardingfilesystem.h"
#include "pagedfile/pagedfile.h"
#include "platform/oscalls.h"
#include "tempfolder.h"
#include "text/qelstrings.h"
#include "text/trim.h"

namespace tavlo {
namespace {

using testing::Exists;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

const char kUser[] = "alice";
const char kPassword[] = "Secret12";

std::uint32_t Next(const std::string& bytes, std::size_t page) {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.data() + page + 4);
  return b[0] | b[1] << 8 | b[2] << 16 | std::uint32_t{b[3]} << 24;
}

bool Used(const std::string& bytes, std::size_t page) {
  return bytes[page] == 1;
}

class PagedFileTest : public ::testing::Test {
 protected:
  std::string Make(int pageSize = 64) {
    std::string path = folder_.File("data.jpf");
    TqelPagedFile().Create(path, pageSize, kUser, kPassword);
    return path;
  }
  TempFolder folder_;
};

TEST_F(PagedFileTest, CreateChecksPageSizeAndCredentialLengths) {
  std::string path = folder_.File("data.jpf");
  TqelPagedFile f;
  EXPECT_THROW_MSG(f.Create(path, 63, kUser, kPassword), EqelPageError,
                   "The page size must be >= 64");
  const char* lengthMessage = "The length of both UserName and Password must be 5..12 characters.";
  EXPECT_THROW_MSG(f.Create(path, 64, "abcd", kPassword), EqelPageError, lengthMessage);
  EXPECT_THROW_MSG(f.Create(path, 64, kUser, "abcdefghijklm"), EqelPageError, lengthMessage);
  EXPECT_THROW_MSG(f.Open(path, "abcd", kPassword), EqelPageError, lengthMessage);
  EXPECT_FALSE(Exists(path));
  EXPECT_THROW_MSG(f.Create(path, (1 << 24) + 1, kUser, kPassword), EqelPageError,
                   "The page size must be <= 16777216");
  EXPECT_NO_THROW(f.Create(path, 64, "abcde", "abcdefghijkl"));
  EXPECT_FALSE(f.IsOpen());
}

TEST_F(PagedFileTest, NewFileIsPageZeroWithEncipheredCredentials) {
  std::string path = Make(64);
  std::string bytes = ReadBytes(path);
  ASSERT_EQ(bytes.size(), 64u);
  EXPECT_EQ(Next(bytes, 0), 64u);
  for (int i : {0, 1, 2, 3, 8, 9, 10, 11}) EXPECT_EQ(bytes[i], 0) << i;
  std::string payload = bytes.substr(12);
  EXPECT_EQ(payload.size(), 52u);
  std::string expected = EncryptBase64(std::string(kUser) + kPassword, HashText(kUser),
                                       HashText(kPassword), HashText("brenlaid"));
  EXPECT_EQ(payload, expected + std::string(52 - expected.size(), ' '));
  EXPECT_FALSE(Exists(folder_.File("data.users")));
}

TEST_F(PagedFileTest, OpenRejectsMissingFilesAndWrongCredentialsWithoutKeepingASlot) {
  TqelPagedFile f;
  std::string missing = folder_.File("none.jpf");
  EXPECT_THROW_MSG(f.Open(missing, kUser, kPassword), EqelPageError,
                   "can not open non existing file: " + missing);
  std::string path = Make();
  EXPECT_THROW_MSG(f.Open(path, kUser, "secret12"), EqelPageError,
                   "can not open file: invalid username or password");
  EXPECT_THROW_MSG(f.Open(path, "Alice", kPassword), EqelPageError,
                   "can not open file: invalid username or password");
  EXPECT_FALSE(f.IsOpen());
  EXPECT_FALSE(Exists(folder_.File("data.users")));
  f.Open(path, kUser, kPassword);
  EXPECT_EQ(f.UserSlot(), 2);
  EXPECT_EQ(f.PageSize(), 64);
}

TEST_F(PagedFileTest, SlotsAreTakenInOrderAndTheUsersFileGoesWithTheLast) {
  std::string path = Make();
  std::string users = folder_.File("data.users");
  TqelPagedFile a, b, c;
  a.Open(path, kUser, kPassword);
  b.Open(path, kUser, kPassword);
  EXPECT_EQ(a.UserSlot(), 2);
  EXPECT_EQ(b.UserSlot(), 3);
  std::string expected(256, '0');
  expected[1] = expected[2] = '1';
  EXPECT_EQ(ReadBytes(users), expected);
  a.Close();
  c.Open(path, kUser, kPassword);
  EXPECT_EQ(c.UserSlot(), 2);  // the first free one again
  c.Close();
  b.Close();
  EXPECT_FALSE(Exists(users));
}

TEST_F(PagedFileTest, FullOrClearedUsersFile) {
  std::string path = Make();
  std::string users = folder_.File("data.users");
  std::string full = "0" + std::string(254, '1') + "0";
  WriteBytes(users, full);
  TqelPagedFile f;
  EXPECT_THROW_MSG(f.Open(path, kUser, kPassword), EqelPageError,
                   "can not open file: too many users (if fewer programs have the file open, the "
                   "users file " +
                       users + " is stale: delete it while no program has the file open)");
  EXPECT_EQ(ReadBytes(users), full);
  // A stale users file cleared by hand: the next open starts afresh, and its close does not
  // bring back a file that someone else removed meanwhile.
  std::filesystem::remove(users);
  f.Open(path, kUser, kPassword);
  EXPECT_EQ(f.UserSlot(), 2);
  std::filesystem::remove(users);
  f.Close();
  EXPECT_FALSE(Exists(users));
}

TEST_F(PagedFileTest, RecordTakesAsManyPagesAsItsBase64TextNeeds) {
  std::string path = Make(64);
  TqelPagedFile f;
  f.Open(path, kUser, kPassword);
  // 39 bytes give 52 Base64 characters: exactly one payload. 40 bytes give 56: two pages.
  std::string one(39, 'a'), two(40, 'b');
  EXPECT_EQ(f.WriteRecord(0, one, false), 64);
  EXPECT_EQ(ReadBytes(path).size(), 128u);
  EXPECT_EQ(f.WriteRecord(0, two, false), 128);
  std::string bytes = ReadBytes(path);
  ASSERT_EQ(bytes.size(), 256u);
  EXPECT_EQ(Next(bytes, 64), 0u);
  EXPECT_EQ(Next(bytes, 128), 192u);
  EXPECT_EQ(bytes[129], 1);  // first page of its record
  EXPECT_EQ(bytes[193], 0);  // continuation
  EXPECT_EQ(bytes.substr(192 + 12 + 4), std::string(48, ' '));
  EXPECT_EQ(f.ReadRecord(64), one);
  EXPECT_EQ(f.ReadRecord(128), two);
  // The text survives closing and reopening; and an empty record still owns a page.
  EXPECT_EQ(f.WriteRecord(0, "", false), 256);
  f.Close();
  f.Open(path, kUser, kPassword);
  EXPECT_EQ(f.ReadRecord(128), two);
  EXPECT_EQ(f.ReadRecord(256), "");
}

TEST_F(PagedFileTest, UpdatedChainsGrowIntoFreePagesAndShrinkFreeingTheRest) {
  std::string path = Make(64);
  TqelPagedFile f;
  f.Open(path, kUser, kPassword);
  f.WriteRecord(0, "first", false);               // page 1
  f.WriteRecord(0, std::string(70, 'x'), false);  // pages 2, 3
  f.WriteRecord(0, "third", false);               // page 4
  f.FreeChain(128);                               // pages 2 and 3 free again
  std::string longText(150, 'L');                 // 200 Base64 characters: four pages
  EXPECT_EQ(f.WriteRecord(64, longText, true), 64);
  std::string bytes = ReadBytes(path);
  EXPECT_EQ(Next(bytes, 64), 128u);
  EXPECT_EQ(Next(bytes, 128), 192u);
  EXPECT_EQ(Next(bytes, 192), 320u);  // page 4 is taken by "third"
  EXPECT_EQ(Next(bytes, 320), 0u);
  EXPECT_EQ(bytes[64 + 8], 2);  // kept locked by this slot on every page
  EXPECT_EQ(bytes[320 + 8], 2);
  EXPECT_EQ(f.ReadRecord(64), longText);
  EXPECT_EQ(f.ReadRecord(256), "third");

  EXPECT_EQ(f.WriteRecord(64, "short", false), 64);
  bytes = ReadBytes(path);
  EXPECT_EQ(Next(bytes, 64), 0u);
  for (std::size_t page : {128u, 192u, 320u}) {
    EXPECT_FALSE(Used(bytes, page)) << page;
    EXPECT_EQ(bytes.substr(page, 12), std::string(12, '\0')) << page;
    EXPECT_EQ(bytes.substr(page + 12, 52), std::string(52, ' ')) << page;
  }
  EXPECT_EQ(f.ReadRecord(64), "short");
  EXPECT_EQ(f.NextFreePage(0), 128);
  EXPECT_EQ(f.NextFreePage(256), 320);
  EXPECT_EQ(f.NextFreePage(320), 384);  // the end of the file
}

// Appends remember where free pages start instead of scanning the file from its first page
// each time (40,000 appends once took 22 s); pages freed by this object or by another writer
// are still taken again.
TEST_F(PagedFileTest, AppendsReuseFreedPagesWithoutRescanningTheFile) {
  std::string path = Make(64);
  TqelPagedFile a;
  TqelPagedFile b;
  a.Open(path, kUser, kPassword);
  b.Open(path, kUser, kPassword);
  for (int i = 0; i < 20000; ++i) a.WriteRecord(0, "r", false);  // pages 1 to 20000
  a.FreeChain(64 * 7);
  EXPECT_EQ(a.WriteRecord(0, "again", false), 64 * 7);  // its own free page, at once
  EXPECT_EQ(a.WriteRecord(0, "end", false), 64 * 20001);
  b.FreeChain(64 * 3);  // another writer frees a page a has passed
  std::int64_t taken = 0;
  for (int i = 0; i < 1100 && taken != 64 * 3; ++i) taken = a.WriteRecord(0, "r", false);
  EXPECT_EQ(taken, 64 * 3);  // found when a's search starts over
  EXPECT_EQ(a.ReadRecord(64 * 3), "r");
  EXPECT_EQ(a.ReadRecord(64 * 7), "again");
}

TEST_F(PagedFileTest, OperationsOnAClosedFileFail) {
  TqelPagedFile f;
  EXPECT_THROW_MSG(f.Append("x"), EqelPageError, "can not append record because file is not open");
  EXPECT_THROW_MSG(f.WriteRecord(0, "x", false), EqelPageError,
                   "can not set record because file is not open");
  EXPECT_NO_THROW(f.Close());
}

TEST_F(PagedFileTest, DamagedFilesFailInsteadOfLooping) {
  std::string path = Make(64);
  {
    TqelPagedFile f;
    f.Open(path, kUser, kPassword);
    f.WriteRecord(0, std::string(80, 'x'), false);  // pages 1 and 2
  }
  std::string bytes = ReadBytes(path);
  std::string cycle = bytes;
  cycle[128 + 4] = 64;  // page 2 points back at page 1
  WriteBytes(path, cycle);
  TqelPagedFile f;
  f.Open(path, kUser, kPassword);
  EXPECT_THROW(f.ReadRecord(64), EqelPageError);
  f.Close();

  std::string zeroPageSize = bytes;
  zeroPageSize[4] = 0;
  WriteBytes(path, zeroPageSize);
  EXPECT_THROW_MSG(f.Open(path, kUser, kPassword), EqelPageError,
                   "can not open file: invalid page size");
  EXPECT_FALSE(Exists(folder_.File("data.users")));

  // A credential text one character short of a Base64 length.
  std::string badBase64 = bytes;
  std::string payload(TrimControl(std::string_view(bytes).substr(12, 52)));
  badBase64.replace(12, 52, payload.substr(1) + std::string(52 - payload.size() + 1, ' '));
  WriteBytes(path, badBase64);
  EXPECT_THROW_MSG(f.Open(path, kUser, kPassword), EConvertError,
                   "Base64: Incorrect string format");
  EXPECT_FALSE(Exists(folder_.File("data.users")));
}

// Delegates to the operating system, but lets paged data files take only a set number of
// writes: the full disk of the write-path tests.
class FailingWrites : public testsupport::ForwardingFileSystem {
 public:
  int writesLeft = -1;  // unlimited

  std::unique_ptr<SharedFile> OpenShared(const std::string& path, bool create) override {
    auto inner = OsFiles().OpenShared(path, create);
    if (path.size() < 4 || path.substr(path.size() - 4) != ".jpf") return inner;
    return std::make_unique<Stream>(std::move(inner), writesLeft);
  }

 private:
  class Stream : public SharedFile {
   public:
    Stream(std::unique_ptr<SharedFile> inner, int& writesLeft)
        : inner_(std::move(inner)), writesLeft_(writesLeft) {}
    std::size_t ReadAt(std::int64_t o, void* b, std::size_t n) override {
      return inner_->ReadAt(o, b, n);
    }
    void WriteAt(std::int64_t o, const void* b, std::size_t n) override {
      if (writesLeft_ == 0) throw EWriteError();
      if (writesLeft_ > 0) --writesLeft_;
      inner_->WriteAt(o, b, n);
    }
    std::int64_t Size() override { return inner_->Size(); }
    void Truncate(std::int64_t size) override { inner_->Truncate(size); }
    bool LockRange(std::int64_t o, std::int64_t n, RangeLockKind k, int wait) override {
      return inner_->LockRange(o, n, k, wait);
    }
    void UnlockRange(std::int64_t o, std::int64_t n) override { inner_->UnlockRange(o, n); }

   private:
    std::unique_ptr<SharedFile> inner_;
    int& writesLeft_;
  };
};

TEST_F(PagedFileTest, AFailedWriteLeavesTheOtherRecordsReadable) {
  std::string path = Make(64);
  FailingWrites files;
  ScopedFileSystem scope(files);
  TqelPagedFile f;
  f.Open(path, kUser, kPassword);
  f.Append("name=\"kept\"");
  files.writesLeft = 1;  // the last page of the next chain, then a full disk
  EXPECT_THROW_MSG(f.Append(std::string(120, 'x')), EWriteError, "Stream write error");
  files.writesLeft = -1;
  f.Select("", false);
  ASSERT_EQ(f.Count(), 1);
  EXPECT_EQ(f.Get(0), "name=\"kept\"");
  f.Append("name=\"after\"");
  f.Select("", false);
  EXPECT_EQ(f.Count(), 2);
  EXPECT_EQ(f.Get(1), "name=\"after\"");
}

TEST_F(PagedFileTest, ACreationThatCannotWritePageZeroLeavesNoFile) {
  const std::string path = folder_.File("new.jpf");
  struct RealCallsAfterwards {
    ~RealCallsAfterwards() { SystemCalls() = RealSystemCalls(); }
  } restore;
  SystemCalls().pwrite = [](int, const void*, size_t, off_t) -> ssize_t {
    errno = ENOSPC;
    return -1;
  };
  EXPECT_THROW(TqelPagedFile().Create(path, 64, kUser, kPassword), EWriteError);
  SystemCalls() = RealSystemCalls();
  EXPECT_FALSE(Exists(path));
  TqelPagedFile().Create(path, 64, kUser, kPassword);
  TqelPagedFile f;
  f.Open(path, kUser, kPassword);
}

TEST_F(PagedFileTest, ARecordThatDoesNotDecodeNamesTheFileAndOffset) {
  std::string path = Make(64);
  {
    TqelPagedFile f;
    f.Open(path, kUser, kPassword);
    f.WriteRecord(0, std::string(80, 'x'), false);  // 108 Base64 characters: pages 1 to 3
  }
  std::string bytes = ReadBytes(path);
  ASSERT_EQ(bytes.size(), 256u);
  // One character less of the record's text: its Base64 no longer has whole groups.
  std::size_t last = bytes.find_last_not_of(' ');
  ASSERT_GT(last, 192u + 12u);
  bytes[last] = ' ';
  WriteBytes(path, bytes);
  TqelPagedFile f;
  f.Open(path, kUser, kPassword);
  EXPECT_THROW_MSG(f.ReadRecord(64), EqelPageError,
                   "can not read record: the record at offset 64 of " + path +
                       " does not decode (Base64: Incorrect string format)");
}

TEST_F(PagedFileTest, AFileThatMayOnlyBeReadOpensForReading) {
  std::string path = Make(64);
  {
    TqelPagedFile f;
    f.Open(path, kUser, kPassword);
    f.Append("name=\"kept\"");
  }
  struct RealCallsAfterwards {
    ~RealCallsAfterwards() { SystemCalls() = RealSystemCalls(); }
  } restore;
  // The data file refuses writers (as a file with mode 0444 does for anyone but root).
  SystemCalls().open = [](const char* p, int flags, mode_t mode) -> int {
    if (std::string(p).ends_with(".jpf") && (flags & O_ACCMODE) != O_RDONLY) {
      errno = EACCES;
      return -1;
    }
    return ::open(p, flags, mode);
  };
  TqelPagedFile f;
  f.Open(path, kUser, kPassword);
  EXPECT_EQ(f.UserSlot(), 0);  // no users file written
  EXPECT_FALSE(Exists(folder_.File("data.users")));
  f.Select("", false);
  ASSERT_EQ(f.Count(), 1);
  EXPECT_EQ(f.Get(0), "name=\"kept\"");
  EXPECT_THROW_MSG(f.Append("name=\"new\""), EWriteError,
                   "Stream write error: " + path + ": the file is read-only");
  f.Close();
  EXPECT_FALSE(Exists(folder_.File("data.users")));
}

}  // namespace
}  // namespace tavlo
