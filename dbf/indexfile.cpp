// The index file: opened, its header read, held with the table; nothing more.
#include "dbf/indexfile.h"

namespace tavlo {

namespace {

// The extension of path (from its last '.' after the last folder separator), as written.
std::string ExtensionOf(const std::string& path) {
  std::size_t slash = path.find_last_of("/\\");
  std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return path.substr(dot);
}

}  // namespace

TIndexFile::TIndexFile(const std::string& path, OpenMode mode) : TPagedFile(path, mode) {
  SetHeaderSize(0);
  SetRecordSize(kPageSize);
  indexFlag_ = ExtensionOf(path) == ".mdx";
  if (indexFlag_ && mode != OpenMode::Create) Stream().ReadAt(0, header_.data(), kHeaderLength);
}

TIndexFile::~TIndexFile() noexcept = default;

}  // namespace tavlo
