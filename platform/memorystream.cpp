// A byte stream over a growable memory buffer: the stream of a paged file that has no path.
// Behaves as a file would: reads stop at the end, writes past the end fill the gap with zeros.

#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

#include "platform/errors.h"
#include "platform/filesystem.h"

namespace tavlo {
namespace {

class MemoryStream final : public ByteStream {
 public:
  std::size_t ReadAt(std::int64_t offset, void* buffer, std::size_t size) override {
    if (offset < 0) throw EReadError();
    if (static_cast<std::uint64_t>(offset) >= bytes_.size()) return 0;
    std::size_t available = bytes_.size() - static_cast<std::size_t>(offset);
    std::size_t n = size < available ? size : available;
    if (n > 0) std::memcpy(buffer, bytes_.data() + offset, n);
    return n;
  }

  void WriteAt(std::int64_t offset, const void* buffer, std::size_t size) override {
    if (offset < 0) throw EWriteError();
    if (size == 0) return;
    std::size_t end = static_cast<std::size_t>(offset) + size;
    try {
      if (end > bytes_.size()) bytes_.resize(end);
    } catch (const std::bad_alloc&) {
      throw EWriteError();  // the memory counterpart of a full disk
    } catch (const std::length_error&) {
      throw EWriteError();
    }
    std::memcpy(bytes_.data() + offset, buffer, size);
  }

  std::int64_t Size() override { return static_cast<std::int64_t>(bytes_.size()); }

  void Truncate(std::int64_t size) override {
    if (size < 0) throw EWriteError();
    try {
      bytes_.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
      throw EWriteError();
    } catch (const std::length_error&) {
      throw EWriteError();
    }
  }

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace

std::unique_ptr<ByteStream> NewMemoryStream() {
  return std::make_unique<MemoryStream>();
}

}  // namespace tavlo
