// Shared files with advisory byte-range locks: the operating system's side of SharedFile.
// Uses open file description (OFD) locks, which belong to the open file rather than the
// process, so two opens in one process exclude each other just as two processes do.
// Never shows a message; failures raise the stream errors of platform/errors.h.

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/errors.h"
#include "platform/filesystem.h"
#include "platform/oscalls.h"

namespace tavlo {
namespace {

constexpr char kReadOnly[] = "the file is read-only";

class OsSharedFile final : public SharedFile {
 public:
  OsSharedFile(int fd, std::string path, bool readOnly)
      : fd_(fd), path_(std::move(path)), readOnly_(readOnly) {}
  ~OsSharedFile() override {
    if (view_) ::munmap(view_, viewSize_);
    // Don't retry close on EINTR: the descriptor is gone either way.
    ::close(fd_);
  }
  OsSharedFile(const OsSharedFile&) = delete;
  OsSharedFile& operator=(const OsSharedFile&) = delete;

  std::size_t ReadAt(std::int64_t offset, void* buffer, std::size_t size) override {
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
      ssize_t n =
          SystemCalls().pread(fd_, out + done, size - done, static_cast<off_t>(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        throw EReadError::InFile(path_, strerror(errno));
      }
      if (n == 0) break;
      done += static_cast<std::size_t>(n);
    }
    return done;
  }

  void WriteAt(std::int64_t offset, const void* buffer, std::size_t size) override {
    if (readOnly_) throw EWriteError::InFile(path_, kReadOnly);
    const auto* in = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
      ssize_t n =
          SystemCalls().pwrite(fd_, in + done, size - done, static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) throw EWriteError::InFile(path_, strerror(errno));
      if (n == 0) throw EWriteError::InFile(path_, strerror(ENOSPC));
      done += static_cast<std::size_t>(n);
    }
  }

  std::int64_t Size() override {
    struct stat st;
    if (::fstat(fd_, &st) != 0) throw EReadError::InFile(path_, strerror(errno));
    return st.st_size;
  }

  void Truncate(std::int64_t size) override {
    if (readOnly_) throw EWriteError::InFile(path_, kReadOnly);
    if (SystemCalls().ftruncate(fd_, static_cast<off_t>(size)) != 0)
      throw EWriteError::InFile(path_, strerror(errno));
  }

  // The view stays valid until the next call or the end of the stream; it is mapped anew
  // whenever the file has changed its size.
  const std::uint8_t* MapView(std::int64_t& mappedSize) override {
    std::int64_t size = Size();
    if (view_ && viewSize_ != static_cast<std::size_t>(size)) {
      ::munmap(view_, viewSize_);
      view_ = nullptr;
      viewSize_ = 0;
    }
    if (!view_ && size > 0) {
      void* view = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_SHARED, fd_, 0);
      if (view != MAP_FAILED) {
        view_ = view;
        viewSize_ = static_cast<std::size_t>(size);
      }
    }
    mappedSize = static_cast<std::int64_t>(viewSize_);
    return static_cast<const std::uint8_t*>(view_);
  }

  bool LockRange(std::int64_t offset, std::int64_t length, RangeLockKind kind,
                 int waitMilliseconds) override {
    // Only writers take exclusive locks, and a read-only open may not take them at all.
    if (readOnly_ && kind == RangeLockKind::Exclusive) throw EWriteError::InFile(path_, kReadOnly);
    struct flock lock;
    std::memset(&lock, 0, sizeof lock);
    lock.l_type = kind == RangeLockKind::Exclusive ? F_WRLCK : F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = static_cast<off_t>(offset);
    lock.l_len = static_cast<off_t>(length);
    if (waitMilliseconds < 0) {
      while (::fcntl(fd_, F_OFD_SETLKW, &lock) != 0) {
        if (errno != EINTR) throw EInOutError(std::string("File lock failed: ") + strerror(errno));
      }
      return true;
    }
    // The blocking call cannot time out, so poll; holders keep these locks only briefly.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMilliseconds);
    auto pause = std::chrono::microseconds(200);
    for (;;) {
      if (::fcntl(fd_, F_OFD_SETLK, &lock) == 0) return true;
      if (errno != EAGAIN && errno != EACCES && errno != EINTR)
        throw EInOutError(std::string("File lock failed: ") + strerror(errno));
      if (std::chrono::steady_clock::now() >= deadline) return false;
      std::this_thread::sleep_for(pause);
      if (pause < std::chrono::milliseconds(10)) pause *= 2;
    }
  }

  bool ReadOnly() const override { return readOnly_; }

  void UnlockRange(std::int64_t offset, std::int64_t length) override {
    struct flock lock;
    std::memset(&lock, 0, sizeof lock);
    lock.l_type = F_UNLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = static_cast<off_t>(offset);
    lock.l_len = static_cast<off_t>(length);
    while (::fcntl(fd_, F_OFD_SETLK, &lock) != 0) {
      // Releasing cannot conflict; only a signal can interrupt it.
      if (errno != EINTR) return;
    }
  }

 private:
  int fd_;
  std::string path_;
  bool readOnly_;
  void* view_ = nullptr;
  std::size_t viewSize_ = 0;
};

}  // namespace

std::unique_ptr<SharedFile> FileSystem::OpenShared(const std::string& path, bool create) {
  auto fail = [&](int error) -> std::unique_ptr<SharedFile> {
    const std::string reason = error == 0 ? "not a regular file" : strerror(error);
    if (create) throw EFCreateError::ForPath(path, reason);
    throw EFOpenError::ForPath(path, reason);
  };
  int flags = O_RDWR | O_CLOEXEC | (create ? O_CREAT | O_TRUNC : 0);
  int fd;
  do {
    fd = SystemCalls().open(path.c_str(), flags | O_NONBLOCK, 0666);
  } while (fd < 0 && errno == EINTR);
  // A file the user may only read (or on a read-only disk) still opens for reading.
  bool readOnly = false;
  if (fd < 0 && !create && (errno == EACCES || errno == EROFS || errno == EPERM)) {
    const int refused = errno;
    do {
      fd = SystemCalls().open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK, 0);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) errno = refused;
    readOnly = fd >= 0;
  }
  if (fd < 0) return fail(errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const int error = S_ISDIR(st.st_mode) ? EISDIR : 0;
    SystemCalls().close(fd);
    return fail(error);
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return std::make_unique<OsSharedFile>(fd, path, readOnly);
}

}  // namespace tavlo
