// libFuzzer target of the form file reader (form files are exchanged between users): any
// text is split into lines, the first gives the table path, every other line is read as a
// control. A control that was read must write one line (no line break inside) that reads
// back and writes the same line again. Only crashes, leaks, undefined behaviour and a failed
// round trip count.
#include <cstddef>
#include <cstdint>
#include <string>

#include "workspace/formfile.h"
#include "text/qelstrings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::string> lines = tavlo::SplitLines(text);
  if (lines.empty()) return 0;
  tavlo::FormTablePath(lines[0], "/nonexistent/", [](const std::string& path) {
    return path.size() % 2 == 0;  // both branches of the fallback, without touching files
  });
  for (std::size_t i = 1; i < lines.size(); ++i) {
    tavlo::FormControlDesc desc;
    if (!tavlo::LineToControl(lines[i], desc)) continue;
    const std::string written = tavlo::ControlToLine(desc);
    if (written.find_first_of("\r\n") != std::string::npos) __builtin_trap();
    tavlo::FormControlDesc back;
    if (!tavlo::LineToControl(written, back)) __builtin_trap();
    if (tavlo::ControlToLine(back) != written) __builtin_trap();
  }
  return 0;
}
