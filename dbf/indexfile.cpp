// The index file: opened, its header read, held with the table; nothing more.
#include "dbf/indexfile.h"
#include "platform/filenames.h"

namespace tavlo {

TIndexFile::TIndexFile(const std::string& path, OpenMode mode) : TPagedFile(path, mode) {
  SetHeaderSize(0);
  SetRecordSize(kPageSize);
  indexFlag_ = ExtractFileExt(path) == ".mdx";
  if (indexFlag_ && mode != OpenMode::Create) Stream().ReadAt(0, header_.data(), kHeaderLength);
}

TIndexFile::~TIndexFile() noexcept = default;

}  // namespace tavlo
