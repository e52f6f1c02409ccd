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

#include <atomic>
#include <cerrno>
#include <cstdlib>
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

std::string Reason(int error) {
  return std::strerror(error);
}

int SyncFile(int fd);

class OsByteStream final : public ByteStream {
 public:
  OsByteStream(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  ~OsByteStream() override {
    Unmap();
    // Don't retry close on EINTR: the descriptor is gone either way. Closing the descriptor
    // releases its OFD locks.
    SystemCalls().close(fd_);
  }
  OsByteStream(const OsByteStream&) = delete;
  OsByteStream& operator=(const OsByteStream&) = delete;

  std::size_t ReadAt(std::int64_t offset, void* buffer, std::size_t size) override {
    if (offset < 0) throw EReadError::InFile(path_, "negative offset");
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
      ssize_t n = SystemCalls().pread(fd_, out + done, size - done,
                                      static_cast<off_t>(offset + static_cast<off_t>(done)));
      if (n < 0) {
        if (errno == EINTR) continue;
        throw EReadError::InFile(path_, Reason(errno));
      }
      if (n == 0) break;  // end of file
      done += static_cast<std::size_t>(n);
    }
    return done;
  }

  void WriteAt(std::int64_t offset, const void* buffer, std::size_t size) override {
    if (offset < 0) throw EWriteError::InFile(path_, "negative offset");
    const auto* in = static_cast<const char*>(buffer);
    std::size_t done = 0;
    // A short count is not yet a failure: the next call either writes more or reports why
    // (ENOSPC, EIO). Only an error or a write of nothing ends the loop.
    while (done < size) {
      ssize_t n = SystemCalls().pwrite(fd_, in + done, size - done,
                                       static_cast<off_t>(offset + static_cast<off_t>(done)));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw EWriteError::InFile(path_, Reason(errno));
      if (n == 0) throw EWriteError::InFile(path_, Reason(ENOSPC));
      done += static_cast<std::size_t>(n);
    }
  }

  std::int64_t Size() override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) throw EReadError::InFile(path_, Reason(errno));
    return st.st_size;
  }

  void Flush() override {
    const int error = SyncFile(fd_);
    if (error != 0) throw EWriteError::InFile(path_, Reason(error));
  }

  std::string FileId() override {
    struct stat st;
    return ::fstat(fd_, &st) == 0 ? OsFileId(st) : std::string();
  }

  void Truncate(std::int64_t size) override {
    if (size < 0) throw EWriteError::InFile(path_, "negative size");
    int rc;
    do {
      rc = SystemCalls().ftruncate(fd_, static_cast<off_t>(size));
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) throw EWriteError::InFile(path_, Reason(errno));
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
  std::string path_;
  const std::uint8_t* map_ = nullptr;
  std::int64_t mapSize_ = 0;
};

[[noreturn]] void FailReplace(const std::string& path, const std::string& reason) {
  throw EFCreateError(EFCreateError::ForPath(path).Message() + ": " + reason);
}

// Writes all bytes from offset 0; answers 0 or the errno of the failure. A write of nothing
// means the disk took nothing more: a full disk.
int WriteAllBytes(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = SystemCalls().pwrite(fd, bytes.data() + done, bytes.size() - done,
                                     static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return ENOSPC;
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

int SyncFile(int fd) {
  int rc;
  do {
    rc = SystemCalls().fsync(fd);
  } while (rc != 0 && errno == EINTR);
  return rc == 0 ? 0 : errno;
}

// A folder that is not ours to write (but holds a file that is): the old way, in place.
void WriteInPlace(const std::string& path, const std::string& bytes) {
  std::unique_ptr<ByteStream> file;
  try {
    file = OpenOsFile(path, OpenMode::Create);
  } catch (const EStreamError&) {
    FailReplace(path, std::strerror(EACCES));
  }
  try {
    if (!bytes.empty()) file->WriteAt(0, bytes.data(), bytes.size());
  } catch (const EStreamError& e) {
    FailReplace(path, e.what());
  }
}

}  // namespace

void ReplaceOsFile(const std::string& path, const std::string& bytes) {
  if (path.empty()) FailReplace(path, std::strerror(ENOENT));
  // Through a link the link stays and the file it points to gets the new content.
  std::string target = path;
  if (char* resolved = ::realpath(path.c_str(), nullptr)) {
    target = resolved;
    std::free(resolved);
  }
  struct stat old;
  const bool exists = ::stat(target.c_str(), &old) == 0;
  int guard = -1;  // the old file, holding the share of Create until it is replaced
  if (exists) {
    if (S_ISDIR(old.st_mode)) FailReplace(path, std::strerror(EISDIR));
    if (!S_ISREG(old.st_mode)) FailReplace(path, "not a regular file");
    // A rename ignores the file's own permissions; a file the user may not write stays so.
    if (::access(target.c_str(), W_OK) != 0) FailReplace(path, std::strerror(errno));
    // Opened for writing: only then can it take the exclusive share that keeps other opens out.
    guard = SystemCalls().open(target.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK, 0);
    if (guard >= 0 && !TakeShare(guard, OpenMode::Create)) {
      SystemCalls().close(guard);
      FailReplace(path, "the file is in use by another program");
    }
  }
  auto closeGuard = [&] {
    if (guard >= 0) SystemCalls().close(guard);
    guard = -1;
  };
  const std::size_t slash = target.rfind(kPathSeparator);
  const std::string folder =
      slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  static std::atomic<unsigned> counter{0};
  std::string temp;
  int fd = -1;
  int error = 0;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = folder + "." + name + "." + std::to_string(::getpid()) + "-" +
           std::to_string(counter++) + ".tmp";
    fd = SystemCalls().open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                            exists ? 0600 : 0666);
    if (fd < 0 && errno == EINTR) continue;
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    error = errno;
    closeGuard();
    if (exists && error == EACCES) return WriteInPlace(target, bytes);
    FailReplace(path, std::strerror(error));
  }
  if (exists) {
    // Owner first: changing it clears the set-id bits that the mode then restores.
    if ((old.st_uid != ::geteuid() || old.st_gid != ::getegid()) &&
        ::fchown(fd, old.st_uid, old.st_gid) != 0) {
      // Only the owner or root may give a file away; the new content then stays the user's.
    }
    if (::fchmod(fd, old.st_mode & 07777) != 0) error = errno;
  }
  if (error == 0) error = WriteAllBytes(fd, bytes);
  if (error == 0) error = SyncFile(fd);
  // A network file system may report a failed write only when the file is closed.
  if (SystemCalls().close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
  if (error == 0 && SystemCalls().rename(temp.c_str(), target.c_str()) != 0) error = errno;
  closeGuard();
  if (error != 0) {
    ::unlink(temp.c_str());
    FailReplace(path, std::strerror(error));
  }
  // The rename itself lasts only once the folder is on disk too; failing that is no failure
  // of the save (the new content is complete either way).
  int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    SyncFile(dir);
    ::close(dir);
  }
}

