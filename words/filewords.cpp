// The file and folder words and the file-name parts. File names are split at "\" and "/"
// and after a drive colon, so that names written for the desktop and Linux paths both work.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/filenames.h"
#include "platform/filesystem.h"
#include "script/qelscript.h"
#include "script/registry.h"
#include "text/qelstrings.h"
#include "words/commonwords.h"

namespace tavlo {

namespace {

void PushText(TqelScript& s, std::string text) {
  s.Push(Variant(std::move(text)));
}

void WordFiles(TqelScript& s) {
  const std::string mask = s.PopText();
  const std::string folder = s.PopFileName();
  std::vector<std::string> list;
  const TWorkMeter meter = s.WorkMeter();
  ListFiles(folder, mask, list, meter);
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
    {"createdir", WordCreateDir, TqelWordAccess::ChangesOutside},
    {"removedir", WordRemoveDir, TqelWordAccess::ChangesOutside},
    {"deletefile", WordDeleteFile, TqelWordAccess::ChangesOutside},
    {"renamefile", WordRenameFile, TqelWordAccess::ChangesOutside},
    {"chdir", WordChDir, TqelWordAccess::ChangesOutside},
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
