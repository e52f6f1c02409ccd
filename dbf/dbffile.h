// The data file of a table: its 32-byte header, table level and field list over a paged
// file, the opening checks and the header write. Field bytes are turned into native values
// here (DecodeField / EncodeField); the text and variant views live in fieldconvert.h.
//
// States: constructed (header read and record count checked) -> LoadFieldList (descriptors
// read, record size checked) -> records read and written -> FlushHeader when the cursor
// releases a table it did not open read-only. Header size and record size stay as read at
// opening, except through WriteStructure. Opening checks that correct a value and go on are
// kept as diagnostics for the caller to show (TakeOpenDiagnostics); this layer never shows a
// message. A record count that disagrees is corrected in memory; a record size that disagrees
// with the fields makes the layout corrected (LayoutCorrection), and such a file is never
// written: its header stays as it is until the table is repaired.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbf/fieldinfo.h"
#include "dbf/recordfile.h"
#include "dbf/tablecodepage.h"

namespace tavlo {

class TDbfFile : public TPagedFile {
 public:
  static constexpr int kHeaderLength = 32;
  static constexpr int kLevel2AreaLength = 36;
  static constexpr std::uint8_t kCreatedVersion = 0x03;
  // The line that the opening message of a corrected layout ends with.
  static constexpr const char* kReadOnlyUntilRepaired =
      "The table opens read-only until it is repaired.";

  // Create mode: an empty file with the header of a new table (version 0x03, level 0, sizes
  // 0, the language byte of the OEM page its text is stored in). Other modes: reads the
  // header (EReadError "Stream read error" when the file is shorter than 32 bytes), derives
  // the level, takes the sizes and corrects the header's record count to the physical count,
  // keeping the "Invalid Record Count," diagnostic.
  TDbfFile(const std::string& path, OpenMode mode);
  ~TDbfFile() noexcept override;

  // 0 for version bytes 0x03/0x83, 2 for 0x05, 1 for everything else.
  static std::uint8_t LevelOfVersion(std::uint8_t versionByte);
  // FoxPro for 0x02, 0xF5 and 0xFB, Visual FoxPro for 0x30 to 0x32, dBase otherwise (dBase 7
  // is told by its descriptors, see Format()).
  static TableFormat FormatOfVersion(std::uint8_t versionByte);

  std::uint8_t Level() const { return level_; }
  // dBase 7 when the version byte is 0x04 or 0x8C and 48-byte descriptors from offset 68
  // end with a terminator (or fill the header exactly) and add up to the record size;
  // otherwise FormatOfVersion.
  TableFormat Format() const { return format_; }
  bool IsFoxPro() const {
    return format_ == TableFormat::FoxPro || format_ == TableFormat::VisualFoxPro;
  }
  std::uint8_t VersionByte() const { return header_[0]; }
  std::uint8_t LanguageByte() const { return header_[29]; }
  // Header byte 28: bit 0x01 says a FoxPro table has a structural .cdx, any bit that a dBase
  // IV to 7 table has a production .mdx (see FindProductionIndex in dbf/tableindexes.h).
  std::uint8_t TableFlags() const { return header_[28]; }

  // The code page of the character fields: named by the language byte when the file is
  // opened, replaced by SetCodePage (a .cpg file, the user's choice). 0: the table names
  // none and its text is in the OEM page of the locale.
  int CodePage() const { return codePage_; }
  CodePageSource CodePageOrigin() const { return codePageSource_; }
  // Raises Exception "Code page %d is not available" for a page that cannot be converted;
  // page 0 goes back to what the language byte names.
  void SetCodePage(int page, CodePageSource source);
  // "1251 (language byte 0xC9)" and the like.
  std::string CodePageDescription() const;
  // Character field bytes to the session's ANSI text and back (cut to maxBytes on a
  // character boundary). A table that names no page uses the OEM <-> ANSI translation.
  std::string TextToAnsi(std::string_view stored) const;
  std::string TextFromAnsi(std::string_view ansi, std::size_t maxBytes) const;
  // TextToAnsi as a table of bytes, when it translates one byte for one; false otherwise
  // (multi-byte pages), and table is then left as it was. The readers take it from the
  // cursor's column layout (dbf/columnlayout.h), which follows changes of page.
  bool TextToAnsiTable(std::array<unsigned char, 256>& table) const;
  // True when the OEM <-> ANSI byte translation of the session serves (no page named, a
  // single-byte session): the fast path of the field views.
  bool UsesSessionOemTranslation() const;
  // Date of the last header write as stored: year - 1900 (mod 256), month, day.
  int LastUpdateYear() const { return 1900 + header_[1]; }
  int LastUpdateMonth() const { return header_[2]; }
  int LastUpdateDay() const { return header_[3]; }

