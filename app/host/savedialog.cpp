// The program's save dialogs and the question before a file is replaced.
#include "app/host/savedialog.h"

#include <QFileInfo>

#include "app/host/qtdesktophost.h"
#include "platform/desktophost.h"
#include "platform/filenames.h"
#include "platform/filesystem.h"

namespace tavlo {

namespace {

bool SameFile(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  // Two spellings of one file (a link, "./", "..") are the same file.
  return a == b || QFileInfo(FromAnsi(a)) == QFileInfo(FromAnsi(b));
}

}  // namespace

bool MayReplace(const std::string& path, const std::string& opened) {
  if (!Files().FileExists(path) || SameFile(path, opened)) return true;
  return Host().Ask(ExtractFileName(path) + " already exists. Do you want to replace it?", false) ==
         Answer::Yes;
}

std::optional<std::string> ChooseSaveFile(const SaveDialogRequest& request) {
  const std::optional<std::string> chosen = Host().SaveFileDialog(
      request.title, request.filter, request.folder, request.defaultExtension);
  if (!chosen) return std::nullopt;
  const std::string path =
      request.forcedExtension.empty() ? *chosen : ChangeFileExt(*chosen, request.forcedExtension);
  // The dialog asked about the name it returned; a name made of it is asked about here.
  if (path != *chosen && !MayReplace(path, request.opened)) return std::nullopt;
  return path;
}

}  // namespace tavlo
