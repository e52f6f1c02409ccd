// The settings file reader and writer: lines, section and key lookup, and the insert rules
// that decide where a new key goes.
#include "workspace/inifile.h"

#include <climits>
#include <cstdint>

#include "platform/asciitext.h"
#include "platform/filesystem.h"
#include "text/qelstrings.h"
#include "text/trim.h"

namespace tavlo {
namespace {

bool IsSectionLine(const std::string& line) {
  const std::string_view trimmed = TrimControl(line);
  return !trimmed.empty() && trimmed.front() == '[' && trimmed.back() == ']';
}

std::string KeyName(const std::string& line) {
  const std::size_t equals = line.find('=');
  if (equals == std::string::npos) return std::string();
  return std::string(TrimControl(std::string_view(line).substr(0, equals)));
}

// The value only counts when the key itself stands before the first "=".
std::string KeyValue(const std::string& line, const std::string& key) {
  const std::size_t equals = line.find('=');
  if (key.empty() || equals == std::string::npos) return std::string();
  const std::size_t at = line.find(key);
  if (at == std::string::npos || at >= equals) return std::string();
  return std::string(TrimControl(std::string_view(line).substr(equals + 1)));
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::vector<std::string> SplitIniLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string current;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(current);
      current.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      current += c;
    }
  }
  if (!current.empty()) lines.push_back(current);
  return lines;
}

bool ParseIniInteger(const std::string& text, int& value) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  }
  if (i >= text.size()) return false;
  std::int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const int digit = HexDigit(text[i]);
    if (digit < 0 || digit >= base) return false;
    magnitude = magnitude * base + digit;
    // Hexadecimal text may spell the full 32-bit pattern ($FFFFFFFF is -1).
    const std::int64_t limit = base == 16 ? 0xFFFFFFFFLL : static_cast<std::int64_t>(INT_MAX) + 1;
    if (magnitude > limit) return false;
  }
  if (base == 16) {
    std::int64_t result = magnitude > INT_MAX ? magnitude - 0x100000000LL : magnitude;
    value = static_cast<int>(negative ? -result : result);
    return true;
  }
  if (negative) magnitude = -magnitude;
  if (magnitude > INT_MAX || magnitude < INT_MIN) return false;
  value = static_cast<int>(magnitude);
  return true;
}

IniFile::IniFile(std::string path) : path_(std::move(path)) {
  FileSystem& files = Files();
  if (!files.FileExists(path_)) return;
  std::unique_ptr<ByteStream> stream = files.Open(path_, OpenMode::ReadOnly);
  const std::int64_t size = stream->Size();
  std::string text(static_cast<std::size_t>(size), '\0');
  const std::size_t got = size > 0 ? stream->ReadAt(0, text.data(), text.size()) : 0;
  text.resize(got);
  lines_ = SplitIniLines(text);
}

int IniFile::FindSection(const std::string& section) const {
  const std::string header = "[" + section + "]";
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    if (EqualNoCaseAscii(lines_[i], header)) return static_cast<int>(i);
  }
  return -1;
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const {
  const int header = FindSection(section);
  if (header < 0) return defaultValue;
  for (std::size_t i = static_cast<std::size_t>(header) + 1; i < lines_.size(); ++i) {
    if (IsSectionLine(lines_[i])) break;
    if (KeyName(lines_[i]) == key) {
      const std::string value = KeyValue(lines_[i], key);
      return value.empty() ? defaultValue : value;
    }
  }
  return defaultValue;
}

int IniFile::ReadInteger(const std::string& section, const std::string& key,
                         int defaultValue) const {
  std::string text = ReadString(section, key, "");
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    text = "$" + text.substr(2);
  int value = 0;
  return ParseIniInteger(text, value) ? value : defaultValue;
}

bool IniFile::ReadBool(const std::string& section, const std::string& key,
                       bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
  // Work on a copy so that a failed save leaves this object matching the file.
  std::vector<std::string> lines = lines_;
  const int header = FindSection(section);
  if (header < 0) {
    lines.emplace_back();
    lines.push_back("[" + section + "]");
    if (!key.empty()) lines.push_back(key + "=" + value);
  } else {
    std::size_t i = static_cast<std::size_t>(header) + 1;
    while (i < lines.size() && !IsSectionLine(lines[i]) && KeyName(lines[i]) != key) ++i;
    if (!key.empty()) {
      if (i < lines.size() && !IsSectionLine(lines[i]))
        lines[i] = key + "=" + value;
      else
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(i), key + "=" + value);
    }
  }
  std::swap(lines, lines_);
  try {
    Save();
  } catch (...) {
    std::swap(lines, lines_);
    throw;
  }
}

void IniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
  WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void IniFile::Save() const {
  std::string text;
  for (const std::string& line : lines_) {
    text += line;
    text += "\r\n";
  }
  SaveStringToFile(path_, text);
}

}  // namespace tavlo
