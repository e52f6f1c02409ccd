// libFuzzer target of the settings file reader: the first line of the input names a section,
// the second a key, the rest is the settings file. Reads that key and every section header's
// keys, then writes and reads back. Only crashes, leaks, undefined behaviour and a write that
// does not read back count.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>

#include "workspace/inifile.h"
#include "fuzz/fuzzsupport.h"

namespace {

// Names the file format can hold: no brackets, "=", blanks at the ends or line breaks.
bool PlainName(const std::string& name) {
  if (name.empty()) return false;
  for (unsigned char c : name)
    if (!std::isalnum(c)) return false;
  return true;
}

std::string TakeLine(std::string& text) {
  const std::size_t cut = text.find('\n');
  std::string line = text.substr(0, cut);
  text.erase(0, cut == std::string::npos ? text.size() : cut + 1);
  return line;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static tavlo::fuzz::ImageFiles files;
  tavlo::ScopedFileSystem scoped(files);
  std::string text(reinterpret_cast<const char*>(data), size);
  const std::string section = TakeLine(text);
  const std::string key = TakeLine(text);
  files.images["t.ini"] = text;

  tavlo::IniFile ini("t.ini");
  ini.ReadString(section, key, "d");
  ini.ReadInteger(section, key, -1);
  ini.ReadBool(section, key, false);
  for (const std::string& line : ini.Lines()) {
    int value = 0;
    tavlo::ParseIniInteger(line, value);
    if (line.size() > 2 && line.front() == '[' && line.back() == ']')
      ini.ReadString(line.substr(1, line.size() - 2), key, "");
  }
  tavlo::SplitIniLines(text);

  if (PlainName(section) && PlainName(key)) {
    ini.WriteString(section, key, "written");
    if (ini.ReadString(section, key, "") != "written") __builtin_trap();
    ini.WriteInteger(section, key, -12345);
    if (ini.ReadInteger(section, key, 0) != -12345) __builtin_trap();
    ini.WriteBool(section, key, true);
    if (!ini.ReadBool(section, key, false)) __builtin_trap();
  }
  return 0;
}
