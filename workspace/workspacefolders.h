// Where the workspace lies: tables/, forms/ and reports/ in the folder of the executable, the
// help file beside it, and the settings file named after the executable. Every path into the
// workspace is made here; the layers below workspace/ never know of these folders.
#pragma once

#include <string>

namespace tavlo {

class TWorkspaceFolders {
 public:
  // The workspace in root, the executable's folder ("/" added when missing).
  explicit TWorkspaceFolders(std::string root);

  // The executable's folder, with a trailing "/".
  const std::string& Root() const { return root_; }
  // The folders, without a trailing "/": the file dialogs and the chooser start in them.
  std::string TablesFolder() const;
  std::string FormsFolder() const;
  std::string ReportsFolder() const;
  // A file of one of them ("<root>forms/<name>").
  std::string TableFile(const std::string& name) const;
  std::string FormFile(const std::string& name) const;
  std::string ReportFile(const std::string& name) const;
  // The program's help file, "<root>Tavlo.hlp".
  std::string HelpFile() const;

 private:
  std::string root_;
};

// The settings file of an executable: its path with the extension replaced by ".ini"
// (appended when the name has none).
std::string SettingsFilePath(const std::string& executablePath);

}  // namespace tavlo
