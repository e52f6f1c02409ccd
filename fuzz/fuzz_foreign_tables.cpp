// Fuzz target: opens the input through the table cursor as a table of any format with its
// memo file and .cpg file (the first byte picks which memo file and which code page, the rest
// is split between the data and memo files) and reads every field of every record in every
// view, memos and blobs included. Covers the FoxPro, Visual FoxPro and dBase 7 readers, FPT
// memos, null flags and code-page translation. Checks only that nothing crashes, leaks or
// reads out of bounds.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbf/fields.h"
#include "dbf/tdbf.h"
#include "platform/codepage.h"
#include "platform/desktophost.h"
#include "platform/filesystem.h"

namespace {

using namespace tavlo;

class MemoryFiles : public FileSystem {
 public:
  std::string data, memo, cpg;
  bool foxMemo = false;
  std::unique_ptr<ByteStream> Open(const std::string& path, OpenMode) override {
    auto stream = NewMemoryStream();
    const std::string& bytes = Bytes(path);
    if (!bytes.empty()) stream->WriteAt(0, bytes.data(), bytes.size());
    return stream;
  }
  bool FileExists(const std::string& path) override {
    return path == "/t.dbf" || path == (foxMemo ? "/t.fpt" : "/t.dbt") ||
           (path == "/t.cpg" && !cpg.empty());
  }
  bool DirectoryExists(const std::string&) override { return false; }
  bool DeleteFile(const std::string&) override { return false; }
  bool RenameFile(const std::string&, const std::string&) override { return false; }
  bool CreateDirectory(const std::string&) override { return false; }
  bool RemoveDirectory(const std::string&) override { return false; }
  std::vector<DirectoryEntry> ListDirectory(const std::string&) override { return {}; }
  std::int64_t FileSize(const std::string& path) override {
    return static_cast<std::int64_t>(Bytes(path).size());
  }

 private:
  const std::string& Bytes(const std::string& path) const {
    if (path == "/t.dbf") return data;
    if (path == "/t.cpg") return cpg;
    return memo;
  }
};

class QuietHost : public SilentDesktopHost {
 public:
  void ShowMessage(const std::string&) override {}
  void Say(const std::string&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  static MemoryFiles files;
  static QuietHost host;
  static const std::unique_ptr<CodePages> utf8Session = NewTableCodePages(437, 65001);
  if (size < 1) return 0;
  static const char* const kCpgTexts[] = {"", "UTF-8", "1251", "936", "CP950", "88591"};
  files.foxMemo = (bytes[0] & 1) != 0;
  files.cpg = kCpgTexts[(bytes[0] >> 1) % 6];
  const bool utf8 = (bytes[0] & 0x10) != 0;
  ++bytes;
  --size;
  ScopedFileSystem scopedFiles(files);
  ScopedDesktopHost scopedHost(host);
  std::unique_ptr<ScopedCodePages> session;
  if (utf8) session = std::make_unique<ScopedCodePages>(*utf8Session);
  const std::size_t half = size / 2;
  files.data.assign(reinterpret_cast<const char*>(bytes), size - half);
  files.memo.assign(reinterpret_cast<const char*>(bytes) + (size - half), half);

  try {
    TDbf dbf;
    dbf.SetTableName("/t.dbf");
    dbf.SetReadOnly(true);
    dbf.Open();
    int records = 0;
    for (dbf.First(); !dbf.AtEnd() && records < 64; dbf.Next(), ++records) {
      for (int f = 0; f < dbf.FieldCount(); ++f) {
        TField& field = dbf.Fields(f);
        field.IsNull();
        field.TextValue();
        field.DisplayText();
        field.VariantValue();
      }
    }
  } catch (const Exception&) {
    // Damaged input is expected to fail with one of the engine's errors.
  }
  return 0;
}
