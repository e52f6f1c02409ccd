// The data file: header, table level, the opening checks, descriptors and the header write.
#include "dbf/dbffile.h"

#include <cassert>
#include <cstring>

#include "dbf/dbferrors.h"
#include "dbf/fieldcodec.h"
#include "platform/clock.h"
#include "platform/desktophost.h"
#include "platform/errors.h"
#include "platform/regional.h"

namespace tavlo {

namespace {

std::uint16_t Get16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void Put16(std::uint8_t* p, std::uint16_t value) {
  p[0] = static_cast<std::uint8_t>(value);
  p[1] = static_cast<std::uint8_t>(value >> 8);
}

void Put32(std::uint8_t* p, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

std::uint8_t TDbfFile::LevelOfVersion(std::uint8_t versionByte) {
  switch (versionByte) {
    case 0x03:
    case 0x83:
      return 0;
    case 0x05:
      return 2;
    default:
      return 1;  // 0x04, 0x7B, 0x8B, 0x8E and every unlisted byte
  }
}

TDbfFile::TDbfFile(const std::string& path, OpenMode mode) : TPagedFile(path, mode) {
  if (mode == OpenMode::Create) {
    header_.fill(0);
    header_[0] = kCreatedVersion;
    header_[29] = kCreatedLanguage;
    level_ = 0;
    return;
  }
  ReadHeader();
}

TDbfFile::~TDbfFile() noexcept = default;

void TDbfFile::ReadHeader() {
  if (Stream().ReadAt(0, header_.data(), kHeaderLength) < kHeaderLength) throw EReadError();
  level_ = LevelOfVersion(header_[0]);
  SetHeaderSize(Get16(&header_[8]));
  SetRecordSize(Get16(&header_[10]));
  const std::int64_t physical = RecordCount();
  if (physical != HeaderRecordCount()) {
    Host().ShowMessage(
        "Invalid Record Count,\rRecordCount in Hdr : " + std::to_string(HeaderRecordCount()) +
        "\rexpected : " + std::to_string(physical));
    SetHeaderRecordCount(static_cast<std::uint32_t>(physical));
  }
}

std::uint32_t TDbfFile::HeaderRecordCount() const {
  return Get32(&header_[4]);
}

void TDbfFile::SetHeaderRecordCount(std::uint32_t count) {
  Put32(&header_[4], count);
}

std::uint16_t TDbfFile::HeaderRecordSize() const {
  return Get16(&header_[10]);
}

const TMyFieldInfo& TDbfFile::FieldInfo(int fieldIndex) const {
  assert(fieldIndex >= 0 && fieldIndex < FieldCount());
  return fields_[static_cast<std::size_t>(fieldIndex)];
}

void TDbfFile::LoadFieldList(TFieldDefs& fieldDefs) {
  fields_.clear();
  const bool wide = level_ == 2;
  const int descriptorLength = wide ? 48 : 32;
  const int firstDescriptor = wide ? 68 : 32;
  const std::int64_t count =
      (static_cast<std::int64_t>(HeaderSize()) - firstDescriptor) / descriptorLength;
  if (count <= 0 || count > 255) throw EBinaryDataSetError::InvalidFieldCount(count);

  // Read every descriptor before changing anything, so a truncated file changes nothing.
  std::vector<std::uint8_t> raw(static_cast<std::size_t>(count * descriptorLength));
  if (Stream().ReadAt(firstDescriptor, raw.data(), raw.size()) < raw.size()) throw EReadError();

  TFieldDefs defs;
  std::vector<TMyFieldInfo> fields;
  std::int32_t offset = 1;
  for (std::int64_t i = 0; i < count; ++i) {
    const std::uint8_t* d = &raw[static_cast<std::size_t>(i * descriptorLength)];
    const std::size_t nameArea = wide ? 32 : 11;
    const void* nul = std::memchr(d, 0, nameArea);
    std::size_t nameLength = nul ? static_cast<const std::uint8_t*>(nul) - d : nameArea;
    TMyFieldInfo info;
    std::string name(reinterpret_cast<const char*>(d), nameLength);
    info.typeLetter = static_cast<char>(d[wide ? 32 : 11]);
    info.length = d[wide ? 33 : 16];
    info.decimals = d[wide ? 34 : 17];
    info.type = FieldTypeFromDescriptor(info.typeLetter, info.length, info.decimals);
    info.name = LowerCaseAscii(name);
    info.offset = offset;
    offset += info.length;
    defs.push_back({name, info.type, info.type == TFieldType::ftString ? info.length : 0, false});
    fields.push_back(std::move(info));
  }

  const std::int32_t computed = offset;
  if (computed != HeaderRecordSize()) {
    Host().ShowMessage(
        "Invalid Record Size,\rRecord Size in Hdr : " + std::to_string(HeaderRecordSize()) +
        "\rExpected : " + std::to_string(computed));
    Put16(&header_[10], static_cast<std::uint16_t>(computed));
  }
  // Records stay located and buffered by the size read at opening; a field that this size
  // cuts off is only read as far as it goes and refuses writes.
  for (TMyFieldInfo& info : fields) {
    std::int32_t room = RecordSize() - info.offset;
    info.available = room <= 0 ? 0 : (room < info.length ? room : info.length);
  }
  fields_ = std::move(fields);
  fieldDefs = std::move(defs);
}

void TDbfFile::StampLastUpdate() {
  int year = 0, month = 0, day = 0;
  DecodeDate(LocalNow(), year, month, day);
  header_[1] = static_cast<std::uint8_t>((year - 1900) & 0xFF);
  header_[2] = static_cast<std::uint8_t>(month);
  header_[3] = static_cast<std::uint8_t>(day);
}

void TDbfFile::WriteHeaderAfterAppend() {
  if (RecordSize() == 0) return;
  StampLastUpdate();
  Stream().WriteAt(0, header_.data(), kHeaderLength);
}

void TDbfFile::FlushHeader() {
  // A header whose record size was 0 leaves the records unlocatable: the count would come out
  // as 0 and the end marker would land on the first record's deletion flag. Write nothing.
  if (RecordSize() == 0 && !fields_.empty()) return;
  StampLastUpdate();
  Stream().WriteAt(0, header_.data(), kHeaderLength);
  if (level_ == 2) {
    const std::uint8_t zeros[kLevel2AreaLength] = {};
    Stream().WriteAt(kHeaderLength, zeros, kLevel2AreaLength);
  }
  const std::int64_t count = RecordCount();
  SetHeaderRecordCount(static_cast<std::uint32_t>(count));
  const std::uint8_t marker = 0x1A;
  Stream().WriteAt(RecordPosition(count), &marker, 1);
}

bool TDbfFile::DecodeField(int fieldIndex, TFieldType type, void* destination,
                           const std::uint8_t* record) const {
  const TMyFieldInfo& info = FieldInfo(fieldIndex);
  return DecodeFieldBytes(type, record + info.offset, static_cast<std::size_t>(info.available),
                          destination);
}

bool TDbfFile::DecodeWholeNumber(int fieldIndex, const std::uint8_t* record,
                                 std::int64_t& value) const {
  const TMyFieldInfo& info = FieldInfo(fieldIndex);
  std::string_view text =
      TrimFieldBytes(record + info.offset, static_cast<std::size_t>(info.available));
  if (text.empty()) return false;
  switch (ParseWholeNumber(text, value)) {
    case WholeNumberParse::Ok:
      return true;
    case WholeNumberParse::NotANumber:
      value = 0;
      return true;
    case WholeNumberParse::OutOfRange:
      return false;
  }
  return false;
}

void TDbfFile::EncodeField(int fieldIndex, TFieldType type, std::uint8_t* record,
                           const void* value) const {
  const TMyFieldInfo& info = FieldInfo(fieldIndex);
  if (info.available < info.length) throw EDatabaseError::FieldBeyondRecord(info.name);
  EncodeFieldBytes(type, info.length, info.decimals, record + info.offset, value);
}

}  // namespace tavlo
