// The file and folder words and the file-name parts. File names are split at "\" and "/"
// and after a drive colon, so that names written for the desktop and Linux paths both work.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/filesystem.h"
#include "script/qelscript.h"
#include "script/registry.h"
#include "script/words/commonwords.h"
#include "text/qelstrings.h"

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

void PushText(TqelScript& s, std::string text) {
  s.Push(Variant(std::move(text)));
}

void WordFiles(TqelScript& s) {
  const std::string mask = s.PopText();
  const std::string folder = s.PopFileName();
  std::vector<std::string> list;
  ListFiles(folder, mask, list);
  std::string out;
  for (const std::string& entry : list) out.append(entry).append("\r\n");
  PushText(s, std::move(out));
}

void WordFileExists(TqelScript& s) {
  s.Push(Variant(Files().FileExists(s.PopText())));
}
void WordDirectoryExists(TqelScript& s) {
  s.Push(Variant(Files().DirectoryExists(s.PopText())));
}
// These four report nothing: a failure leaves the file system as it was.
void WordCreateDir(TqelScript& s) {
  Files().CreateDirectory(s.PopText());
}
void WordRemoveDir(TqelScript& s) {
  Files().RemoveDirectory(s.PopText());
}
void WordDeleteFile(TqelScript& s) {
  Files().DeleteFile(s.PopText());
}

void WordRenameFile(TqelScript& s) {
  const std::string to = s.PopText();
  Files().RenameFile(s.PopText(), to);
}

// The file system interface has no current folder (the engine itself never uses one), so
// this word makes the one call of its own.
void WordChDir(TqelScript& s) {
  const std::string folder = s.PopText();
  if (::chdir(folder.c_str()) != 0) {
    throw EInOutError("Cannot change the current folder to " + folder + ": " +
                      std::strerror(errno));
  }
}

void WordChangeFileExt(TqelScript& s) {
  const std::string ext = s.PopText();
  PushText(s, ChangeFileExt(s.PopText(), ext));
}

void WordExtractFilePath(TqelScript& s) {
  PushText(s, ExtractFilePath(s.PopText()));
}
void WordExtractFileDir(TqelScript& s) {
  PushText(s, ExtractFileDir(s.PopText()));
}
void WordExtractFileName(TqelScript& s) {
  PushText(s, ExtractFileName(s.PopText()));
}
void WordExtractFileExt(TqelScript& s) {
  PushText(s, ExtractFileExt(s.PopText()));
}
void WordExtractFileDrive(TqelScript& s) {
  PushText(s, ExtractFileDrive(s.PopText()));
}

const TqelWord kFileWords[] = {
    {"files", WordFiles},
    {"fileexists", WordFileExists},
    {"directoryexists", WordDirectoryExists},
    {"createdir", WordCreateDir},
    {"removedir", WordRemoveDir},
    {"deletefile", WordDeleteFile},
    {"renamefile", WordRenameFile},
    {"chdir", WordChDir},
    {"changefileext", WordChangeFileExt},
    {"extractfilepath", WordExtractFilePath},
    {"extractfiledir", WordExtractFileDir},
    {"extractfilename", WordExtractFileName},
    {"extractfileext", WordExtractFileExt},
    {"extractfiledrive", WordExtractFileDrive},
};

}  // namespace

void RegisterFileWords() {
  RegisterWords(kFileWords);
}

}  // namespace tavlo
