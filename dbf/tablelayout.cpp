// Data-file layout from the raw bytes: header fields and descriptors up to the terminator.
#include "dbf/tablelayout.h"

#include <cstring>

#include "dbf/dbffile.h"
#include "platform/filesystem.h"

namespace tavlo {

namespace {

std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint16_t Get16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

// Descriptors never reach past 255 fields; a header that claims more is read that far only.
constexpr int kMaxFields = 255;

}  // namespace

std::int64_t TTableLayout::PhysicalCount() const {
  const std::int64_t data = fileSize - DataStart();
  return data <= 0 ? 0 : data / UsableRecordSize();
}

bool TTableLayout::HasMemoFields() const {
  for (const TLayoutField& field : fields)
    if (field.typeLetter == 'M') return true;
  return false;
}

bool HoldsDbase7Descriptors(const std::uint8_t* area, std::size_t length,
                            std::uint32_t recordSize) {
  constexpr std::size_t kLength = 48;
  std::uint32_t sum = 1;
  for (std::size_t at = 0; at < length; at += kLength) {
    if (area[at] == 0x0D) return at > 0 && sum == recordSize;
    if (at + kLength > length) return false;
    sum += area[at + 33];
  }
  return false;
}

namespace {

// dBase II: 8-byte header (version, count, date, record length), then up to 32 descriptors
// of 16 bytes (name, type, length, address, decimals) ending in 0x0D, lengths adding up to
// the record length. FoxBASE shares the version byte with the usual layout.
bool IsDbase2(ByteStream& stream, const std::uint8_t* header) {
  if (header[0] != 0x02) return false;
  std::uint8_t area[8 + 32 * 16 + 1];
  const std::size_t got = stream.ReadAt(0, area, sizeof area);
  int sum = 1;
  for (std::size_t at = 8; at < got; at += 16) {
    if (area[at] == 0x0D) return at > 8 && sum == Get16(&area[6]);
    if (at + 16 > got || std::strchr("CNL", area[at + 11]) == nullptr || area[at + 11] == 0)
      return false;
    sum += area[at + 12];
  }
  return false;
}

}  // namespace

bool ReadTableLayout(ByteStream& stream, TTableLayout& layout) {
  layout = TTableLayout();
  layout.fileSize = stream.Size();
  std::uint8_t header[32];
  if (stream.ReadAt(0, header, sizeof header) < sizeof header) return false;
  layout.version = header[0];
  layout.level = TDbfFile::LevelOfVersion(header[0]);
  const TableFormat format = TDbfFile::FormatOfVersion(header[0]);
  layout.headerCount = Get32(&header[4]);
  layout.headerSize = Get16(&header[8]);
  layout.recordSize = Get16(&header[10]);
  if (IsDbase2(stream, header)) {
    layout.dBase2 = layout.foreign = true;
    layout.dBase2Count = Get16(&header[1]);
    return true;
  }
  if ((header[0] == 0x04 || header[0] == 0x8C) && layout.headerSize > 68) {
    std::vector<std::uint8_t> area(static_cast<std::size_t>(layout.headerSize - 68));
    if (stream.ReadAt(68, area.data(), area.size()) == area.size())
      layout.dBase7 = HoldsDbase7Descriptors(area.data(), area.size(), layout.recordSize);
  }
  layout.foreign = format != TableFormat::dBase || layout.dBase7;
  const bool wide = layout.level == 2 || layout.dBase7;
  layout.firstDescriptor = wide ? 68 : 32;
  layout.descriptorLength = wide ? 48 : 32;

  const std::size_t areaLength = static_cast<std::size_t>(layout.descriptorLength) * kMaxFields + 1;
  std::vector<std::uint8_t> area(areaLength);
  const std::size_t got = stream.ReadAt(layout.firstDescriptor, area.data(), area.size());
  area.resize(got);

  std::size_t at = 0;
  while (at < area.size()) {
    const std::int64_t offset = layout.firstDescriptor + static_cast<std::int64_t>(at);
    if (area[at] == 0x0D || (area[at] == 0x0A && offset + 1 == layout.headerSize)) {
      layout.terminatorFound = true;
      layout.terminatorOffset = offset;
      layout.terminator = area[at];
      break;
    }
    // The terminator of a table of 255 fields is looked for above; no further descriptor.
    if (layout.fields.size() == static_cast<std::size_t>(kMaxFields)) break;
    if (at + static_cast<std::size_t>(layout.descriptorLength) > area.size()) break;
    const std::uint8_t* d = &area[at];
    const std::size_t nameArea = wide ? 32 : 11;
    const void* nul = std::memchr(d, 0, nameArea);
    const std::size_t nameLength =
        nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - d) : nameArea;
    TLayoutField field;
    field.name.assign(reinterpret_cast<const char*>(d), nameLength);
    field.typeLetter = static_cast<char>(d[wide ? 32 : 11]);
    field.length = d[wide ? 33 : 16];
    field.decimals = d[wide ? 34 : 17];
    layout.fields.push_back(std::move(field));
    at += static_cast<std::size_t>(layout.descriptorLength);
  }
  // Without a terminator the stored header size says where the descriptors end (tables
  // without one exist and read correctly that way).
  if (!layout.terminatorFound && layout.headerSize > layout.firstDescriptor) {
    const std::size_t fit = static_cast<std::size_t>((layout.headerSize - layout.firstDescriptor) /
                                                     layout.descriptorLength);
    if (fit < layout.fields.size()) layout.fields.resize(fit);
  }
  // Character fields of more than 255 bytes keep the high byte of their length in the decimal
  // count (FoxPro, Clipper); a dBase table whose plain lengths add up keeps those, as the
  // cursor reads it.
  int plainSum = 1, longSum = 1;
  for (const TLayoutField& field : layout.fields) {
    plainSum += field.length;
    longSum += field.length + (field.typeLetter == 'C' && !wide ? field.decimals << 8 : 0);
  }
  const bool longCharacters = !wide && longSum != plainSum &&
                              (format != TableFormat::dBase || plainSum != layout.recordSize);
  int offset = 1;
  for (TLayoutField& field : layout.fields) {
    if (longCharacters && field.typeLetter == 'C') {
      field.length += field.decimals << 8;
      field.decimals = 0;
    }
    field.offset = offset;
    offset += field.length;
  }
  layout.neededRecordSize = offset;
  layout.neededHeaderSize =
      layout.terminatorFound
          ? layout.terminatorOffset + 1
          : layout.firstDescriptor +
                static_cast<std::int64_t>(layout.fields.size()) * layout.descriptorLength;
  return true;
}

}  // namespace tavlo
