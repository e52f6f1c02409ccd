// The FoxPro memo file: big-endian header and block heads, text and binary blocks.
#include "dbf/fptfile.h"

#include <algorithm>
#include <climits>

#include "platform/errors.h"

namespace tavlo {

namespace {

std::uint32_t Be32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

void PutBe32(std::uint8_t* p, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

// Reads of a single memo stop here: a damaged length must not make us allocate gigabytes.
constexpr std::int64_t kLargestMemo = 256LL << 20;

}  // namespace

TFptFile::TFptFile(const std::string& path, OpenMode mode) : TPagedFile(path, mode) {
  std::uint8_t header[8] = {};
  if (mode != OpenMode::Create) Stream().ReadAt(0, header, sizeof header);
  nextFree_ = Be32(header);
  int blockSize = header[6] << 8 | header[7];
  SetHeaderSize(0);
  SetRecordSize(blockSize == 0 ? 64 : blockSize);
}

TFptFile::~TFptFile() noexcept = default;

std::string TFptFile::LoadMemoText(std::int32_t blockNumber) {
  if (blockNumber <= 0) return {};
  const std::int64_t position = static_cast<std::int64_t>(blockNumber) * BlockSize();
  std::uint8_t head[8];
  if (Stream().ReadAt(position, head, sizeof head) < sizeof head) return {};
  const std::int64_t stated = Be32(head + 4);
  const std::int64_t available = std::max<std::int64_t>(Stream().Size() - position - 8, 0);
  const std::int64_t length = std::min({stated, available, kLargestMemo});
  std::string text(static_cast<std::size_t>(length), '\0');
  const std::size_t got = Stream().ReadAt(position + 8, text.data(), text.size());
  text.resize(got);
  return text;
}

void TFptFile::StoreMemoText(std::int32_t& blockNumber, std::int64_t oldSize,
                             const std::string& text) {
  if (text.empty()) {
    blockNumber = 0;  // the old blocks stay in the file, unused
    return;
  }
  const std::int64_t blockSize = BlockSize();
  const std::int64_t size = static_cast<std::int64_t>(text.size());
  if (size > UINT32_MAX - 8) throw EWriteError();
  const std::int64_t needed = (size + 8 + blockSize - 1) / blockSize;
  const std::int64_t held = oldSize > 0 ? (oldSize + 8 + blockSize - 1) / blockSize : 0;
  std::int64_t block = blockNumber;
  const bool append = block <= 0 || needed > held;
  if (append) {
    // After everything in use: the header's next free block, the file's end and the header.
    const std::int64_t fileEnd = (Stream().Size() + blockSize - 1) / blockSize;
    const std::int64_t firstAfterHeader = (kHeaderLength + blockSize - 1) / blockSize;
    block = std::max({static_cast<std::int64_t>(nextFree_), fileEnd, firstAfterHeader});
    if (block + needed > INT32_MAX) throw EWriteError();
  }
  std::string bytes(8, '\0');
  PutBe32(reinterpret_cast<std::uint8_t*>(bytes.data()), kTextBlock);
  PutBe32(reinterpret_cast<std::uint8_t*>(bytes.data()) + 4, static_cast<std::uint32_t>(size));
  bytes += text;
  Stream().WriteAt(block * blockSize, bytes.data(), bytes.size());
  if (append) {
    nextFree_ = static_cast<std::uint32_t>(block + needed);
    std::uint8_t head[4];
    PutBe32(head, nextFree_);
    Stream().WriteAt(0, head, sizeof head);
  }
  blockNumber = static_cast<std::int32_t>(block);
}

}  // namespace tavlo
