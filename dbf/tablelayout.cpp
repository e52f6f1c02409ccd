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

bool ReadTableLayout(ByteStream& stream, TTableLayout& layout) {
  layout = TTableLayout();
  layout.fileSize = stream.Size();
  std::uint8_t header[32];
  if (stream.ReadAt(0, header, sizeof header) < sizeof header) return false;
  layout.version = header[0];
  layout.level = TDbfFile::LevelOfVersion(header[0]);
  layout.foreign = TDbfFile::FormatOfVersion(header[0]) != TableFormat::dBase ||
                   header[0] == 0x04 || header[0] == 0x8C;
  layout.headerCount = Get32(&header[4]);
  layout.headerSize = Get16(&header[8]);
  layout.recordSize = Get16(&header[10]);
  const bool wide = layout.level == 2;
  layout.firstDescriptor = wide ? 68 : 32;
  layout.descriptorLength = wide ? 48 : 32;

  const std::size_t areaLength =
      static_cast<std::size_t>(layout.descriptorLength) * kMaxFields + 1;
  std::vector<std::uint8_t> area(areaLength);
  const std::size_t got = stream.ReadAt(layout.firstDescriptor, area.data(), area.size());
  area.resize(got);

  int offset = 1;
  std::size_t at = 0;
  while (at < area.size()) {
    if (area[at] == 0x0D) {
      layout.terminatorFound = true;
      layout.terminatorOffset = layout.firstDescriptor + static_cast<std::int64_t>(at);
      break;
    }
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
    field.offset = offset;
    offset += field.length;
    layout.fields.push_back(std::move(field));
    at += static_cast<std::size_t>(layout.descriptorLength);
    if (layout.fields.size() == static_cast<std::size_t>(kMaxFields)) break;
  }
  // Without a terminator the stored header size says where the descriptors end (tables
  // without one exist and read correctly that way).
  if (!layout.terminatorFound && layout.headerSize > layout.firstDescriptor) {
    const std::size_t fit = static_cast<std::size_t>(
        (layout.headerSize - layout.firstDescriptor) / layout.descriptorLength);
    if (fit < layout.fields.size()) layout.fields.resize(fit);
    offset = 1;
    for (const TLayoutField& field : layout.fields) offset += field.length;
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
