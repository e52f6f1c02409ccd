// Helpers of the pack and commit-mark tests: a table whose every memo names its record, built
// straight as bytes; a reader of the files that does not go through the engine (so it sees
// what another program sees, and runs no recovery); and a file system that passes everything
// to the operating system's, for tests to hook single calls.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "platform/filesystem.h"
#include "tablefiles_testutil.h"

namespace tavlo::packtest {

using tablefiles_test::ReadBytes;
using tablefiles_test::WriteBytes;

// A table NAME C(12), NOTES M(10): record i is "R<i>", its memo "R<i> says " and a run of
// letters (every third one over a block long); every third record from the second on is
// deleted. Returns the number of live records.
inline int MakeMemoTable(const std::string& dataPath, const std::string& memoPath, int records) {
  std::string memo(512, '\0');
  std::string data(32, '\0');
  data[0] = '\x83';
  data[1] = 124;
  data[2] = 1;
  data[3] = 1;
  for (int b = 0; b < 4; ++b) data[4 + b] = static_cast<char>(records >> (8 * b));
  const int headerSize = 32 + 2 * 32 + 1;
  const int recordSize = 1 + 12 + 10;
  data[8] = static_cast<char>(headerSize & 0xFF);
  data[9] = static_cast<char>(headerSize >> 8);
  data[10] = static_cast<char>(recordSize);
  auto descriptor = [&](const char* name, char type, int length) {
    std::string d(32, '\0');
    d.replace(0, std::string(name).size(), name);
    d[11] = type;
    d[16] = static_cast<char>(length);
    data += d;
  };
  descriptor("NAME", 'C', 12);
  descriptor("NOTES", 'M', 10);
  data += '\r';
  int live = 0;
  for (int i = 0; i < records; ++i) {
    const bool deleted = i % 3 == 1;
    live += deleted ? 0 : 1;
    std::string name = "R" + std::to_string(i);
    std::string text =
        name + " says " + std::string(i % 3 == 0 ? 700 : 40, static_cast<char>('a' + i % 26));
    const int block = static_cast<int>(memo.size() / 512);
    memo += text + "\x1A\x1A";
    memo.resize((memo.size() + 511) / 512 * 512, '\0');
    std::string record =
        std::string(deleted ? "*" : " ") + name + std::string(12 - name.size(), ' ');
    const std::string digits = std::to_string(block);
    record += std::string(10 - digits.size(), ' ') + digits;
    data += record;
  }
  data += '\x1A';
  const std::uint32_t next = static_cast<std::uint32_t>(memo.size() / 512);
  for (int b = 0; b < 4; ++b)
    memo[static_cast<std::size_t>(b)] = static_cast<char>(next >> (8 * b));
  WriteBytes(dataPath, data);
  WriteBytes(memoPath, memo);
  return live;
}

// What another program finds under the table's names.
struct RawTable {
  bool dataThere = false;
  int live = 0;
  int deleted = 0;
  std::vector<std::string> problems;  // records whose memo is not their own, and the like
};

inline RawTable ReadRaw(const std::string& dataPath, const std::string& memoPath) {
  RawTable table;
  if (access(dataPath.c_str(), F_OK) != 0) return table;
  table.dataThere = true;
  const std::string data = ReadBytes(dataPath);
  const std::string memo = ReadBytes(memoPath);
  if (data.size() < 32) {
    table.problems.push_back("data file of " + std::to_string(data.size()) + " bytes");
    return table;
  }
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(data[i]); };
  const std::uint32_t count =
      byte(4) | byte(5) << 8 | byte(6) << 16 | static_cast<std::uint32_t>(byte(7)) << 24;
  const std::size_t headerSize = byte(8) | byte(9) << 8;
  const std::size_t recordSize = byte(10) | byte(11) << 8;
  if (recordSize != 23 || headerSize + count * recordSize > data.size()) {
    table.problems.push_back("header does not fit the file");
    return table;
  }
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::string record = data.substr(headerSize + i * recordSize, recordSize);
    if (record[0] == '*') {
      ++table.deleted;
      continue;
    }
    ++table.live;
    std::string name = record.substr(1, 12);
    name.erase(name.find_last_not_of(' ') + 1);
    const long block = std::strtol(record.substr(13, 10).c_str(), nullptr, 10);
    const std::size_t at = static_cast<std::size_t>(block) * 512;
    const std::string expected = name + " says ";
    if (block <= 0 || at + expected.size() > memo.size() ||
        memo.compare(at, expected.size(), expected) != 0)
      table.problems.push_back("record " + std::to_string(i) + " (" + name + ") has memo block " +
                               std::to_string(block) + ", not its own");
  }
  return table;
}

// The names in folder, hidden ones included.
inline std::set<std::string> FolderNames(const std::string& folder) {
  std::set<std::string> names;
  for (const DirectoryEntry& entry : OsFiles().ListDirectory(folder)) names.insert(entry.name);
  return names;
}

// Everything goes to the operating system's file system, its one-step creation and
// replacement and its file ids too (what a pack relies on); tests override single calls.
class PassThroughFileSystem : public testsupport::ForwardingFileSystem {
 public:
  std::unique_ptr<ByteStream> CreateNew(const std::string& path) override {
    return OsFiles().CreateNew(path);
  }
  bool PathExists(const std::string& p) override { return OsFiles().PathExists(p); }
  std::string FileId(const std::string& p) override { return OsFiles().FileId(p); }
  void ReplaceFile(const std::string& path, const std::string& bytes) override {
    OsFiles().ReplaceFile(path, bytes);
  }
};

// The exit status of a child, waited for: the code, or 128 + the signal that ended it.
inline int WaitFor(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace tavlo::packtest
