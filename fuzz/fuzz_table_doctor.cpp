// libFuzzer target: arbitrary bytes as a data file and its memo file, checked and repaired.
// Besides crashes, leaks and undefined behaviour, a repaired copy that does not check clean
// counts: whatever the damage, the copy must be a table without problems.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "dbf/tabledoctor.h"
#include "fuzz/fuzzsupport.h"
#include "text/qelstrings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static tavlo::fuzz::JailFiles files;
  static tavlo::fuzz::QuietHost host;
  tavlo::ScopedFileSystem scopedFiles(files);
  tavlo::ScopedDesktopHost scopedHost(host);
  files.Clear();
  // Two bytes give the length of the data file; the rest is the memo file. The top bit of
  // the first leaves the memo file out, so that a missing one is tried too.
  if (size < 2) return 0;
  const bool memo = (data[0] & 0x80) == 0;
  const std::size_t length = std::min<std::size_t>(size - 2, ((data[0] & 0x7F) << 8) | data[1]);
  const char* bytes = reinterpret_cast<const char*>(data) + 2;
  tavlo::SaveStringToFile("t.dbf", std::string(bytes, length));
  if (memo) tavlo::SaveStringToFile("t.dbt", std::string(bytes + length, size - 2 - length));

  try {
    tavlo::CheckTable("t.dbf").Text();
  } catch (const tavlo::Exception&) {
  }
  bool repaired = false;
  try {
    tavlo::RepairTable("t.dbf", "fixed.dbf").Text();
    repaired = true;
  } catch (const tavlo::Exception&) {
  }
  if (repaired && !tavlo::CheckTable("fixed.dbf").Clean()) __builtin_trap();
  return 0;
}
