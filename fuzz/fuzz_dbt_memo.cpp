// libFuzzer target: arbitrary bytes as a memo file, read at memo level 0 (end-marker blocks)
// and at levels 1 and 2 (blocks with a length header) for block numbers taken from the input,
// through the memo file and through the memo stream a cursor hands out. Only crashes, leaks
// and undefined behaviour count.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "dbf/memofile.h"
#include "fuzz/fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Four block numbers first (little endian, any sign), then the memo file itself.
  constexpr std::size_t kNumbers = 4;
  std::int32_t blocks[kNumbers] = {};
  const std::size_t head = std::min(size, sizeof blocks);
  std::memcpy(blocks, data, head);
  static tavlo::fuzz::ImageFiles files;
  tavlo::ScopedFileSystem scoped(files);
  files.images["t.dbt"].assign(reinterpret_cast<const char*>(data) + head, size - head);

  for (std::uint8_t level : {std::uint8_t{0}, std::uint8_t{1}, std::uint8_t{2}}) {
    tavlo::TDbtFile* memo = nullptr;
    try {
      memo = new tavlo::TDbtFile("t.dbt", level, tavlo::OpenMode::ReadOnly);
      memo->NextFreeBlock();
      for (std::int32_t block : blocks) {
        std::string text = memo->LoadMemoText(block);
        tavlo::TMyBlobFile stream(tavlo::TMyBlobFile::Mode::Read);
        memo->LoadMemo(block, stream);
        if (stream.Data() != text) __builtin_trap();  // two ways to one memo must agree
        char buffer[97];
        while (stream.Read(buffer, sizeof buffer) == sizeof buffer) {
        }
        stream.Seek(block);
        stream.Read(buffer, sizeof buffer);
        stream.Close();
      }
    } catch (const tavlo::Exception&) {
    }
    tavlo::TPagedFile::Release(memo);
  }
  return 0;
}
