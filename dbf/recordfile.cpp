// The paged file over one byte stream and the process-wide registry of open paged files.
#include "dbf/recordfile.h"

#include <algorithm>
#include <cassert>

#include "platform/asciitext.h"

namespace tavlo {

FileRegistry& FileRegistry::Instance() {
  static FileRegistry registry;
  return registry;
}

TPagedFile* FileRegistry::Find(const std::string& lowerPath) const {
  if (lowerPath.empty()) return nullptr;
  for (TPagedFile* file : files_) {
    if (file->Path() == lowerPath) return file;
  }
  return nullptr;
}

void FileRegistry::Add(TPagedFile* file) {
  files_.push_back(file);
}

void FileRegistry::Remove(TPagedFile* file) noexcept {
  auto found = std::find(files_.begin(), files_.end(), file);
  if (found != files_.end()) files_.erase(found);
}

TPagedFile::TPagedFile(const std::string& path, OpenMode mode)
    : path_(LowerAscii(path)), openedPath_(path), mode_(mode) {
  stream_ = path.empty() ? NewMemoryStream() : Files().Open(path, mode);
  FileRegistry::Instance().Add(this);
}

// Also reached when a derived constructor throws, so unregistering must happen here.
TPagedFile::~TPagedFile() noexcept {
  FileRegistry::Instance().Remove(this);
}

TPagedFile* TPagedFile::Lookup(const std::string& path) {
  TPagedFile* file = FileRegistry::Instance().Find(LowerAscii(path));
  if (file != nullptr) file->AddUse();
  return file;
}

void TPagedFile::Release(TPagedFile* file) noexcept {
  if (file == nullptr) return;
  assert(file->useCount_ > 0);
  if (--file->useCount_ == 0) delete file;
}

std::int64_t TPagedFile::RecordCount() {
  if (recordSize_ <= 0) return 0;
  std::int64_t bytes = stream_->Size() - headerSize_;
  return bytes <= 0 ? 0 : bytes / recordSize_;
}

std::size_t TPagedFile::ReadRecord(std::int64_t index, void* buffer) {
  if (recordSize_ <= 0 || index < 0) return 0;
  return stream_->ReadAt(RecordPosition(index), buffer, static_cast<std::size_t>(recordSize_));
}

void TPagedFile::WriteRecord(std::int64_t index, const void* buffer) {
  assert(index >= 0);
  if (recordSize_ <= 0) return;
  stream_->WriteAt(RecordPosition(index), buffer, static_cast<std::size_t>(recordSize_));
}

const std::uint8_t* TPagedFile::RecordView(std::int64_t index) {
  if (recordSize_ <= 0 || index < 0) return nullptr;
  std::int64_t end = RecordPosition(index) + recordSize_;
  if (end > viewSize_) {
    // Map (again) only when the record exists but lies past the view: the file has grown.
    if (noMapping_) return nullptr;
    if (end > stream_->Size()) return nullptr;
    view_ = stream_->MapView(viewSize_);
    if (view_ == nullptr) {
      viewSize_ = 0;
      noMapping_ = true;  // a stream that cannot map a non-empty file never will
      return nullptr;
    }
    if (end > viewSize_) return nullptr;
  }
  return view_ + RecordPosition(index);
}

void TPagedFile::PrefetchRecord(std::int64_t index) {
  if (const std::uint8_t* view = RecordView(index)) {
    __builtin_prefetch(view);
    __builtin_prefetch(view + recordSize_ - 1);
  }
}

}  // namespace tavlo