  // The in-memory header; written back whole by FlushHeader, so bytes nobody interprets
  // survive. Offsets 4, 8 and 10 hold the record count, header size and record size.
  const std::array<std::uint8_t, kHeaderLength>& Header() const { return header_; }
  std::array<std::uint8_t, kHeaderLength>& MutableHeader() { return header_; }
  // The in-memory RecordCount (header offset 4): where the cursor appends.
  std::uint32_t HeaderRecordCount() const;
  void SetHeaderRecordCount(std::uint32_t count);
  // The record size stored in the header (offset 10). RecordSize() is the size records are
  // located and buffered with; FieldsRecordSize() what the fields need (1 + their lengths,
  // known after LoadFieldList).
  std::uint16_t HeaderRecordSize() const;
  std::int32_t FieldsRecordSize() const { return fieldsRecordSize_; }
  // The message of a layout LoadFieldList had to correct in memory (the fields disagree with
  // the header's record size), empty when the layout is sound. A table with a corrected
  // layout is read only: writing records at the header's size would overwrite or misplace
  // the records of every other reader, and writing the corrected size would move them.
  const std::string& LayoutCorrection() const { return layoutCorrection_; }

  // Reads the descriptors up to the terminator 0x0D (all that the header size holds when
  // there is none): fieldDefs is cleared and gets one definition per descriptor
  // (not required), the field list is rebuilt. Raises EBinaryDataSetError "Invalid field
  // count : n (must be between 1 and 255)" and EReadError for truncated descriptors; both
  // leave the file untouched. A record size that disagrees with the fields keeps the
  // "Invalid Record Size," diagnostic (LayoutCorrection and kReadOnlyUntilRepaired on two
  // lines) and sets LayoutCorrection; the header is not changed.
  void LoadFieldList(TFieldDefs& fieldDefs);
  // What the opening checks corrected and went on with since the last call, in the order
  // found, each as the text of one message box (lines broken by CR): the constructor's
  // "Invalid Record Count,\rRecordCount in Hdr : N\rexpected : M", LoadFieldList's
  // "Invalid Record Size,...". The caller shows them; they are handed over once.
  std::vector<std::string> TakeOpenDiagnostics();
  // Writes the descriptors, terminator and header of a new table from fieldDefs and sets
  // header size and record size. Implemented with table creation (dbf/tablecreate.cpp).
  void WriteStructure(const TFieldDefs& fieldDefs);
  // Today's date into bytes 1-3, the 32 bytes at offset 0 (level 2: 36 zero bytes after),
  // RecordCount refreshed from the file size, one 0x1A after the last whole record. Never
  // truncates. EWriteError "Stream write error" when a write cannot be completed. A table
  // whose layout was corrected (or with record size 0) is left untouched.
  void FlushHeader();
  // Writes record index (the in-memory RecordCount before the append) followed by the end
  // marker 0x1A in one write, so that a process killed at any moment leaves whole records
  // with the marker after the last of them. Raises EWriteError like WriteRecord, and for a
  // file whose layout was corrected.
  void WriteAppendedRecord(std::int64_t index, const void* buffer);
  // Today's date into bytes 1-3 and the 32 header bytes written in one write, after a record
  // was appended: the header's count is true for readers at every moment the table is open
  // (the read-write open holds the writer share, so no other writer races this write). Only
  // the date and the count differ from the header as it was read.
  void WriteHeaderAfterAppend();