std::string OsFileId(const struct stat& status) {
  return std::to_string(static_cast<unsigned long long>(status.st_dev)) + ":" +
         std::to_string(static_cast<unsigned long long>(status.st_ino));
}

namespace {

bool StillNamed(int fd, const std::string& path) {
  struct stat opened, named;
  return ::fstat(fd, &opened) == 0 && ::stat(path.c_str(), &named) == 0 &&
         opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

}  // namespace

std::unique_ptr<ByteStream> CreateNewOsFile(const std::string& path) {
  if (path.empty()) throw EFCreateError::ForPath(path, Reason(ENOENT));
  for (int attempt = 0;; ++attempt) {
    int fd;
    do {
      fd = SystemCalls().open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) throw EFCreateError::ForPath(path, Reason(errno));
    // Another program may look into the file the moment it appears (a program checking for
    // leftovers holds it for an instant): wait for that rather than fail.
    for (int wait = 1; !TakeShare(fd, OpenMode::ReadWrite); wait *= 2) {
      if (wait > 1024) {
        SystemCalls().close(fd);
        ::unlink(path.c_str());
        throw EFCreateError::ForPath(path, "the file is in use by another program");
      }
      ::usleep(static_cast<useconds_t>(wait) * 1000);
    }
    // That program may have taken the empty file for one left by a creator that died, and
    // removed it: what was written to this handle would then be lost, so create it again.
    if (StillNamed(fd, path)) return std::make_unique<OsByteStream>(fd, path);
    SystemCalls().close(fd);
    if (attempt == 3) throw EFCreateError::ForPath(path, "the file was removed by another program");
  }
}

OsCalls& SystemCalls() {
  static OsCalls calls = RealSystemCalls();
  return calls;
}

const OsCalls& RealSystemCalls() {
  static const OsCalls real{&RealOpen,    &::close,  &::pread, &::pwrite,
                            &::ftruncate, &RealLock, &::fsync, &::rename};
  return real;
}

std::unique_ptr<ByteStream> OpenOsFile(const std::string& path, OpenMode mode) {
  auto fail = [&](const std::string& reason) -> std::unique_ptr<ByteStream> {
    if (mode == OpenMode::Create) throw EFCreateError::ForPath(path, reason);
    throw EFOpenError::ForPath(path, reason);
  };
  if (path.empty()) return fail(Reason(ENOENT));
  // Create does not truncate on open: the file may be another's until the share is ours.
  int flags = O_CLOEXEC | (mode == OpenMode::ReadOnly ? O_RDONLY : O_RDWR) |
              (mode == OpenMode::Create ? O_CREAT : 0);
  int fd;
  do {
    fd = SystemCalls().open(path.c_str(), flags | O_NONBLOCK, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return fail(Reason(errno));
  struct stat st;
  std::string reason;
  if (::fstat(fd, &st) != 0) {
    reason = Reason(errno);
  } else if (S_ISDIR(st.st_mode)) {
    reason = Reason(EISDIR);
  } else if (!S_ISREG(st.st_mode)) {
    reason = "not a regular file";
  } else if (!TakeShare(fd, mode)) {
    // Its own class, so the program can say in plain words that another program holds it.
    SystemCalls().close(fd);
    const std::string held = "the file is in use by another program";
    if (mode == OpenMode::Create) throw EFCreateError::ForPath(path, held);
    throw EFShareError(EFOpenError::ForPath(path, held).what());
  }
  if (!reason.empty()) {
    SystemCalls().close(fd);
    return fail(reason);
  }
  // Opened without blocking so that a pipe under the name cannot hang the open; a regular
  // file goes back to ordinary reads and writes.
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  auto stream = std::make_unique<OsByteStream>(fd, path);
  if (mode == OpenMode::Create) {
    try {
      stream->Truncate(0);
    } catch (const EStreamError&) {
      return fail(Reason(errno));
    }
  }
  return stream;
}

}  // namespace tavlo
