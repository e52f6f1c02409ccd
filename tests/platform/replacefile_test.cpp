// Whole-file replacement: the old file survives every failure (short writes, a full disk at
// several offsets, a failing flush or rename, a real full tmpfs), no temporary file is left
// behind, permissions and links are kept, and the message names the file and the reason.

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
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

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const DirectoryEntry& e : OsFiles().ListDirectory(folder)) names.push_back(e.name);
  return names;
}

class InjectedCalls {
 public:
  InjectedCalls() = default;
  ~InjectedCalls() { SystemCalls() = RealSystemCalls(); }
  InjectedCalls(const InjectedCalls&) = delete;
  InjectedCalls& operator=(const InjectedCalls&) = delete;
};

// The disk fills up at this offset of any file written.
off_t fullAt = 0;

ssize_t FullDiskWrite(int fd, const void* buffer, size_t size, off_t offset) {
  if (offset >= fullAt) {
    errno = ENOSPC;
    return -1;
  }
  // Short writes of at most 5 bytes on the way there.
  size_t room = static_cast<size_t>(fullAt - offset);
  return ::pwrite(fd, buffer, std::min({size, room, size_t{5}}), offset);
}

TEST(ReplaceFile, AFullDiskAtAnyOffsetKeepsTheOldFile) {
  testing::TempFolder dir;
  const std::string path = dir.File("settings.ini");
  const std::string old = "[main]\r\nlastfile=/t/people.dbf\r\n";
  WriteBytes(path, old);
  const std::string replacement(5000, 'x');
  InjectedCalls injected;
  SystemCalls().pwrite = &FullDiskWrite;
  for (off_t offset : {off_t{0}, off_t{1}, off_t{7}, off_t{4096}, off_t{4999}}) {
    SCOPED_TRACE(offset);
    fullAt = offset;
    EXPECT_THROW_MSG(OsFiles().ReplaceFile(path, replacement), EFCreateError,
                     "Cannot create file " + path + ": No space left on device");
    EXPECT_EQ(ReadBytes(path), old);
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"settings.ini"});
  }
  // Short writes alone are no failure.
  fullAt = 1 << 20;
  OsFiles().ReplaceFile(path, replacement);
  EXPECT_EQ(ReadBytes(path), replacement);
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"settings.ini"});
}

TEST(ReplaceFile, AFailingFlushOrRenameKeepsTheOldFile) {
  testing::TempFolder dir;
  const std::string path = dir.File("form.dfrm");
  WriteBytes(path, "old");
  InjectedCalls injected;
  SystemCalls().fsync = [](int) -> int {
    errno = EIO;
    return -1;
  };
  EXPECT_THROW_MSG(OsFiles().ReplaceFile(path, "new"), EFCreateError,
                   "Cannot create file " + path + ": Input/output error");
  EXPECT_EQ(ReadBytes(path), "old");
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"form.dfrm"});
  SystemCalls() = RealSystemCalls();
  SystemCalls().rename = [](const char*, const char*) -> int {
    errno = EXDEV;
    return -1;
  };
  EXPECT_THROW_MSG(OsFiles().ReplaceFile(path, "new"), EFCreateError,
                   "Cannot create file " + path + ": Invalid cross-device link");
  EXPECT_EQ(ReadBytes(path), "old");
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"form.dfrm"});
  // A new file that cannot be finished is not created at all.
  SystemCalls().rename = RealSystemCalls().rename;
  SystemCalls().pwrite = [](int, const void*, size_t, off_t) -> ssize_t {
    errno = ENOSPC;
    return -1;
  };
  EXPECT_THROW(OsFiles().ReplaceFile(dir.File("new.txt"), "abc"), EFCreateError);
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"form.dfrm"});
}

TEST(ReplaceFile, KeepsPermissionsAndLinksAndRefusesWhatItMayNotReplace) {
  testing::TempFolder dir;
  const std::string path = dir.File("report.html");
  WriteBytes(path, "old");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  OsFiles().ReplaceFile(path, "new");
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadBytes(path), "new");

  // A link stays a link; the file it points to gets the content.
  const std::string link = dir.File("link.html");
  ASSERT_EQ(::symlink(path.c_str(), link.c_str()), 0);
  OsFiles().ReplaceFile(link, "through the link");
  ASSERT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadBytes(path), "through the link");

  const std::string folder = dir.File("sub");
  ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
  EXPECT_THROW_MSG(OsFiles().ReplaceFile(folder, "x"), EFCreateError,
                   "Cannot create file " + folder + ": Is a directory");
  EXPECT_THROW_MSG(OsFiles().ReplaceFile(dir.File("none/x.txt"), "x"), EFCreateError,
                   "Cannot create file " + dir.File("none/x.txt") + ": No such file or directory");

  // Another open of the file keeps it, as creating it over that open would.
  {
    auto reader = OsFiles().Open(path, OpenMode::ReadOnly);
    EXPECT_THROW_MSG(OsFiles().ReplaceFile(path, "x"), EFCreateError,
                     "Cannot create file " + path + ": the file is in use by another program");
  }
  EXPECT_EQ(ReadBytes(path), "through the link");

  if (::geteuid() != 0) {  // root may write any file
    ASSERT_EQ(::chmod(path.c_str(), 0440), 0);
    EXPECT_THROW_MSG(OsFiles().ReplaceFile(path, "x"), EFCreateError,
                     "Cannot create file " + path + ": Permission denied");
    EXPECT_EQ(ReadBytes(path), "through the link");
  }
}

// A real full disk: a 64 KB tmpfs. Mounting needs privileges the machine may not give.
TEST(ReplaceFile, ARealFullTmpfsKeepsTheOldFile) {
  testing::TempFolder dir;
  const std::string mountPoint = dir.File("small");
  ASSERT_EQ(::mkdir(mountPoint.c_str(), 0700), 0);
  if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "cannot mount a small tmpfs here (" << std::strerror(errno)
                 << "); the injected faults above still cover the full disk";
  }
  struct Unmount {
    std::string point;
    ~Unmount() { ::umount(point.c_str()); }
  } unmount{mountPoint};
  const std::string path = mountPoint + "/settings.ini";
  const std::string old(20000, 'o');
  OsFiles().ReplaceFile(path, old);
  const std::string bigger(60000, 'n');
  EXPECT_THROW_MSG(OsFiles().ReplaceFile(path, bigger), EFCreateError,
                   "Cannot create file " + path + ": No space left on device");
  EXPECT_EQ(ReadBytes(path), old);
  EXPECT_EQ(Names(mountPoint), std::vector<std::string>{"settings.ini"});
}

}  // namespace
}  // namespace tavlo
