// The data file: header, table level, the opening checks, descriptors and the header write.
#include "dbf/dbffile.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cstring>

#include "dbf/binaryfields.h"
#include "dbf/dbferrors.h"
#include "dbf/fieldcodec.h"
#include "dbf/tablelayout.h"
#include "platform/asciitext.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/errors.h"
#include "platform/regional.h"
#include "platform/textcodec.h"

namespace tavlo {

namespace {

std::uint16_t Get16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
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

TableFormat TDbfFile::FormatOfVersion(std::uint8_t versionByte) {
  switch (versionByte) {
    case 0x02:
    case 0xF5:
    case 0xFB:
      return TableFormat::FoxPro;
    case 0x30:
    case 0x31:
    case 0x32:
      return TableFormat::VisualFoxPro;
    default:
      return TableFormat::dBase;
  }
}

TDbfFile::TDbfFile(const std::string& path, OpenMode mode) : TPagedFile(path, mode) {
  if (mode == OpenMode::Create) {
    header_.fill(0);
    header_[0] = kCreatedVersion;
    // Other programs read the text in the page this byte names.
    header_[29] = LanguageByteOfCodePage(CurrentCodePages().OemCodePage());
    level_ = 0;
    return;
  }
  ReadHeader();
}

TDbfFile::~TDbfFile() noexcept = default;

void TDbfFile::ReadHeader() {
  const std::size_t got = Stream().ReadAt(0, header_.data(), kHeaderLength);
  if (got < kHeaderLength) {
    throw EReadError::InFile(OpenedPath(), "the file is " + std::to_string(got) +
                                               " bytes long, shorter than a table header (" +
                                               std::to_string(kHeaderLength) + " bytes)");
  }
  level_ = LevelOfVersion(header_[0]);
  format_ = FormatOfVersion(header_[0]);
  SetHeaderSize(Get16(&header_[8]));
  SetRecordSize(Get16(&header_[10]));
  if (header_[0] == 0x04 || header_[0] == 0x8C) DetectDbase7();
  codePage_ = CodePageOfLanguageByte(header_[29]);
  codePageSource_ = codePage_ == 0 ? CodePageSource::None : CodePageSource::LanguageByte;
  if (codePage_ != 0 && !CodePageAvailable(codePage_)) {
    codePage_ = 0;
    codePageSource_ = CodePageSource::None;
  }
  const std::int64_t physical = RecordCount();
  if (physical != HeaderRecordCount()) {
    openDiagnostics_.push_back(
        "Invalid Record Count,\rRecordCount in Hdr : " + std::to_string(HeaderRecordCount()) +
        "\rexpected : " + std::to_string(physical));
    SetHeaderRecordCount(static_cast<std::uint32_t>(physical));
  }
}

std::vector<std::string> TDbfFile::TakeOpenDiagnostics() {
  std::vector<std::string> taken;
  taken.swap(openDiagnostics_);
  return taken;
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

void TDbfFile::SetCodePage(int page, CodePageSource source) {
  if (page == 0) {
    codePage_ = CodePageOfLanguageByte(header_[29]);
    if (codePage_ != 0 && !CodePageAvailable(codePage_)) codePage_ = 0;
    codePageSource_ = codePage_ == 0 ? CodePageSource::None : CodePageSource::LanguageByte;
  } else {
    if (!CodePageAvailable(page)) {
      throw Exception("Code page " + std::to_string(page) + " is not available");
    }
    codePage_ = page;
    codePageSource_ = source;
  }
  codec_.reset();
}

std::string TDbfFile::CodePageDescription() const {
  return DescribeCodePage(codePage_, codePageSource_, header_[29],
                          CurrentCodePages().OemCodePage());
}

bool TDbfFile::UsesSessionOemTranslation() const {
  return codePage_ == 0 && CurrentCodePages().AnsiCodePage() != kUtf8CodePage;
}

const TextCodec& TDbfFile::Codec() const {
  const CodePages& session = CurrentCodePages();
  const int stored = codePage_ != 0 ? codePage_ : session.OemCodePage();
  // The session's page changes when the program opens a table it cannot show otherwise.
  if (!codec_ || codec_->StoredPage() != stored || codec_->AnsiPage() != session.AnsiCodePage()) {
    codec_ = std::make_unique<TextCodec>(stored, session.AnsiCodePage());
  }
  return *codec_;
}

std::string TDbfFile::TextToAnsi(std::string_view stored) const {
  if (UsesSessionOemTranslation()) return CurrentCodePages().OemToAnsi(std::string(stored));
  return Codec().ToAnsi(stored);
}

bool TDbfFile::TextToAnsiTable(std::array<unsigned char, 256>& table) const {
  if (UsesSessionOemTranslation()) {
    char stored[256];
    for (int i = 0; i < 256; ++i) stored[i] = static_cast<char>(i);
    CurrentCodePages().OemToAnsi(stored, reinterpret_cast<char*>(table.data()), table.size());
    return true;
  }
  if (const auto* bytes = Codec().ByteTable()) {
    table = *bytes;
    return true;
  }
  if (Codec().StoredPage() != Codec().AnsiPage()) return false;
  for (std::size_t i = 0; i < table.size(); ++i) table[i] = static_cast<unsigned char>(i);
  return true;
}

std::string TDbfFile::TextFromAnsi(std::string_view ansi, std::size_t maxBytes) const {
  if (UsesSessionOemTranslation()) {
    return CurrentCodePages().AnsiToOem(std::string(ansi.substr(0, maxBytes)));
  }
  return Codec().FromAnsi(ansi, maxBytes);
}

void TDbfFile::DetectDbase7() {
  constexpr int kFirst = 68;
  constexpr int kLength = 48;  // a dBase 7 field descriptor
  const std::int64_t area = static_cast<std::int64_t>(HeaderSize()) - kFirst;
  if (area < kLength) return;
  std::vector<std::uint8_t> raw(static_cast<std::size_t>(area));
  if (Stream().ReadAt(kFirst, raw.data(), raw.size()) < raw.size()) return;
  if (HoldsDbase7Descriptors(raw.data(), raw.size(), HeaderRecordSize())) {
    format_ = TableFormat::dBase7;
    return;
  }
  std::int64_t sum = 1;
  for (std::size_t at = 0; at < raw.size(); at += kLength) {
    if (raw[at] == 0x0D) return;  // terminated, yet the lengths do not add up
    if (at + kLength > raw.size()) return;
    sum += raw[at + 33];
  }
  // Writers that leave out the terminator fill the header with descriptors exactly. Taken
  // only when the older reading of the same bytes does not add up.
  if (sum != HeaderRecordSize()) return;
  std::vector<std::uint8_t> old(static_cast<std::size_t>(HeaderSize() - 32));
  if (Stream().ReadAt(32, old.data(), old.size()) < old.size()) return;
  std::int64_t oldSum = 1;
  for (std::size_t at = 0; at + 32 <= old.size(); at += 32) oldSum += old[at + 16];
  if (oldSum != HeaderRecordSize()) format_ = TableFormat::dBase7;
}

void TDbfFile::LoadFieldList(TFieldDefs& fieldDefs) {
  fields_.clear();
  nullFlagsOffset_ = nullFlagsLength_ = 0;
  const bool wide = level_ == 2 || format_ == TableFormat::dBase7;
  const int descriptorLength = wide ? 48 : 32;
  const int firstDescriptor = wide ? 68 : 32;
  const std::int64_t count =
      (static_cast<std::int64_t>(HeaderSize()) - firstDescriptor) / descriptorLength;
  if (count <= 0) throw EBinaryDataSetError::InvalidFieldCount(count);

  // Read every descriptor before changing anything, so a truncated file changes nothing.
  // The list ends at the terminator; what follows it (the backlink of Visual FoxPro, the
  // field properties of dBase 7) is no field. Without a terminator the header size decides.
  std::vector<std::uint8_t> raw(static_cast<std::size_t>(count * descriptorLength));
  const std::size_t got = Stream().ReadAt(firstDescriptor, raw.data(), raw.size());
  std::int64_t found = count;
  for (std::int64_t i = 0; i < count; ++i) {
    const std::size_t at = static_cast<std::size_t>(i * descriptorLength);
    if (at < got && raw[at] == 0x0D) {
      found = i;
      break;
    }
    if (at + descriptorLength > got) {
      if (count > 255) break;  // reported as the field count below
      throw EReadError::InFile(
          OpenedPath(), "the file ends inside its " + std::to_string(count) + " field descriptors");
    }
  }
  if (found <= 0 || found > 255) throw EBinaryDataSetError::InvalidFieldCount(found);

  const std::size_t nameArea = wide ? 32 : 11;
  const int typeAt = wide ? 32 : 11, lengthAt = wide ? 33 : 16, decimalsAt = wide ? 34 : 17;
  // Character fields of more than 255 bytes keep the high byte of their length in the
  // decimal count (FoxPro, Clipper). A dBase table whose sizes only add up without that
  // reading keeps the plain one.
  std::int64_t plainSum = 1, wideSum = 1;
  for (std::int64_t i = 0; i < found; ++i) {
    const std::uint8_t* d = &raw[static_cast<std::size_t>(i * descriptorLength)];
    plainSum += d[lengthAt];
    wideSum += d[lengthAt] + (d[typeAt] == 'C' && !wide ? d[decimalsAt] << 8 : 0);
  }
  const bool longCharacters = !wide && wideSum != plainSum &&
                              (format_ != TableFormat::dBase || plainSum != HeaderRecordSize());

  TFieldDefs defs;
  std::vector<TMyFieldInfo> fields;
  std::int32_t offset = 1;
  int nextFlagBit = 0;
  for (std::int64_t i = 0; i < found; ++i) {
    const std::uint8_t* d = &raw[static_cast<std::size_t>(i * descriptorLength)];
    const void* nul = std::memchr(d, 0, nameArea);
    std::size_t nameLength = nul ? static_cast<const std::uint8_t*>(nul) - d : nameArea;
    TMyFieldInfo info;
    std::string name(reinterpret_cast<const char*>(d), nameLength);
    info.typeLetter = static_cast<char>(d[typeAt]);
    info.length = d[lengthAt];
    info.decimals = d[decimalsAt];
    if (longCharacters && info.typeLetter == 'C') {
      info.length += info.decimals << 8;
      info.decimals = 0;
    }
    info.offset = offset;
    offset += info.length;
    const std::uint8_t flags = wide ? 0 : d[18];
    if (format_ == TableFormat::VisualFoxPro && (flags & 0x01) != 0 &&
        (info.typeLetter == '0' || LowerAscii(name) == "_nullflags")) {
      // The hidden field that holds the null and length flags of the others.
      nullFlagsOffset_ = info.offset;
      nullFlagsLength_ = info.length;
      continue;
    }
    info.type =
        FieldTypeOfFormat(format_, info.typeLetter, info.length, info.decimals, info.storage);
    if (format_ == TableFormat::VisualFoxPro) {
      if (info.storage == FieldStorage::VarChar || info.storage == FieldStorage::VarBinary) {
        info.varLengthBit = nextFlagBit++;
      }
      if ((flags & 0x02) != 0) info.nullBit = nextFlagBit++;
    }
    info.writable = IsWritableField(info.type, info.storage);
    info.name = LowerAscii(name);
    defs.push_back({name, info.type, info.type == TFieldType::ftString ? info.length : 0, false});
    fields.push_back(std::move(info));
  }
  // Flags beyond the _NullFlags field cannot be read: such fields have no flag.
  for (TMyFieldInfo& info : fields) {
    if (info.nullBit >= nullFlagsLength_ * 8) info.nullBit = -1;
    if (info.varLengthBit >= nullFlagsLength_ * 8) info.varLengthBit = -1;
  }

  const std::int32_t computed = offset;
  fieldsRecordSize_ = computed;
  layoutCorrection_.clear();
  if (computed != HeaderRecordSize()) {
    // The header keeps its record size: records stay where other readers find them, and no
    // write of this system may move them (see LayoutCorrection).
    layoutCorrection_ =
        "Invalid Record Size,\rRecord Size in Hdr : " + std::to_string(HeaderRecordSize()) +
        "\rExpected : " + std::to_string(computed);
    openDiagnostics_.push_back(layoutCorrection_ + "\r" + std::string(kReadOnlyUntilRepaired));
  }
  // Records stay located and buffered by the size read at opening; a field that this size
  // cuts off is only read as far as it goes and refuses writes.
  for (TMyFieldInfo& info : fields) {
    std::int32_t room = RecordSize() - info.offset;
    info.available = room <= 0 ? 0 : (room < info.length ? room : info.length);
  }
  if (nullFlagsOffset_ + nullFlagsLength_ > RecordSize()) nullFlagsLength_ = 0;
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

void TDbfFile::WriteAppendedRecord(std::int64_t index, const void* buffer) {
  if (!layoutCorrection_.empty() || RecordSize() <= 0) {
    throw EWriteError::InFile(OpenedPath(), "the table's layout was corrected on opening");
  }
  const std::size_t size = static_cast<std::size_t>(RecordSize());
  std::vector<std::uint8_t> bytes(size + 1);
  std::memcpy(bytes.data(), buffer, size);
  bytes[size] = 0x1A;
  Stream().WriteAt(RecordPosition(index), bytes.data(), bytes.size());
}

void TDbfFile::WriteHeaderAfterAppend() {
  if (RecordSize() == 0 || !layoutCorrection_.empty()) return;
  StampLastUpdate();
  Stream().WriteAt(0, header_.data(), kHeaderLength);
}

void TDbfFile::FlushHeader() {
  // A header whose record size was 0 leaves the records unlocatable: the count would come out
  // as 0 and the end marker would land on the first record's deletion flag. A corrected
  // layout would put the marker inside the records. Write nothing.
  if (!layoutCorrection_.empty()) return;
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

bool TDbfFile::FlagSet(int bit, const std::uint8_t* record) const {
  if (bit < 0 || nullFlagsLength_ == 0) return false;
  return (record[nullFlagsOffset_ + bit / 8] >> (bit % 8) & 1) != 0;
}

void TDbfFile::SetFlag(int bit, bool on, std::uint8_t* record) const {
  if (bit < 0 || nullFlagsLength_ == 0) return;
  std::uint8_t& byte = record[nullFlagsOffset_ + bit / 8];
  const std::uint8_t mask = static_cast<std::uint8_t>(1u << (bit % 8));
  byte = on ? static_cast<std::uint8_t>(byte | mask) : static_cast<std::uint8_t>(byte & ~mask);
}

std::string_view TDbfFile::FieldValueBytes(int fieldIndex, const std::uint8_t* record) const {
  const TMyFieldInfo& info = FieldInfo(fieldIndex);
  std::size_t used = static_cast<std::size_t>(info.available);
  if (info.varLengthBit >= 0 && FlagSet(info.varLengthBit, record) && info.available > 0 &&
      info.available == info.length) {
    // Not full: the length is in the last byte.
    used = std::min<std::size_t>(record[info.offset + info.length - 1],
                                 static_cast<std::size_t>(info.length - 1));
  }
  return {reinterpret_cast<const char*>(record + info.offset), used};
}

bool TDbfFile::FieldIsNull(int fieldIndex, const std::uint8_t* record) const {
  return !DecodeField(fieldIndex, FieldInfo(fieldIndex).type, nullptr, record);
}

bool TDbfFile::DecodeField(int fieldIndex, TFieldType type, void* destination,
                           const std::uint8_t* record) const {
  const TMyFieldInfo& info = FieldInfo(fieldIndex);
  if (FlagSet(info.nullBit, record)) return false;
  if (info.storage == FieldStorage::Text) {
    return DecodeFieldBytes(type, record + info.offset, static_cast<std::size_t>(info.available),
                            destination);
  }
  // A binary value the record size cuts off has no value.
  if (info.available < info.length) return false;
  const std::uint8_t* bytes = record + info.offset;
  const std::size_t length = static_cast<std::size_t>(info.length);
  if (BinaryFieldIsBlank(info.storage, bytes, length)) return false;
  if (destination == nullptr) return true;
  if (info.storage == FieldStorage::VarChar || info.storage == FieldStorage::VarBinary) {
    std::string_view used = FieldValueBytes(fieldIndex, record);
    char* out = static_cast<char*>(destination);
    std::memcpy(out, used.data(), used.size());
    out[used.size()] = '\0';
    return true;
  }
  if (info.storage == FieldStorage::BinaryMemoBlock) return true;
  return DecodeBinaryField(info.storage, type, bytes, length, destination);
}

std::int32_t TDbfFile::MemoBlock(int fieldIndex, const std::uint8_t* record) const {
  const TMyFieldInfo& info = FieldInfo(fieldIndex);
  if (info.storage == FieldStorage::BinaryMemoBlock) {
    return info.available < info.length ? 0 : BinaryMemoBlock(record + info.offset, 4);
  }
  std::string_view text =
      TrimFieldBytes(record + info.offset, static_cast<std::size_t>(info.available));
  std::int64_t block = 0;
  if (text.empty() || ParseWholeNumber(text, block) != WholeNumberParse::Ok) return 0;
  return block < 0 || block > INT32_MAX ? 0 : static_cast<std::int32_t>(block);
}

void TDbfFile::InitRecord(std::uint8_t* record) const {
  std::memset(record, ' ', static_cast<std::size_t>(RecordSize()));
  if (nullFlagsLength_ > 0) std::memset(record + nullFlagsOffset_, 0, nullFlagsLength_);
  for (const TMyFieldInfo& info : fields_) {
    if (info.storage != FieldStorage::Text) {
      std::memset(record + info.offset, 0, static_cast<std::size_t>(info.available));
    }
    SetFlag(info.nullBit, true, record);
  }
}

bool TDbfFile::DecodeWholeNumber(int fieldIndex, const std::uint8_t* record,
                                 std::int64_t& value) const {
  const TMyFieldInfo& info = FieldInfo(fieldIndex);
  return WholeNumberValue(
      TrimFieldBytes(record + info.offset, static_cast<std::size_t>(info.available)), value);
}

void TDbfFile::EncodeField(int fieldIndex, TFieldType type, std::uint8_t* record,
                           const void* value) const {
  const TMyFieldInfo& info = FieldInfo(fieldIndex);
  if (!info.writable) throw EDatabaseError::ReadOnlyField(info.name);
  if (info.available < info.length) throw EDatabaseError::FieldBeyondRecord(info.name);
  if (info.storage == FieldStorage::BinaryMemoBlock) {
    std::int32_t block = value == nullptr ? 0 : *static_cast<const std::int32_t*>(value);
    PutBinaryMemoBlock(record + info.offset, static_cast<std::size_t>(info.length), block);
  } else {
    EncodeFieldBytes(type, info.length, info.decimals, record + info.offset, value);
  }
  SetFlag(info.nullBit, value == nullptr, record);
}

}  // namespace tavlo
