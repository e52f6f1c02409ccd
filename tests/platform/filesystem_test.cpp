// File streams and the file system: open modes, reads and writes through real files, folder
// operations, the memory stream, the mapped view and faults injected at the system calls.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>

#include "platform/errors.h"
#include "platform/filesystem.h"
#include "platform/oscalls.h"
#include "platformtest.h"

namespace tavlo {
namespace {

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::string ReadAll(ByteStream& s) {
  std::string bytes(static_cast<std::size_t>(s.Size()), '\0');
  bytes.resize(s.ReadAt(0, bytes.data(), bytes.size()));
  return bytes;
}

TEST(FileStreams, CreateWriteReopenRead) {
  testing::TempFolder dir;
  std::string path = dir.File("t.dbf");
  WriteBytes(path, "old contents that must go");
  {
    auto s = OsFiles().Open(path, OpenMode::Create);
    EXPECT_EQ(s->Size(), 0);
    s->WriteAt(0, "header", 6);
    s->WriteAt(10, "rec", 3);  // past the end: the gap reads as zeros
    EXPECT_EQ(s->Size(), 13);
  }
  EXPECT_EQ(ReadBytes(path), std::string("header\0\0\0\0rec", 13));
  auto r = OsFiles().Open(path, OpenMode::ReadOnly);
  char buffer[8] = "xxxxxxx";
  EXPECT_EQ(r->ReadAt(10, buffer, 8), 3u);  // short at the end, no error
  EXPECT_EQ(std::string(buffer, 8), std::string("recxxxx") + '\0');
  EXPECT_EQ(r->ReadAt(100, buffer, 8), 0u);
  EXPECT_THROW(r->WriteAt(0, "x", 1), EWriteError);  // a read-only stream refuses writes
  auto w = OsFiles().Open(path, OpenMode::ReadWrite);
  w->WriteAt(0, "HEAD", 4);
  w->Truncate(6);
  EXPECT_EQ(ReadAll(*r), "HEADer");  // the other open sees the change at once
}

TEST(FileStreams, OpenErrorsNameThePathAndTheReason) {
  testing::TempFolder dir;
  std::string missing = dir.File("missing.dbf");
  EXPECT_THROW_MSG(OsFiles().Open(missing, OpenMode::ReadOnly), EFOpenError,
                   "Cannot open file " + missing + ": No such file or directory");
  EXPECT_THROW_MSG(OsFiles().Open(missing, OpenMode::ReadWrite), EFOpenError,
                   "Cannot open file " + missing + ": No such file or directory");
  EXPECT_FALSE(OsFiles().FileExists(missing));  // a failed open creates nothing
  std::string inMissingFolder = dir.File("no/such.dbf");
  EXPECT_THROW_MSG(OsFiles().Open(inMissingFolder, OpenMode::Create), EFCreateError,
                   "Cannot create file " + inMissingFolder + ": No such file or directory");
  // A folder is not a file, even for reading.
  EXPECT_THROW_MSG(OsFiles().Open(dir.Path(), OpenMode::ReadOnly), EFOpenError,
                   "Cannot open file " + dir.Path() + ": Is a directory");
  // Nor is a pipe, and opening one must not wait for a writer.
  std::string pipe = dir.File("pipe.dbf");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_THROW_MSG(OsFiles().Open(pipe, OpenMode::ReadOnly), EFOpenError,
                   "Cannot open file " + pipe + ": not a regular file");
  EXPECT_THROW_MSG(OsFiles().OpenShared(pipe, false), EFOpenError,
                   "Cannot open file " + pipe + ": not a regular file");
  EXPECT_TRUE(OsFiles().PathExists(pipe));
  EXPECT_FALSE(OsFiles().PathExists(missing));
}

TEST(FileStreams, SharingWithinOneProcess) {
  testing::TempFolder dir;
  std::string path = dir.File("shared.dbf");
  WriteBytes(path, "data");
  auto writer = OsFiles().Open(path, OpenMode::ReadWrite);
  EXPECT_THROW_MSG(OsFiles().Open(path, OpenMode::ReadWrite), EFOpenError,
                   "Cannot open file " + path + ": the file is in use by another program");
  EXPECT_THROW_MSG(OsFiles().Open(path, OpenMode::Create), EFCreateError,
                   "Cannot create file " + path + ": the file is in use by another program");
  EXPECT_EQ(ReadBytes(path), "data");  // the refused create truncated nothing
  auto reader = OsFiles().Open(path, OpenMode::ReadOnly);
  auto reader2 = OsFiles().Open(path, OpenMode::ReadOnly);
  EXPECT_EQ(ReadAll(*reader), "data");
  writer.reset();
  // With only readers left a writer may come, but not a create.
  auto writer2 = OsFiles().Open(path, OpenMode::ReadWrite);
  EXPECT_THROW(OsFiles().Open(path, OpenMode::Create), EFCreateError);
  writer2.reset();
  reader.reset();
  reader2.reset();
  auto creator = OsFiles().Open(path, OpenMode::Create);
  EXPECT_THROW(OsFiles().Open(path, OpenMode::ReadOnly), EFOpenError);
}

TEST(FileStreams, MappedViewFollowsWritesAndGrowth) {
  testing::TempFolder dir;
  std::string path = dir.File("m.dbf");
  auto s = OsFiles().Open(path, OpenMode::Create);
  std::int64_t size = -1;
  EXPECT_EQ(s->MapView(size), nullptr);  // empty file
  EXPECT_EQ(size, 0);
  s->WriteAt(0, "abcd", 4);
  const std::uint8_t* view = s->MapView(size);
  ASSERT_NE(view, nullptr);
  ASSERT_EQ(size, 4);
  s->WriteAt(1, "X", 1);
  EXPECT_EQ(view[1], 'X');  // writes to existing bytes show in the view
  s->WriteAt(4, "efgh", 4);
  view = s->MapView(size);
  ASSERT_EQ(size, 8);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(view), 8), "aXcdefgh");
  EXPECT_EQ(NewMemoryStream()->MapView(size), nullptr);
}

