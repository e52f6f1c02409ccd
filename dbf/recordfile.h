// The paged file: a header area followed by fixed-size records over one byte stream, and the
// process-wide registry through which two cursors naming the same file share one object.
// Every data, memo and index file of a table is one. This layer caches nothing and never
// shows a message.
//
// Lifecycle: construction opens the stream (use count 1) and registers the object;
// Lookup finds it and takes one more use; Release drops one use and destroys the object,
// closing the file, when none remains. Objects are only ever destroyed through Release.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/filesystem.h"

namespace tavlo {

class TPagedFile {
 public:
  // Opens path in mode through Files() (an empty path gives an empty memory stream).
  // Raises EFOpenError / EFCreateError as the file system does.
  TPagedFile(const std::string& path, OpenMode mode);
  virtual ~TPagedFile() noexcept;
  TPagedFile(const TPagedFile&) = delete;
  TPagedFile& operator=(const TPagedFile&) = delete;

  // The registered file whose path equals path lower-cased, with one more use taken, or
  // nullptr. An empty path never matches (memory streams are private).
  static TPagedFile* Lookup(const std::string& path);
  // Drops one use of file (nullptr is ignored); the last release unregisters and destroys it.
  static void Release(TPagedFile* file) noexcept;
  void AddUse() { ++useCount_; }
  int UseCount() const { return useCount_; }

  // Lower-cased full path: the registry key. OpenedPath() is the path as given.
  const std::string& Path() const { return path_; }
  const std::string& OpenedPath() const { return openedPath_; }
  OpenMode Mode() const { return mode_; }

  std::int32_t HeaderSize() const { return headerSize_; }
  std::int32_t RecordSize() const { return recordSize_; }
  void SetHeaderSize(std::int32_t size) { headerSize_ = size; }
  void SetRecordSize(std::int32_t size) { recordSize_ = size; }

  // (stream size - header size) div record size; 0 when the record size is 0; never < 0.
  std::int64_t RecordCount();
  std::int64_t RecordPosition(std::int64_t index) const {
    return headerSize_ + index * static_cast<std::int64_t>(recordSize_);
  }
  // Reads record index into buffer (RecordSize() bytes). A read that meets the end of the
  // file fills fewer bytes, leaves the rest of buffer as it was and returns the count read.
  // An I/O error raises EReadError.
  std::size_t ReadRecord(std::int64_t index, void* buffer);
  // Writes RecordSize() bytes of buffer as record index (index == RecordCount() appends).
  // A write that cannot be completed raises EWriteError "Stream write error".
  void WriteRecord(std::int64_t index, const void* buffer);

  // Pointer to record index inside a memory view of the file, or nullptr when the record is
  // not wholly inside the view (then use ReadRecord). The view follows writes to existing
  // bytes and is refreshed when the file has grown; valid until the next call that writes or
  // maps. Scans use this to avoid a system call per record.
  const std::uint8_t* RecordView(std::int64_t index);
  // Asks the memory for record index before it is read, for walks that meet records at
  // scattered places of the file (an ordered walk); nothing when it is not in the view.
  void PrefetchRecord(std::int64_t index);

  ByteStream& Stream() { return *stream_; }

 private:
  std::unique_ptr<ByteStream> stream_;
  std::int32_t headerSize_ = 0;
  std::int32_t recordSize_ = 0;
  int useCount_ = 1;
  std::string path_;
  std::string openedPath_;
  OpenMode mode_;
  const std::uint8_t* view_ = nullptr;
  std::int64_t viewSize_ = 0;
  bool noMapping_ = false;
};

// The ordered list of every live paged file of the process. Paged files add and remove
// themselves; everyone else only looks up.
class FileRegistry {
 public:
  static FileRegistry& Instance();
  // First file whose lower-cased path equals lowerPath (no use taken), or nullptr.
  TPagedFile* Find(const std::string& lowerPath) const;
  std::size_t Count() const { return files_.size(); }

 private:
  friend class TPagedFile;
  void Add(TPagedFile* file);
  void Remove(TPagedFile* file) noexcept;
  std::vector<TPagedFile*> files_;
};

}  // namespace tavlo
