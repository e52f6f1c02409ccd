// The memo file: block size rules, the terminator-delimited (level 0) and length-prefixed
// (levels 1 and 2) memo layouts, and the in-memory memo stream.
#include "dbf/memofile.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "platform/errors.h"
#include "platform/filesystem.h"

namespace tavlo {

namespace {

constexpr std::uint8_t kEnd = 0x1A;
constexpr std::uint8_t kBlockMark[4] = {0xFF, 0xFF, 0x08, 0x00};
constexpr std::size_t kPiece = 512;

std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void Put32(std::uint8_t* p, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

// ---- TMyBlobFile ----

std::size_t TMyBlobFile::Read(void* buffer, std::size_t count) {
  std::size_t left = data_.size() - static_cast<std::size_t>(position_);
  std::size_t n = std::min(count, left);
  std::memcpy(buffer, data_.data() + position_, n);
  position_ += static_cast<std::int64_t>(n);
  return n;
}

void TMyBlobFile::Write(const void* buffer, std::size_t count) {
  std::size_t end = static_cast<std::size_t>(position_) + count;
  if (end > data_.size()) data_.resize(end);
  std::memcpy(data_.data() + position_, buffer, count);
  position_ = static_cast<std::int64_t>(end);
}

void TMyBlobFile::Append(const void* buffer, std::size_t count) {
  data_.append(static_cast<const char*>(buffer), count);
}

std::int64_t TMyBlobFile::Seek(std::int64_t position) {
  position_ = std::clamp<std::int64_t>(position, 0, Size());
  return position_;
}

void TMyBlobFile::SetData(std::string text) {
  data_ = std::move(text);
  position_ = Size();
}

void TMyBlobFile::Close() {
  if (closed_ || mode_ != Mode::Write) return;
  closed_ = true;
  Truncate();
  if (writeBack) writeBack(*this);
}

std::string MemoFileProblem(const std::string& memoPath, const TFieldDefs& fields,
                            std::int64_t recordCount) {
  bool hasMemo = false;
  for (const TFieldDef& field : fields) hasMemo = hasMemo || field.dataType == TFieldType::ftMemo;
  if (!hasMemo) return "";
  FileSystem& files = Files();
  if (files.FileExists(memoPath)) {
    return recordCount > 0 && files.FileSize(memoPath) == 0 ? memoPath + " is empty" : "";
  }
  if (files.DirectoryExists(memoPath)) return memoPath + " is a folder";
  if (files.PathExists(memoPath)) return memoPath + " is not a regular file";
  return memoPath + " is missing";
}

// ---- TDbtFile ----

TDbtFile::TDbtFile(const std::string& path, std::uint8_t tableLevel, OpenMode mode)
    : TPagedFile(path, mode), level_(tableLevel) {
  if (mode != OpenMode::Create) Stream().ReadAt(0, header_.data(), kHeaderLength);
  std::uint16_t field = static_cast<std::uint16_t>(header_[20] | header_[21] << 8);
  if (field == 0 || field % 128 != 0) {
    field = kLevel0BlockSize;
    header_[20] = static_cast<std::uint8_t>(field);
    header_[21] = static_cast<std::uint8_t>(field >> 8);
  }
  SetHeaderSize(0);
  SetRecordSize(level_ == 0 ? kLevel0BlockSize : field);
}

TDbtFile::~TDbtFile() noexcept = default;

std::uint32_t TDbtFile::NextFreeBlock() const {
  return Get32(&header_[0]);
}

void TDbtFile::WriteHeader() {
  Stream().WriteAt(0, header_.data(), kHeaderLength);
}

void TDbtFile::LoadMemo(std::int32_t blockNumber, TMyBlobFile& stream) {
  if (blockNumber > 0) {
    const std::int64_t blockSize = BlockSize();
    std::int64_t position = blockNumber * blockSize;
    std::uint8_t buffer[kPiece];
    if (level_ == 0) {
      bool previousWasEnd = false;
      for (;;) {
        std::size_t n = Stream().ReadAt(position, buffer, kPiece);
        if (n == 0) break;
        // Position 511 is never a stop; a pair that straddles two blocks is caught at
        // position 0 of the next one.
        std::size_t tested = std::min<std::size_t>(n, kPiece - 1);
        std::size_t stop = n;
        bool straddled = false;
        for (std::size_t i = 0; i < tested; ++i) {
          std::uint8_t b = buffer[i];
          if (b == 0x00) {
            stop = i;
            break;
          }
          if (b == kEnd) {
            bool pairHere = i + 1 < n && buffer[i + 1] == kEnd;
            if (pairHere || (i == 0 && previousWasEnd)) {
              stop = i;
              straddled = !pairHere && i == 0;
              break;
            }
          }
        }
        if (stop < n) {
          stream.Append(buffer, stop);
          // The first half of a straddling pair went out with the previous block.
          if (straddled) {
            std::string text = stream.Data();
            text.pop_back();
            std::int64_t keep = stream.Position();
            stream.SetData(std::move(text));
            stream.Seek(keep);
          }
          break;
        }
        stream.Append(buffer, n);
        if (n < kPiece) break;
        previousWasEnd = buffer[kPiece - 1] == kEnd;
        position += static_cast<std::int64_t>(kPiece);
      }
    } else {
      std::uint8_t head[8];
      if (Stream().ReadAt(position, head, 8) == 8 && std::memcmp(head, kBlockMark, 4) == 0 &&
          Get32(head + 4) >= 8) {
        std::int64_t left = static_cast<std::int64_t>(Get32(head + 4)) - 8;
        position += 8;
        while (left > 0) {
          std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(left, kPiece));
          std::size_t n = Stream().ReadAt(position, buffer, want);
          stream.Append(buffer, n);
          if (n < want) break;  // the stated length runs past the end: keep what is there
          left -= static_cast<std::int64_t>(n);
          position += static_cast<std::int64_t>(n);
        }
      }
    }
  }
  stream.Seek(0);
}

std::string TDbtFile::LoadMemoText(std::int32_t blockNumber) {
  TMyBlobFile stream(TMyBlobFile::Mode::Read);
  LoadMemo(blockNumber, stream);
  return stream.Data();
}

void TDbtFile::StoreMemoText(std::int32_t& blockNumber, std::int64_t oldSize,
                             const std::string& text) {
  const std::int64_t size = static_cast<std::int64_t>(text.size());
  if (size == 0) {
    blockNumber = 0;  // the old blocks stay in the file, unused
    return;
  }
  const std::int64_t blockSize = BlockSize();
  const std::int64_t extra = level_ == 0 ? 2 : 8;
  const std::int64_t needed = (size + extra + blockSize - 1) / blockSize;
  const std::int64_t held = (std::max<std::int64_t>(oldSize, 0) + blockSize - 1) / blockSize;
  const bool append = needed > held || blockNumber <= 0;
  std::int64_t block = blockNumber;
  if (append) {
    // The file's end decides where a memo goes: a next-free number below it would overwrite
    // memos already stored, and one beyond it (a damaged header) would leave a hole of up to
    // terabytes before the new memo.
    const std::int64_t used = (Stream().Size() + blockSize - 1) / blockSize;
    block = std::max<std::int64_t>(used, 1);
    if (block + needed > INT32_MAX) throw EWriteError();
  }
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(size + extra));
  if (level_ != 0) {
    std::uint8_t head[8];
    std::memcpy(head, kBlockMark, 4);
    Put32(head + 4, static_cast<std::uint32_t>(size + 8));
    bytes.append(reinterpret_cast<const char*>(head), 8);
  }
  bytes += text;
  if (level_ == 0) bytes.append(2, static_cast<char>(kEnd));
  Stream().WriteAt(block * blockSize, bytes.data(), bytes.size());
  if (append) {
    Put32(&header_[0], static_cast<std::uint32_t>(block + needed));
    WriteHeader();
  }
  blockNumber = static_cast<std::int32_t>(block);
}

void TDbtFile::StoreMemo(std::int32_t& blockNumber, std::int64_t oldSize,
                         const TMyBlobFile& stream) {
  StoreMemoText(blockNumber, oldSize, stream.Data());
}

}  // namespace tavlo
