// The layout of a data file read straight from its bytes, without the opening checks of the
// cursor: header fields, the field descriptors up to the terminator, and where records lie.
// The table doctor and pack read tables through it, so a damaged header is described rather
// than corrected or refused. It never writes and never shows a message.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavlo {

class ByteStream;

struct TLayoutField {
  std::string name;  // as stored, up to the first NUL
  char typeLetter = 'C';
  int length = 0;
  int decimals = 0;
  int offset = 0;  // within the record; the deletion flag is byte 0
};

struct TTableLayout {
  std::int64_t fileSize = 0;
  std::uint8_t version = 0;
  std::uint8_t level = 0;         // 0, 1 or 2 as the cursor derives it
  std::uint32_t headerCount = 0;  // record count stored in the header
  std::uint16_t headerSize = 0;   // as stored
  std::uint16_t recordSize = 0;   // as stored
  int firstDescriptor = 32;
  int descriptorLength = 32;
  std::vector<TLayoutField> fields;
  bool terminatorFound = false;
  std::int64_t terminatorOffset = -1;  // where the terminator stands, -1 when none
  // 0x0D, or 0x0A where a copy as text turned the terminator into a line feed (taken only as
  // the last byte of the stored header, where the records start after it).
  std::uint8_t terminator = 0;
  // The header size the descriptors need: the terminator's offset + 1, or the end of the
  // last descriptor when there is no terminator.
  std::int64_t neededHeaderSize = 0;
  int neededRecordSize = 1;  // 1 + the sum of the field lengths
  // A FoxPro, Visual FoxPro or dBase 7 table: its fields and memos have layouts of their own
  // that the doctor and pack do not take apart.
  bool foreign = false;
  bool dBase7 = false;  // 48-byte descriptors from offset 68 under the version byte 0x04/0x8C
  // A dBase II table (0x02 with an 8-byte header and 16-byte descriptors): nothing else of
  // the layout is filled in.
  bool dBase2 = false;
  std::uint16_t dBase2Count = 0;  // its record count

  bool WideDescriptors() const { return descriptorLength == 48; }
  // The size records are located with: the stored record size, or the fields' when the
  // stored one is 0; and the header size records start at (the stored one, or the needed one
  // when the stored one is too small to hold the descriptors).
  int UsableRecordSize() const { return recordSize > 0 ? recordSize : neededRecordSize; }
  std::int64_t DataStart() const {
    return headerSize >= neededHeaderSize ? headerSize : neededHeaderSize;
  }
  // Whole records between the data start and the end of the file.
  std::int64_t PhysicalCount() const;
  bool HasMemoFields() const;
};

// Reads the layout; false (layout partly filled) when the file is shorter than the 32-byte
// header. Reads at most the header area and never past the file's end.
bool ReadTableLayout(ByteStream& stream, TTableLayout& layout);

// Whether the header area of a table marked 0x04 or 0x8C (the bytes from offset 68 up to the
// header size) holds dBase 7 descriptors: 48-byte ones that end in a terminator inside the
// header and add up to the record size. dBase 7 shares these version bytes with
// tables laid out the older way; the cursor and the doctor decide it by this one test.
bool HoldsDbase7Descriptors(const std::uint8_t* area, std::size_t length, std::uint32_t recordSize);

}  // namespace tavlo
