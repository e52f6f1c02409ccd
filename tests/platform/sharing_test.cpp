// Sharing between processes: a child process holds a file open, the parent tries each mode;
// the child's locks vanish when it is killed.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "platform/errors.h"
#include "platform/filesystem.h"
#include "platformtest.h"

namespace tavlo {
namespace {

// A child process that opens path in mode, reports through a pipe and waits to be killed.
class HoldingChild {
 public:
  HoldingChild(const std::string& path, OpenMode mode) {
    int fds[2];
    if (pipe(fds) != 0) {
      ADD_FAILURE() << "pipe failed";
      return;
    }
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      char answer = 'F';
      std::unique_ptr<ByteStream> held;
      try {
        held = OsFiles().Open(path, mode);
        answer = 'K';
      } catch (const Exception&) {
      }
      if (write(fds[1], &answer, 1) != 1) _exit(1);
      for (;;) pause();
    }
    close(fds[1]);
    char answer = 0;
    opened_ = read(fds[0], &answer, 1) == 1 && answer == 'K';
    close(fds[0]);
  }
  ~HoldingChild() { Kill(); }
  HoldingChild(const HoldingChild&) = delete;
  HoldingChild& operator=(const HoldingChild&) = delete;

  bool opened() const { return opened_; }
  void Kill() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  bool opened_ = false;
};

TEST(Sharing, AWriterInAnotherProcessKeepsOutWritersNotReaders) {
  testing::TempFolder dir;
  std::string path = dir.File("table.dbf");
  std::ofstream(path) << "records";
  HoldingChild child(path, OpenMode::ReadWrite);
  ASSERT_TRUE(child.opened());
  EXPECT_THROW_MSG(OsFiles().Open(path, OpenMode::ReadWrite), EFOpenError,
                   "Cannot open file " + path + ": the file is in use by another program");
  EXPECT_THROW_MSG(OsFiles().Open(path, OpenMode::Create), EFCreateError,
                   "Cannot create file " + path + ": the file is in use by another program");
  auto reader = OsFiles().Open(path, OpenMode::ReadOnly);
  char buffer[7];
  EXPECT_EQ(reader->ReadAt(0, buffer, 7), 7u);
  EXPECT_EQ(std::string(buffer, 7), "records");
  // A killed process leaves no lock behind.
  child.Kill();
  auto writer = OsFiles().Open(path, OpenMode::ReadWrite);
  EXPECT_EQ(writer->Size(), 7);
}

TEST(Sharing, AReaderInAnotherProcessAllowsWritersButNoCreate) {
  testing::TempFolder dir;
  std::string path = dir.File("table.dbf");
  std::ofstream(path) << "records";
  HoldingChild child(path, OpenMode::ReadOnly);
  ASSERT_TRUE(child.opened());
  EXPECT_NO_THROW(OsFiles().Open(path, OpenMode::ReadWrite));
  EXPECT_THROW(OsFiles().Open(path, OpenMode::Create), EFCreateError);
}

TEST(Sharing, ACreatorInAnotherProcessKeepsEveryoneOut) {
  testing::TempFolder dir;
  std::string path = dir.File("new.dbf");
  HoldingChild child(path, OpenMode::Create);
  ASSERT_TRUE(child.opened());
  EXPECT_THROW(OsFiles().Open(path, OpenMode::ReadOnly), EFOpenError);
  EXPECT_THROW(OsFiles().Open(path, OpenMode::ReadWrite), EFOpenError);
  // And a second process holding the file read-write refuses the child's create.
  child.Kill();
  auto writer = OsFiles().Open(path, OpenMode::ReadWrite);
  HoldingChild creator(path, OpenMode::Create);
  EXPECT_FALSE(creator.opened());
}

}  // namespace
}  // namespace tavlo
