// libFuzzer target: the filter plan against the interpreter. The input's first eight bytes
// seed a random small table and a random script of the planned shapes; any bytes after them
// are the table instead, and the script is made over its fields. The record filter then runs
// every record with the plan and with the interpreter, and any difference in a verdict or an
// error is a crash. Tables are written inside the fuzzer's private folder only.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/filterdifferential.h"
#include "fuzz/fuzzsupport.h"
#include "words/library.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static tavlo::fuzz::JailFiles folder;
  static tavlo::fuzz::QuietHost host;
  static const bool registered = (tavlo::RegisterLibraryWords(), true);
  (void)registered;
  tavlo::ScopedDesktopHost scopedHost(host);
  std::uint64_t seed = 0;
  std::memcpy(&seed, data, size < sizeof seed ? size : sizeof seed);
  // Bytes after the seed are a table of their own (the seed files hold real tables); the
  // seed then only picks the script.
  const tavlo::filterdiff::Outcome outcome =
      size > sizeof seed
          ? tavlo::filterdiff::CheckTable(
                seed, folder.Folder() + "/t.dbf",
                std::string(reinterpret_cast<const char*>(data) + sizeof seed, size - sizeof seed))
          : tavlo::filterdiff::Check(seed, folder.Folder() + "/t.dbf");
  if (!outcome.difference.empty()) {
    std::fprintf(stderr, "plan and interpreter differ:\n%s", outcome.difference.c_str());
    std::abort();
  }
  return 0;
}