TEST(MemoryStream, BehavesLikeAFile) {
  auto s = NewMemoryStream();
  char buffer[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(s->ReadAt(0, buffer, 4), 0u);
  s->WriteAt(2, "ab", 2);
  EXPECT_EQ(s->Size(), 4);
  EXPECT_EQ(s->ReadAt(0, buffer, 4), 4u);
  EXPECT_EQ(std::string(buffer, 4), std::string("\0\0ab", 4));
  EXPECT_EQ(s->ReadAt(3, buffer, 4), 1u);
  s->Truncate(1);
  EXPECT_EQ(s->Size(), 1);
  EXPECT_THROW(s->ReadAt(-1, buffer, 1), EReadError);
  EXPECT_THROW(s->WriteAt(-1, buffer, 1), EWriteError);
  EXPECT_EQ(s->Size(), 1);
}

TEST(FileSystemCalls, FoldersFilesAndRenames) {
  testing::TempFolder dir;
  FileSystem& fs = OsFiles();
  std::string sub = dir.File("sub");
  EXPECT_TRUE(fs.CreateDirectory(sub));
  EXPECT_FALSE(fs.CreateDirectory(sub));
  EXPECT_FALSE(fs.CreateDirectory(dir.File("a/b")));  // one level only
  EXPECT_TRUE(fs.DirectoryExists(sub));
  EXPECT_FALSE(fs.FileExists(sub));
  WriteBytes(sub + "/one.txt", "12345");
  WriteBytes(sub + "/two.txt", "x");
  symlink((sub + "/one.txt").c_str(), (sub + "/link.txt").c_str());
  EXPECT_EQ(fs.FileSize(sub + "/one.txt"), 5);
  EXPECT_EQ(fs.FileSize(sub + "/none.txt"), -1);
  EXPECT_EQ(fs.FileSize(sub), -1);
  EXPECT_FALSE(fs.RemoveDirectory(sub));  // not empty
  auto entries = fs.ListDirectory(sub);
  ASSERT_EQ(entries.size(), 3u);
  for (const DirectoryEntry& e : entries) {
    EXPECT_TRUE(e.isRegularFile) << e.name;
    EXPECT_FALSE(e.isDirectory) << e.name;
  }
  EXPECT_TRUE(fs.ListDirectory(dir.File("none")).empty());
  // A rename never replaces an existing file.
  EXPECT_FALSE(fs.RenameFile(sub + "/two.txt", sub + "/one.txt"));
  EXPECT_EQ(ReadBytes(sub + "/one.txt"), "12345");
  EXPECT_TRUE(fs.RenameFile(sub + "/two.txt", sub + "/three.txt"));
  EXPECT_TRUE(fs.FileExists(sub + "/three.txt"));
  EXPECT_FALSE(fs.RenameFile(sub + "/two.txt", sub + "/four.txt"));
  for (const char* name : {"/one.txt", "/three.txt", "/link.txt"})
    EXPECT_TRUE(fs.DeleteFile(sub + name));
  EXPECT_FALSE(fs.DeleteFile(sub + "/one.txt"));
  EXPECT_TRUE(fs.RemoveDirectory(sub));
  EXPECT_FALSE(fs.DirectoryExists(sub));
}

TEST(FileSystemCalls, ExecutableFolderAndInstalledFileSystem) {
  std::string folder = ExecutableFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(OsFiles().FileExists(folder + "tavlo_platform_tests"));

  struct CountingFiles : FileSystem {
    int opens = 0;
    std::unique_ptr<ByteStream> Open(const std::string&, OpenMode) override {
      ++opens;
      return NewMemoryStream();
    }
    bool FileExists(const std::string&) override { return true; }
    bool DirectoryExists(const std::string&) override { return false; }
    bool DeleteFile(const std::string&) override { return false; }
    bool RenameFile(const std::string&, const std::string&) override { return false; }
    bool CreateDirectory(const std::string&) override { return false; }
    bool RemoveDirectory(const std::string&) override { return false; }
    std::vector<DirectoryEntry> ListDirectory(const std::string&) override { return {}; }
    std::int64_t FileSize(const std::string&) override { return 0; }
  } counting;
  {
    ScopedFileSystem scoped{counting};
    Files().Open("/nowhere", OpenMode::ReadOnly);
    EXPECT_TRUE(Files().FileExists("/nowhere"));
  }
  EXPECT_EQ(counting.opens, 1);
  EXPECT_EQ(&Files(), &OsFiles());
}

// Replaces system calls for one test and restores the real ones.
class InjectedCalls {
 public:
  InjectedCalls() = default;
  ~InjectedCalls() { SystemCalls() = RealSystemCalls(); }
  InjectedCalls(const InjectedCalls&) = delete;
  InjectedCalls& operator=(const InjectedCalls&) = delete;
};

int pwriteCalls = 0;

TEST(FileFaults, ShortWritesAreContinuedAndAFullDiskFails) {
  testing::TempFolder dir;
  std::string path = dir.File("f.dbf");
  auto s = OsFiles().Open(path, OpenMode::Create);
  InjectedCalls injected;
  // The disk takes three bytes at a time: the stream keeps writing until all are written.
  SystemCalls().pwrite = [](int fd, const void* b, size_t n, off_t o) -> ssize_t {
    return ::pwrite(fd, b, n < 3 ? n : 3, o);
  };
  s->WriteAt(0, "0123456789", 10);
  EXPECT_EQ(ReadBytes(path), "0123456789");
  // A short write followed by a full disk is a write error.
  pwriteCalls = 0;
  SystemCalls().pwrite = [](int fd, const void* b, size_t n, off_t o) -> ssize_t {
    if (++pwriteCalls == 1) return ::pwrite(fd, b, n / 2, o);
    errno = ENOSPC;
    return -1;
  };
  EXPECT_THROW_MSG(s->WriteAt(0, "abcdefgh", 8), EWriteError,
                   "Stream write error: " + path + ": No space left on device");
  // A write that writes nothing must not loop forever.
  SystemCalls().pwrite = [](int, const void*, size_t, off_t) -> ssize_t { return 0; };
  EXPECT_THROW(s->WriteAt(0, "x", 1), EWriteError);
  // Interrupted calls are retried.
  pwriteCalls = 0;
  SystemCalls().pwrite = [](int fd, const void* b, size_t n, off_t o) -> ssize_t {
    if (++pwriteCalls == 1) {
      errno = EINTR;
      return -1;
    }
    return ::pwrite(fd, b, n, o);
  };
  s->WriteAt(0, "Z", 1);
  SystemCalls().ftruncate = [](int, off_t) -> int {
    errno = EIO;
    return -1;
  };
  EXPECT_THROW(s->Truncate(0), EWriteError);
  SystemCalls().pread = [](int, void*, size_t, off_t) -> ssize_t {
    errno = EIO;
    return -1;
  };
  char buffer[4];
  EXPECT_THROW_MSG(s->ReadAt(0, buffer, 4), EReadError,
                   "Stream read error: " + path + ": Input/output error");
}

int createCalls = 0;

// Another program may remove a new file before its creator has taken it (taking it for one a
// dead creator left): the creator then makes it again rather than write into a lost file.
TEST(FileFaults, ANewFileRemovedBeforeItIsTakenIsCreatedAgain) {
  testing::TempFolder dir;
  std::string path = dir.File("n.mark");
  InjectedCalls injected;
  createCalls = 0;
  SystemCalls().open = [](const char* name, int flags, mode_t mode) -> int {
    const int fd = ::open(name, flags, mode);
    if ((flags & O_CREAT) != 0 && ++createCalls == 1) ::unlink(name);
    return fd;
  };
  auto created = OsFiles().CreateNew(path);
  created->WriteAt(0, "plan", 4);
  EXPECT_EQ(createCalls, 2);
  EXPECT_EQ(ReadBytes(path), "plan");
}

TEST(FileFaults, RefusedOrUnsupportedLocks) {
  testing::TempFolder dir;
  std::string path = dir.File("l.dbf");
  WriteBytes(path, "keep");
  InjectedCalls injected;
  SystemCalls().lock = [](int, int, struct flock*) -> int {
    errno = EAGAIN;
    return -1;
  };
  EXPECT_THROW(OsFiles().Open(path, OpenMode::ReadOnly), EFOpenError);
  EXPECT_THROW(OsFiles().Open(path, OpenMode::Create), EFCreateError);
  EXPECT_EQ(ReadBytes(path), "keep");
  // A file system without locks still opens files.
  SystemCalls().lock = [](int, int, struct flock*) -> int {
    errno = ENOLCK;
    return -1;
  };
  EXPECT_EQ(ReadAll(*OsFiles().Open(path, OpenMode::ReadWrite)), "keep");
}

// A file the user may only read (refused for writing) still opens as a shared file, for
// reading; writing and the writers' exclusive locks then say why they fail.
TEST(FileFaults, ASharedFileThatMayOnlyBeReadOpensForReading) {
  testing::TempFolder dir;
  std::string path = dir.File("records.jpf");
  WriteBytes(path, "page zero");
  InjectedCalls injected;
  SystemCalls().open = [](const char* p, int flags, mode_t mode) -> int {
    if ((flags & O_ACCMODE) != O_RDONLY) {
      errno = EACCES;
      return -1;
    }
    return ::open(p, flags, mode);
  };
  auto file = OsFiles().OpenShared(path, false);
  EXPECT_EQ(ReadAll(*file), "page zero");
  EXPECT_TRUE(file->LockRange(0, 10, RangeLockKind::Shared, 0));
  file->UnlockRange(0, 10);
  const std::string readOnly = "Stream write error: " + path + ": the file is read-only";
  EXPECT_THROW_MSG(file->WriteAt(0, "x", 1), EWriteError, readOnly);
  EXPECT_THROW_MSG(file->Truncate(0), EWriteError, readOnly);
  EXPECT_THROW_MSG(file->LockRange(0, 10, RangeLockKind::Exclusive, 0), EWriteError, readOnly);
  EXPECT_EQ(ReadBytes(path), "page zero");
  // Creating is still refused, with the reason.
  EXPECT_THROW_MSG(OsFiles().OpenShared(dir.File("new.jpf"), true), EFCreateError,
                   "Cannot create file " + dir.File("new.jpf") + ": Permission denied");
}

}  // namespace
}  // namespace tavlo
