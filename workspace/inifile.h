// IniFile: the settings file as a list of lines, read and written whole. Section names match
// without regard to case, keys with case; every write saves the whole file at once.
// Never caches anything between instances and never shows a message.
#pragma once

#include <string>
#include <vector>

namespace tavlo {

class IniFile {
 public:
  // Loads the file's lines when it exists; a missing file reads as empty.
  explicit IniFile(std::string path);

  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const;
  // Decimal, or hexadecimal after "$" or "0x"; the default when the text is no number.
  int ReadInteger(const std::string& section, const std::string& key, int defaultValue) const;
  bool ReadBool(const std::string& section, const std::string& key, bool defaultValue) const;

  // Each write changes the lines and saves the file; a file that cannot be written raises
  // the platform's file error and leaves the file as it was.
  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, int value);
  void WriteBool(const std::string& section, const std::string& key, bool value);

  const std::string& Path() const { return path_; }
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  int FindSection(const std::string& section) const;
  void Save() const;

  std::string path_;
  std::vector<std::string> lines_;
};

// Splits text into lines at CR LF, LF or CR; a final line break adds no empty line.
std::vector<std::string> SplitIniLines(const std::string& text);
// Delphi-style integer text: optional sign, then decimal digits or "$" and hex digits.
bool ParseIniInteger(const std::string& text, int& value);

}  // namespace tavlo