  const std::vector<TMyFieldInfo>& FieldList() const { return fields_; }
  int FieldCount() const { return static_cast<int>(fields_.size()); }
  const TMyFieldInfo& FieldInfo(int fieldIndex) const;  // 0-based, asserted in range

  // Native value of field fieldIndex (0-based) of record (RecordSize() bytes). Returns
  // false, leaving destination untouched, when the field is null. destination may be
  // nullptr (null test only); otherwise it points to, by type:
  //   ftString  char[length + 1], NUL-terminated text
  //   ftSmallint int16_t, ftInteger int32_t, ftLargeint int64_t, ftBoolean int16_t (1/0)
  //   ftFloat double, ftDate int32_t day number (1 = 0001-01-01, 0 = not a valid date)
  //   ftMemo    not decoded (destination untouched)
  // A stored whole number outside the range of its native type has no native value: false
  // with a destination, never another number (DecodeWholeNumber gives it); the null test
  // alone (no destination) answers false only for blank fields and numbers beyond 64 bits.
  // Bytes beyond RecordSize() are never read.
  bool DecodeField(int fieldIndex, TFieldType type, void* destination,
                   const std::uint8_t* record) const;
  // The stored whole number of an N field without decimals at its exact 64-bit value, for
  // views that must show a number the native type cannot hold. false when null or when the
  // number is beyond 64 bits; text that is no number reads as 0.
  bool DecodeWholeNumber(int fieldIndex, const std::uint8_t* record, std::int64_t& value) const;
  // Writes value (same layouts as DecodeField; ftMemo takes an int32_t block number) into
  // the field's bytes of record; nullptr makes the field null. Raises EFieldToLongError for
  // a non-character text longer than the field, EDatabaseError when the field does not lie
  // wholly inside RecordSize(); the record is unchanged on failure.
  void EncodeField(int fieldIndex, TFieldType type, std::uint8_t* record, const void* value) const;

  // Null test of any field: blank text, a "?" logical, a Visual FoxPro null flag, a blank
  // binary value.
  bool FieldIsNull(int fieldIndex, const std::uint8_t* record) const;
  // The bytes of a field that hold its value: all available bytes, or for V/Q fields those
  // in use. Null fields included (check FieldIsNull first).
  std::string_view FieldValueBytes(int fieldIndex, const std::uint8_t* record) const;
  // The memo block number of a memo or blob field (0: none), decimal or binary.
  std::int32_t MemoBlock(int fieldIndex, const std::uint8_t* record) const;
  // Fills a new record: spaces, binary fields zero, and every nullable field flagged null.
  void InitRecord(std::uint8_t* record) const;
  // Where the null and length flags of Visual FoxPro lie in a record (length 0: none).
  std::int32_t NullFlagsOffset() const { return nullFlagsOffset_; }
  std::int32_t NullFlagsLength() const { return nullFlagsLength_; }

 private:
  void ReadHeader();
  void StampLastUpdate();
  void DetectDbase7();
  const class TextCodec& Codec() const;
  bool FlagSet(int bit, const std::uint8_t* record) const;
  void SetFlag(int bit, bool on, std::uint8_t* record) const;

  std::array<std::uint8_t, kHeaderLength> header_{};
  std::uint8_t level_ = 0;
  TableFormat format_ = TableFormat::dBase;
  std::vector<TMyFieldInfo> fields_;
  std::int32_t fieldsRecordSize_ = 0;
  std::string layoutCorrection_;
  std::vector<std::string> openDiagnostics_;
  // The hidden _NullFlags field of Visual FoxPro (length 0: none).
  std::int32_t nullFlagsOffset_ = 0;
  std::int32_t nullFlagsLength_ = 0;
  int codePage_ = 0;
  CodePageSource codePageSource_ = CodePageSource::None;
  mutable std::unique_ptr<class TextCodec> codec_;
};

}  // namespace tavlo
