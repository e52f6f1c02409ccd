// Runs a fuzz target's entry point over files instead of under libFuzzer, so that its seeds and
// every saved crash input replay in the ordinary and sanitizer test builds. Arguments are files
// or folders (read recursively, in name order); the empty input always runs first. A missing
// argument is an error: a renamed corpus folder must not turn the test into one that passes
// without running anything.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

bool CollectInputs(const fs::path& path, std::vector<fs::path>& inputs) {
  std::error_code error;
  if (fs::is_regular_file(path, error)) {
    inputs.push_back(path);
    return true;
  }
  if (!fs::is_directory(path, error)) return false;
  std::vector<fs::path> found;
  for (const auto& entry : fs::recursive_directory_iterator(path, error)) {
    if (entry.is_regular_file()) found.push_back(entry.path());
  }
  std::sort(found.begin(), found.end());
  inputs.insert(inputs.end(), found.begin(), found.end());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<fs::path> inputs;
  for (int i = 1; i < argc; ++i) {
    if (!CollectInputs(argv[i], inputs)) {
      std::fprintf(stderr, "no such file or folder: %s\n", argv[i]);
      return 2;
    }
  }
  // libFuzzer never passes a null pointer, not even for the empty input.
  static const std::uint8_t kNothing = 0;
  LLVMFuzzerTestOneInput(&kNothing, 0);
  for (const fs::path& input : inputs) {
    // Named before it runs: a crash report then says which input it was.
    std::fprintf(stderr, "input %s\n", input.c_str());
    std::ifstream file(input, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(
        bytes.empty() ? &kNothing : reinterpret_cast<const std::uint8_t*>(bytes.data()),
        bytes.size());
  }
  std::printf("%zu inputs and the empty input ran\n", inputs.size());
  return 0;
}
