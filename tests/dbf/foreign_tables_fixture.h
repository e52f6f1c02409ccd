// A builder for the bytes of tables other programs write (FoxPro, Visual FoxPro with its
// backlink and null flags, dBase 7 with 48-byte descriptors), for the tests that read them.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace tavlo::foreigntest {

struct Descriptor {
  std::string name;
  char type;
  int length;
  int decimals = 0;
  std::uint8_t flags = 0;  // Visual FoxPro: 0x01 system, 0x02 nullable
};

inline void PutLe(std::string& out, std::size_t at, std::uint64_t value, int width) {
  for (int i = 0; i < width; ++i) out[at + i] = static_cast<char>(value >> (8 * i));
}

inline std::string Le(std::uint64_t value, int width) {
  std::string out(static_cast<std::size_t>(width), '\0');
  PutLe(out, 0, value, width);
  return out;
}

inline std::string Be(std::uint64_t value, int width) {
  std::string out;
  for (int i = width - 1; i >= 0; --i) out += static_cast<char>(value >> (8 * i));
  return out;
}

struct ForeignImage {
  std::uint8_t version = 0x30;
  std::uint8_t language = 0x03;
  std::vector<Descriptor> fields;
  std::vector<std::string> records;  // deletion flag included
  bool dbase7 = false;               // 48-byte descriptors from offset 68
  bool terminator = true;
  int backlink = 0;  // bytes after the terminator (263 in Visual FoxPro)
  int trailing = 0;  // zero bytes after that, inside the header (dBase 7 properties)

  int RecordSize() const {
    int size = 1;
    for (const Descriptor& d : fields) size += d.length + (d.type == 'C' ? d.decimals << 8 : 0);
    return size;
  }

  std::string Bytes() const {
    const int descriptor = dbase7 ? 48 : 32;
    const int first = dbase7 ? 68 : 32;
    const int headerSize = first + descriptor * static_cast<int>(fields.size()) +
                           (terminator ? 1 : 0) + backlink + trailing;
    std::string out(32, '\0');
    out[0] = static_cast<char>(version);
    out[1] = 124;
    out[2] = 5;
    out[3] = 6;
    PutLe(out, 4, records.size(), 4);
    PutLe(out, 8, static_cast<std::uint64_t>(headerSize), 2);
    PutLe(out, 10, static_cast<std::uint64_t>(RecordSize()), 2);
    out[29] = static_cast<char>(language);
    if (dbase7) {
      std::string driver(36, '\0');
      driver.replace(0, 8, "DBWINUS0");
      out += driver;
    }
    int offset = 1;
    for (const Descriptor& f : fields) {
      std::string d(static_cast<std::size_t>(descriptor), '\0');
      d.replace(0, std::min<std::size_t>(f.name.size(), dbase7 ? 32 : 11), f.name);
      d[dbase7 ? 32 : 11] = f.type;
      d[dbase7 ? 33 : 16] = static_cast<char>(f.length);
      d[dbase7 ? 34 : 17] = static_cast<char>(f.decimals);
      if (!dbase7) {
        PutLe(d, 12, static_cast<std::uint64_t>(offset), 4);
        d[18] = static_cast<char>(f.flags);
      }
      offset += f.length + (f.type == 'C' ? f.decimals << 8 : 0);
      out += d;
    }
    if (terminator) out += '\r';
    out.append(static_cast<std::size_t>(backlink + trailing), '\0');
    for (const std::string& r : records) out += r;
    out += '\x1A';
    return out;
  }
};

// An .fpt file: header with the block size, then text memos at the given blocks.
inline std::string FptBytes(int blockSize, const std::vector<std::pair<int, std::string>>& memos,
                            std::uint32_t type = 1) {
  std::string out(512, '\0');
  int next = (512 + blockSize - 1) / blockSize;
  for (const auto& [block, text] : memos) {
    const std::size_t at = static_cast<std::size_t>(block) * static_cast<std::size_t>(blockSize);
    std::string bytes = Be(type, 4) + Be(text.size(), 4) + text;
    if (out.size() < at + bytes.size()) out.resize(at + bytes.size(), '\0');
    out.replace(at, bytes.size(), bytes);
    next = std::max(next, block + static_cast<int>((bytes.size() + blockSize - 1) / blockSize));
  }
  out.replace(0, 4, Be(static_cast<std::uint64_t>(next), 4));
  out.replace(6, 2, Be(static_cast<std::uint64_t>(blockSize), 2));
  return out;
}

// A Visual FoxPro table with every binary type, a nullable varchar and a memo in an .fpt.
inline ForeignImage VisualFoxProImage() {
  ForeignImage image;
  image.version = 0x32;
  image.backlink = 263;
  image.fields = {{"NAME", 'C', 6},        {"COUNT", 'I', 4},
                  {"RATE", 'B', 8, 2},     {"PRICE", 'Y', 8, 4},
                  {"STAMP", 'T', 8},       {"CODE", 'V', 5, 0, 0x02},
                  {"NOTE", 'M', 4},        {"PIC", 'G', 4},
                  {"OK", 'L', 1, 0, 0x02}, {"_NullFlags", '0', 1, 0, 0x05}};
  auto record = [](const std::string& name, std::int32_t count, double rate, std::int64_t price,
                   std::int32_t julian, std::int32_t ms, const std::string& code, std::int32_t memo,
                   char ok, std::uint8_t flags) {
    std::uint64_t bits;
    std::memcpy(&bits, &rate, 8);
    std::string r =
        " " + name + std::string(6 - name.size(), ' ') + Le(static_cast<std::uint32_t>(count), 4) +
        Le(bits, 8) + Le(static_cast<std::uint64_t>(price), 8) +
        Le(static_cast<std::uint32_t>(julian), 4) + Le(static_cast<std::uint32_t>(ms), 4) + code +
        std::string(5 - code.size(), '\0') + Le(static_cast<std::uint32_t>(memo), 4) + Le(0, 4) +
        std::string(1, ok) + std::string(1, static_cast<char>(flags));
    return r;
  };
  // 2460311 is 2024-01-01; 45296789 ms is 12:34:56.789. Flags: bit 0 CODE shorter than
  // its field (length in the last byte), bit 1 CODE null, bit 2 OK null.
  std::string first = record("Anna", -42, 2.5, 123456, 2460311, 45296789, "ab", 8, 'T', 0x01);
  first[1 + 6 + 4 + 8 + 8 + 8 + 4] = 2;  // CODE's length byte
  image.records = {first, record("Bert", 7, -0.25, -5, 0, 0, "", 0, ' ', 0x06),
                   record("Cleo", 0, 0, 0, 2460311, 0, "vwxyz", 0, 'N', 0x00)};
  return image;
}

}  // namespace tavlo::foreigntest
