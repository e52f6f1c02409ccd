// Helpers of the table file tests: exact-message checks, a scratch folder, a builder for DBF
// bytes, a host that records messages, and a file system that fails writes on demand.
#pragma once

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "forwardingfilesystem.h"
#include "testsupport.h"

#include "platform/desktophost.h"
#include "platform/errors.h"
#include "platform/filesystem.h"

namespace tavlo::tablefiles_test {

using testsupport::ScratchFolder;

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct FieldSpec {
  std::string name;
  char type;
  int length;
  int decimals = 0;
};

// The bytes of a data file: header, descriptors, terminator, records, optional 0x1A.
// recordCount < 0 stores the number of records given; recordSize < 0 the computed size.
struct DbfImage {
  std::uint8_t version = 0x03;
  std::vector<FieldSpec> fields;
  std::vector<std::string> records;  // deletion flag included
  long recordCount = -1;
  int recordSize = -1;
  bool endMarker = true;
  std::uint8_t language = 0x57;  // names page 1252
  bool wideDescriptors = false;  // 48-byte descriptors from offset 68 (dBase 7) at any version

  int ComputedRecordSize() const {
    int size = 1;
    for (const FieldSpec& f : fields) size += f.length;
    return size;
  }
  std::string Bytes() const {
    const bool wide = version == 0x05 || wideDescriptors;
    const int descriptor = wide ? 48 : 32;
    const int first = wide ? 68 : 32;
    const int headerSize = first + descriptor * static_cast<int>(fields.size()) + 1;
    const int size = recordSize < 0 ? ComputedRecordSize() : recordSize;
    const long count = recordCount < 0 ? static_cast<long>(records.size()) : recordCount;
    std::string out(32, '\0');
    out[0] = static_cast<char>(version);
    out[1] = 124;
    out[2] = 1;
    out[3] = 2;
    for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<char>(count >> (8 * i));
    out[8] = static_cast<char>(headerSize & 0xFF);
    out[9] = static_cast<char>(headerSize >> 8);
    out[10] = static_cast<char>(size & 0xFF);
    out[11] = static_cast<char>(size >> 8);
    out[29] = static_cast<char>(language);
    if (wide) out.append(36, '\0');
    for (const FieldSpec& f : fields) {
      std::string d(descriptor, '\0');
      d.replace(0, std::min<std::size_t>(f.name.size(), wide ? 32 : 11), f.name);
      d[wide ? 32 : 11] = f.type;
      d[wide ? 33 : 16] = static_cast<char>(f.length);
      d[wide ? 34 : 17] = static_cast<char>(f.decimals);
      out += d;
    }
    out += '\r';
    for (const std::string& r : records) out += r;
    if (endMarker) out += '\x1A';
    return out;
  }
};

// Collects the messages the engine shows; every dialog is cancelled.
using RecordingHost = SilentDesktopHost;

// The operating system's files, except that once writeBudget bytes have been written every
// further write stops short and raises, as a full disk does.
class FullDiskFileSystem : public testsupport::ForwardingFileSystem {
 public:
  long writeBudget = 0;

  std::unique_ptr<ByteStream> Open(const std::string& path, OpenMode mode) override {
    return std::make_unique<Stream>(OsFiles().Open(path, mode), *this);
  }

 private:
  class Stream : public ByteStream {
   public:
    Stream(std::unique_ptr<ByteStream> inner, FullDiskFileSystem& owner)
        : inner_(std::move(inner)), owner_(owner) {}
    std::size_t ReadAt(std::int64_t offset, void* buffer, std::size_t size) override {
      return inner_->ReadAt(offset, buffer, size);
    }
    void WriteAt(std::int64_t offset, const void* buffer, std::size_t size) override {
      long room = std::max(owner_.writeBudget, 0L);
      if (static_cast<long>(size) > room) {
        inner_->WriteAt(offset, buffer, static_cast<std::size_t>(room));
        owner_.writeBudget = 0;
        throw EWriteError();
      }
      owner_.writeBudget -= static_cast<long>(size);
      inner_->WriteAt(offset, buffer, size);
    }
    std::int64_t Size() override { return inner_->Size(); }
    void Truncate(std::int64_t size) override { inner_->Truncate(size); }

   private:
    std::unique_ptr<ByteStream> inner_;
    FullDiskFileSystem& owner_;
  };
};

}  // namespace tavlo::tablefiles_test
