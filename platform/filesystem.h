// Byte-stream file access with sharing modes and the other file-system calls of the engine.
// Every OS call the engine makes on files goes through FileSystem, so that tests can install
// one that injects a refused lock, a short write or a full disk. Never shows a message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tavlo {

// Open modes and what other processes may do meanwhile:
//   Create    created empty or truncated; others may neither read nor write
//   ReadOnly  others may read and write
//   ReadWrite others may read, not write
enum class OpenMode { Create, ReadOnly, ReadWrite };

// One open file (or an in-memory buffer). Positions are absolute byte offsets.
class ByteStream {
 public:
  virtual ~ByteStream() = default;
  // Reads up to size bytes at offset; returns how many were read (fewer at the end of the
  // file). An I/O error raises EReadError.
  virtual std::size_t ReadAt(std::int64_t offset, void* buffer, std::size_t size) = 0;
  // Writes all size bytes at offset, growing the file as needed. Anything less (short write,
  // full disk, I/O error) raises EWriteError.
  virtual void WriteAt(std::int64_t offset, const void* buffer, std::size_t size) = 0;
  virtual std::int64_t Size() = 0;
  virtual void Truncate(std::int64_t size) = 0;
  // A read-only view of the whole file as it is now, for scans that must not make a system
  // call per record; the view follows writes of this and other processes to existing bytes.
  // Returns nullptr when the stream cannot be mapped (empty file, memory stream, no support);
  // callers then fall back to ReadAt. mappedSize receives the length of the view.
  virtual const std::uint8_t* MapView(std::int64_t& mappedSize) {
    mappedSize = 0;
    return nullptr;
  }
  // Puts what was written on the disk (fsync), so that a file another step depends on (a
  // renamed-in table, a commit mark) survives a crash. A failure raises EWriteError. Streams
  // without a disk do nothing.
  virtual void Flush() {}
  // The file the stream reads, as FileSystem::FileId names it; "" when it cannot be told.
  virtual std::string FileId() { return {}; }
};

// A stream over a growable memory buffer (the stream of a paged file that has no path).
std::unique_ptr<ByteStream> NewMemoryStream();

// A file that several processes read and write at once, coordinated by advisory byte-range
// locks (the paged record file). Locks belong to this stream, so two streams on the same file
// exclude each other also within one process. Ranges may lie beyond the end of the file.
enum class RangeLockKind { Shared, Exclusive };
class SharedFile : public ByteStream {
 public:
  // Waits up to waitMilliseconds for the range (forever when negative); false when the time
  // ran out. Any other failure of the lock call raises EInOutError.
  virtual bool LockRange(std::int64_t offset, std::int64_t length, RangeLockKind kind,
                         int waitMilliseconds) = 0;
  virtual void UnlockRange(std::int64_t offset, std::int64_t length) = 0;
  // Opened for reading only (the user may not write the file): writes and exclusive locks
  // raise EWriteError "Stream write error: %s: the file is read-only".
  virtual bool ReadOnly() const { return false; }
};

struct DirectoryEntry {
  std::string name;
  bool isDirectory = false;
  bool isRegularFile = false;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Opens path in the given mode with its sharing rule. Raises EFOpenError ("Cannot open file
  // %s") for ReadOnly/ReadWrite and EFCreateError ("Cannot create file %s") for Create,
  // also when another process holds a conflicting share. The operating system's file system
  // applies the rule between two opens in one process too (its locks belong to the open file),
  // so a process keeps one open object per path; Create truncates only once the share is held.
  virtual std::unique_ptr<ByteStream> Open(const std::string& path, OpenMode mode) = 0;
  // Creates path for reading and writing, refused with EFCreateError "Cannot create file %s:
  // File exists" when anything at all is there (never opens or truncates an existing file),
  // and holds it as ReadWrite does until the stream is closed. The default (for file systems
  // of tests) checks first and then creates; the operating system's does both in one step.
  virtual std::unique_ptr<ByteStream> CreateNew(const std::string& path);
  virtual bool FileExists(const std::string& path) = 0;  // a regular file
  virtual bool DirectoryExists(const std::string& path) = 0;
  // Anything at all at path (a file, a folder, a pipe, a device), links followed.
  virtual bool PathExists(const std::string& path) {
    return FileExists(path) || DirectoryExists(path);
  }
  virtual bool DeleteFile(const std::string& path) = 0;  // false when it failed
  virtual bool RenameFile(const std::string& from, const std::string& to) = 0;
  virtual bool CreateDirectory(const std::string& path) = 0;  // one level
  virtual bool RemoveDirectory(const std::string& path) = 0;  // empty folders only
  // Entries of a folder in the order the file system returns them, without "." and "..".
  virtual std::vector<DirectoryEntry> ListDirectory(const std::string& path) = 0;
  virtual std::int64_t FileSize(const std::string& path) = 0;  // -1 when absent
  // Names the file at path ("device:inode", links followed) so that it can be compared with
  // ByteStream::FileId: whether a name still names the file that was opened. "" when nothing is
  // there or it cannot be told.
  virtual std::string FileId(const std::string& path) {
    (void)path;
    return {};
  }
  // Opens path for reading and writing while others read and write it too; create makes it
  // (or empties it). A file the user may only read opens read-only (see SharedFile::ReadOnly).
  // Raises EFOpenError, or EFCreateError when creating. The default opens the operating system's
  // file (platform/filelocks.cpp).
  virtual std::unique_ptr<SharedFile> OpenShared(const std::string& path, bool create);
  // Makes bytes the whole content of path, replacing the file in one step: until the new
  // content is complete on disk the old file stays as it was, and a failure leaves no partial
  // file behind. An existing file keeps its permissions. Refused like Create while another
  // open holds the file. Raises EFCreateError "Cannot create file %s: <reason>". The default
  // (for file systems without a disk to fill) creates the file and writes it.
  virtual void ReplaceFile(const std::string& path, const std::string& bytes);
};

// The file system in force: the operating system's unless a test installed another.
FileSystem& Files();
// The operating system's file system (POSIX calls, OFD locks for sharing).
FileSystem& OsFiles();

// Installs a file system for the lifetime of the object (tests only), restoring the previous.
class ScopedFileSystem {
 public:
  explicit ScopedFileSystem(FileSystem& replacement);
  ~ScopedFileSystem();
  ScopedFileSystem(const ScopedFileSystem&) = delete;
  ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

 private:
  FileSystem* previous_;
};

// Folder of the running executable, ending in a path separator.
std::string ExecutableFolder();
// The native path separator ('/').
constexpr char kPathSeparator = '/';

}  // namespace tavlo
