// The memo file of FoxPro and Visual FoxPro tables (.fpt): a 512-byte header with the next
// free block and the block size, then blocks that each start with a big-endian type and
// length. Memo text is stored untranslated, as in the .dbt.
#pragma once

#include <cstdint>
#include <string>

#include "dbf/recordfile.h"

namespace tavlo {

class TFptFile : public TPagedFile {
 public:
  static constexpr int kHeaderLength = 512;
  static constexpr std::uint32_t kTextBlock = 1;

  // Reads the header (a shorter file leaves it zero). A block size of 0 reads as 64, the
  // size FoxPro gives new files.
  TFptFile(const std::string& path, OpenMode mode);
  ~TFptFile() noexcept override;

  int BlockSize() const { return RecordSize(); }
  std::uint32_t NextFreeBlock() const { return nextFree_; }

  // The bytes of the memo at blockNumber, text or binary alike; "" for block 0, a block past
  // the end and a damaged block header. A stated length that runs past the end of the file
  // gives what is there.
  std::string LoadMemoText(std::int32_t blockNumber);
  // Stores text as a text memo in place of the one at blockNumber (whose length was
  // oldSize): in place when it fits the blocks that memo held, else after the last used
  // block; blockNumber is updated, and 0 for empty text (nothing written). EWriteError when
  // a write cannot be completed.
  void StoreMemoText(std::int32_t& blockNumber, std::int64_t oldSize, const std::string& text);

 private:
  std::uint32_t nextFree_ = 0;
};

}  // namespace tavlo
