// The memo file of a table (blocks of memo text, two layouts chosen by the table level) and
// TMyBlobFile, the in-memory stream a memo value is read into and written from. Memo text
// is never translated between code pages.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "dbf/fieldinfo.h"
#include "dbf/recordfile.h"

namespace tavlo {

// A growable in-memory byte stream for one memo value. The cursor makes one per access:
// it fills it with LoadMemo, hands it to the caller and, for a write-mode stream, stores it
// back on Close() through the writeBack it installed.
class TMyBlobFile {
 public:
  enum class Mode { Read, Write, ReadWrite };

  explicit TMyBlobFile(Mode mode) : mode_(mode) {}
  ~TMyBlobFile() noexcept = default;  // does not write back; call Close()

  Mode GetMode() const { return mode_; }
  std::int32_t blockNumber = 0;  // the memo's first block, 0 for none
  std::int64_t oldSize = 0;      // length of the memo text as read when the stream was made
  // Run once by Close() (write mode only, installed by the cursor): store the memo and put
  // the block number into the record.
  std::function<void(TMyBlobFile&)> writeBack;

  std::size_t Read(void* buffer, std::size_t count);
  void Write(const void* buffer, std::size_t count);
  void Append(const void* buffer, std::size_t count);  // at the end, position unchanged
  std::int64_t Seek(std::int64_t position);            // clamped to 0..Size()
  std::int64_t Position() const { return position_; }
  std::int64_t Size() const { return static_cast<std::int64_t>(data_.size()); }
  void Truncate() { data_.resize(position_); }  // cut at the current position
  const std::string& Data() const { return data_; }
  void SetData(std::string text);  // replaces the content, position at the end
  // Write mode: cut at the position and run writeBack once. Other modes: nothing.
  void Close();

 private:
  Mode mode_;
  std::string data_;
  std::int64_t position_ = 0;
  bool closed_ = false;
};

// Why the memo file of a table cannot serve the table's memo fields: empty when it can or
// when the table has no memo fields, else "<memo path> is missing", "... is a folder",
// "... is not a regular file" or, for a table with records, "... is empty". Such a table
// still opens (its memo fields then show "(MEMO)"); the caller tells the user.
std::string MemoFileProblem(const std::string& memoPath, const TFieldDefs& fields,
                            std::int64_t recordCount);

class TDbtFile : public TPagedFile {
 public:
  static constexpr int kHeaderLength = 24;
  static constexpr int kLevel0BlockSize = 512;

  // Create mode: a 24-byte zero header. Otherwise reads 24 bytes from offset 0 (a shorter
  // file leaves the rest zero). Then a block size field of 0 or not a multiple of 128 is set
  // to 512 in memory. Header size 0, record size = the block size in use (always 512 at
  // level 0, the header's field at levels 1 and 2).
  TDbtFile(const std::string& path, std::uint8_t tableLevel, OpenMode mode);
  ~TDbtFile() noexcept override;

  std::uint8_t Level() const { return level_; }
  int BlockSize() const { return RecordSize(); }
  const std::array<std::uint8_t, kHeaderLength>& Header() const { return header_; }
  std::uint32_t NextFreeBlock() const;

  // Appends the memo that starts at blockNumber to stream, then sets its position to 0.
  // Block 0, a block past the end of the file and a malformed level-1/2 block header give
  // nothing; a memo that runs past the end of the file gives what is there.
  void LoadMemo(std::int32_t blockNumber, TMyBlobFile& stream);
  // Stores the whole content of stream as the memo that was at blockNumber with oldSize
  // bytes: rewritten in place when it needs no more blocks than it held, appended after the
  // last used block otherwise (blockNumber updated). Empty content sets blockNumber to 0 and
  // writes nothing. EWriteError when a write cannot be completed.
  void StoreMemo(std::int32_t& blockNumber, std::int64_t oldSize, const TMyBlobFile& stream);
  // The same for a plain text.
  void StoreMemoText(std::int32_t& blockNumber, std::int64_t oldSize, const std::string& text);
  std::string LoadMemoText(std::int32_t blockNumber);

 private:
  void WriteHeader();
  std::uint8_t level_;
  std::array<std::uint8_t, kHeaderLength> header_{};
};

}  // namespace tavlo
