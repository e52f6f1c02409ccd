// Fuzz target: opens the input as a data file (and its second half as the memo file), reads
// the descriptors, every record, every field and every memo it names. Checks only that
// nothing crashes, leaks or reads out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "dbf/dbffile.h"
#include "dbf/fieldconvert.h"
#include "dbf/memofile.h"
#include "platform/desktophost.h"
#include "platform/filesystem.h"

namespace {

using namespace tavlo;

// Files live in memory: "data" and "memo" hold the two parts of the input.
class MemoryFiles : public FileSystem {
 public:
  std::string data, memo;
  std::unique_ptr<ByteStream> Open(const std::string& path, OpenMode) override {
    auto stream = NewMemoryStream();
    const std::string& bytes = path == "t.dbf" ? data : memo;
    if (!bytes.empty()) stream->WriteAt(0, bytes.data(), bytes.size());
    return stream;
  }
  bool FileExists(const std::string&) override { return true; }
  bool DirectoryExists(const std::string&) override { return false; }
  bool DeleteFile(const std::string&) override { return false; }
  bool RenameFile(const std::string&, const std::string&) override { return false; }
  bool CreateDirectory(const std::string&) override { return false; }
  bool RemoveDirectory(const std::string&) override { return false; }
  std::vector<DirectoryEntry> ListDirectory(const std::string&) override { return {}; }
  std::int64_t FileSize(const std::string&) override { return -1; }
};

// Shows nothing and keeps nothing, so that a long fuzzing run does not collect messages.
class QuietHost : public SilentDesktopHost {
 public:
  void ShowMessage(const std::string&) override {}
  void Say(const std::string&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  static MemoryFiles files;
  static QuietHost host;
  ScopedFileSystem scopedFiles(files);
  ScopedDesktopHost scopedHost(host);
  const std::size_t half = size / 2;
  files.data.assign(reinterpret_cast<const char*>(bytes), size - half);
  files.memo.assign(reinterpret_cast<const char*>(bytes) + (size - half), half);

  TDbfFile* file = nullptr;
  TDbtFile* memo = nullptr;
  try {
    file = new TDbfFile("t.dbf", OpenMode::ReadOnly);
    memo = new TDbtFile("t.dbt", file->Level(), OpenMode::ReadOnly);
    TFieldDefs defs;
    file->LoadFieldList(defs);
    std::vector<std::uint8_t> record(static_cast<std::size_t>(file->RecordSize()));
    const std::int64_t count = std::min<std::int64_t>(file->RecordCount(), 64);
    for (std::int64_t r = 0; r < count; ++r) {
      file->ReadRecord(r, record.data());
      for (int f = 0; f < file->FieldCount(); ++f) {
        FieldSlot slot{*file, f, defs[f].name};
        FieldTextValue(slot, record.data());
        FieldDisplayText(slot, record.data());
        FieldVariantValue(slot, record.data());
        if (file->FieldInfo(f).type == TFieldType::ftMemo) {
          std::int32_t block = 0;
          if (file->DecodeField(f, TFieldType::ftInteger, &block, record.data())) {
            memo->LoadMemoText(block);
          }
        }
      }
    }
  } catch (const Exception&) {
    // Damaged input is expected to fail with one of the engine's errors.
  }
  TPagedFile::Release(memo);
  TPagedFile::Release(file);
  return 0;
}
