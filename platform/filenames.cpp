// File-name parts, split as filenames.h says.
#include "platform/filenames.h"

namespace tavlo {

namespace {

bool IsPathSeparator(char c) {
  return c == '\\' || c == '/';
}
bool IsNameDelimiter(char c) {
  return IsPathSeparator(c) || c == ':';
}

// 0-based index of the last separator or drive colon, or npos.
std::size_t LastNameDelimiter(const std::string& name) {
  for (std::size_t i = name.size(); i-- > 0;)
    if (IsNameDelimiter(name[i])) return i;
  return std::string::npos;
}

// 0-based index of the point that starts the extension, or npos.
std::size_t ExtensionPoint(const std::string& name) {
  for (std::size_t i = name.size(); i-- > 0;) {
    if (name[i] == '.') return i;
    if (IsNameDelimiter(name[i])) break;
  }
  return std::string::npos;
}

}  // namespace

std::string ChangeFileExt(const std::string& name, const std::string& ext) {
  const std::size_t point = ExtensionPoint(name);
  return (point == std::string::npos ? name : name.substr(0, point)) + ext;
}

std::string ExtractFilePath(const std::string& name) {
  const std::size_t at = LastNameDelimiter(name);
  return at == std::string::npos ? std::string() : name.substr(0, at + 1);
}

// Drops the final separator unless it follows a drive colon or another separator (a root).
std::string ExtractFileDir(const std::string& name) {
  std::size_t at = LastNameDelimiter(name);
  if (at == std::string::npos) return std::string();
  if (at > 0 && IsPathSeparator(name[at]) && !IsNameDelimiter(name[at - 1])) --at;
  return name.substr(0, at + 1);
}

std::string ExtractFileName(const std::string& name) {
  const std::size_t at = LastNameDelimiter(name);
  return at == std::string::npos ? name : name.substr(at + 1);
}

std::string ExtractFileExt(const std::string& name) {
  const std::size_t point = ExtensionPoint(name);
  return point == std::string::npos ? std::string() : name.substr(point);
}

// "C:" for a drive, "\\server\share" for a network name, else empty.
std::string ExtractFileDrive(const std::string& name) {
  if (name.size() >= 2 && name[1] == ':') return name.substr(0, 2);
  if (name.size() >= 2 && IsPathSeparator(name[0]) && IsPathSeparator(name[1])) {
    int separators = 0;
    std::size_t i = 2;
    for (; i < name.size(); ++i) {
      if (IsPathSeparator(name[i]) && ++separators == 2) break;
    }
    return name.substr(0, i);
  }
  return std::string();
}

}  // namespace tavlo
