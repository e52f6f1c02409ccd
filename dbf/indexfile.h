// The index file of a table, attached only: it is held open and shared with the table so
// that other programs see it in use, but it is never searched and never written.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "dbf/recordfile.h"

namespace tavlo {

class TIndexFile : public TPagedFile {
 public:
  static constexpr int kHeaderLength = 48;
  static constexpr int kPageSize = 512;

  // Opens path in mode (header size 0, record size 512). When the extension is exactly
  // ".mdx" the index flag is set and 48 bytes are read from offset 0 (create mode: zeros).
  TIndexFile(const std::string& path, OpenMode mode);
  ~TIndexFile() noexcept override;

  bool IsIndex() const { return indexFlag_; }
  const std::array<std::uint8_t, kHeaderLength>& Header() const { return header_; }

 private:
  bool indexFlag_ = false;
  std::array<std::uint8_t, kHeaderLength> header_{};
};

}  // namespace tavlo
