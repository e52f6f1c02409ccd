// The operating system's byte streams: POSIX files opened in the three modes, their sharing
// rules, and the mapped view used by scans.
//
// Sharing between processes is emulated with open-file-description (OFD) locks on two lock
// bytes far beyond the end of any real file (as SQLite keeps its lock bytes apart from data),
// so they never collide with record locks and vanish when a process dies:
//
//   mode       reader byte   writer byte   refused while another holds
//   Create     exclusive     exclusive     any open
//   ReadOnly   shared        -             Create
//   ReadWrite  shared        exclusive     Create or ReadWrite
//
// OFD locks belong to the open file description, not to the process, so the same rules hold
// between two opens within one process: a second read-write open of a file fails there too.
// The table engine keeps one open object per path and process, so that never happens to it.
// A file system without lock support (ENOLCK, EINVAL) opens the file without sharing rules
// rather than refusing every file.

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/errors.h"
#include "platform/filesystem.h"
#include "platform/oscalls.h"
#include "platform/osfile.h"

namespace tavlo {
namespace {

constexpr off_t kReaderLockByte = 0x7FFF000000000000LL;
constexpr off_t kWriterLockByte = kReaderLockByte + 1;

int RealOpen(const char* path, int flags, mode_t mode) {
  return ::open(path, flags, mode);
}
int RealLock(int fd, int command, struct flock* lock) {
  return ::fcntl(fd, command, lock);
}

enum class LockResult { Taken, Conflict, Unsupported };

LockResult LockByte(int fd, off_t byte, short type) {
  struct flock lock;
  std::memset(&lock, 0, sizeof lock);
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = byte;
  lock.l_len = 1;
  for (;;) {
    if (SystemCalls().lock(fd, F_OFD_SETLK, &lock) == 0) return LockResult::Taken;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EACCES) return LockResult::Conflict;
    return LockResult::Unsupported;
  }
}

// Takes the lock bytes of the mode; false when another open holds a conflicting share.
bool TakeShare(int fd, OpenMode mode) {
  LockResult reader = LockByte(fd, kReaderLockByte, mode == OpenMode::Create ? F_WRLCK : F_RDLCK);
  if (reader == LockResult::Conflict) return false;
  if (reader == LockResult::Unsupported || mode == OpenMode::ReadOnly) return true;
  return LockByte(fd, kWriterLockByte, F_WRLCK) != LockResult::Conflict;
}

class OsByteStream final : public ByteStream {
 public:
  explicit OsByteStream(int fd) : fd_(fd) {}
  ~OsByteStream() override {
    Unmap();
    // Don't retry close on EINTR: the descriptor is gone either way. Closing the descriptor
    // releases its OFD locks.
    SystemCalls().close(fd_);
  }
  OsByteStream(const OsByteStream&) = delete;
  OsByteStream& operator=(const OsByteStream&) = delete;

  std::size_t ReadAt(std::int64_t offset, void* buffer, std::size_t size) override {
    if (offset < 0) throw EReadError();
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
      ssize_t n = SystemCalls().pread(fd_, out + done, size - done,
                                      static_cast<off_t>(offset + static_cast<off_t>(done)));
      if (n < 0) {
        if (errno == EINTR) continue;
        throw EReadError();
      }
      if (n == 0) break;  // end of file
      done += static_cast<std::size_t>(n);
    }
    return done;
  }

  void WriteAt(std::int64_t offset, const void* buffer, std::size_t size) override {
    if (offset < 0) throw EWriteError();
    const auto* in = static_cast<const char*>(buffer);
    std::size_t done = 0;
    // A short count is not yet a failure: the next call either writes more or reports why
    // (ENOSPC, EIO). Only an error or a write of nothing ends the loop.
    while (done < size) {
      ssize_t n = SystemCalls().pwrite(fd_, in + done, size - done,
                                       static_cast<off_t>(offset + static_cast<off_t>(done)));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) throw EWriteError();
      done += static_cast<std::size_t>(n);
    }
  }

  std::int64_t Size() override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) throw EReadError();
    return st.st_size;
  }

  void Truncate(std::int64_t size) override {
    if (size < 0) throw EWriteError();
    int rc;
    do {
      rc = SystemCalls().ftruncate(fd_, static_cast<off_t>(size));
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) throw EWriteError();
  }

  // The view covers the file as it was at the last call; a change of size remaps it. Bytes
  // past a shrink by another process must not be touched, so callers use mappedSize of this
  // call and call again before each scan.
  const std::uint8_t* MapView(std::int64_t& mappedSize) override {
    mappedSize = 0;
    std::int64_t size = Size();
    if (size != mapSize_) {
      Unmap();
      if (size > 0) {
        void* view = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_SHARED, fd_, 0);
        if (view == MAP_FAILED) return nullptr;
        map_ = static_cast<const std::uint8_t*>(view);
        mapSize_ = size;
      }
    }
    mappedSize = mapSize_;
    return map_;
  }

 private:
  void Unmap() noexcept {
    if (map_ != nullptr)
      ::munmap(const_cast<std::uint8_t*>(map_), static_cast<std::size_t>(mapSize_));
    map_ = nullptr;
    mapSize_ = 0;
  }

  int fd_;
  const std::uint8_t* map_ = nullptr;
  std::int64_t mapSize_ = 0;
};

}  // namespace

OsCalls& SystemCalls() {
  static OsCalls calls = RealSystemCalls();
  return calls;
}

const OsCalls& RealSystemCalls() {
  static const OsCalls real{&RealOpen, &::close, &::pread, &::pwrite, &::ftruncate, &RealLock};
  return real;
}

std::unique_ptr<ByteStream> OpenOsFile(const std::string& path, OpenMode mode) {
  auto fail = [&]() -> std::unique_ptr<ByteStream> {
    if (mode == OpenMode::Create) throw EFCreateError::ForPath(path);
    throw EFOpenError::ForPath(path);
  };
  // Create does not truncate on open: the file may be another's until the share is ours.
  int flags = O_CLOEXEC | (mode == OpenMode::ReadOnly ? O_RDONLY : O_RDWR) |
              (mode == OpenMode::Create ? O_CREAT : 0);
  int fd;
  do {
    fd = SystemCalls().open(path.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return fail();
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    SystemCalls().close(fd);
    return fail();
  }
  if (!TakeShare(fd, mode)) {
    SystemCalls().close(fd);
    if (mode == OpenMode::Create) throw EFCreateError::ForPath(path);
    throw EFShareError::ForPath(path);
  }
  auto stream = std::make_unique<OsByteStream>(fd);
  if (mode == OpenMode::Create) {
    try {
      stream->Truncate(0);
    } catch (const EStreamError&) {
      return fail();
    }
  }
  return stream;
}

}  // namespace tavlo
