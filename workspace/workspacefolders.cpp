// The workspace's folders and files, named once.
#include "workspace/workspacefolders.h"

#include "platform/filenames.h"

namespace tavlo {

namespace {
constexpr const char* kTables = "tables";
constexpr const char* kForms = "forms";
constexpr const char* kReports = "reports";
}  // namespace

TWorkspaceFolders::TWorkspaceFolders(std::string root) : root_(std::move(root)) {
  if (root_.empty() || root_.back() != '/') root_ += '/';
}

std::string TWorkspaceFolders::TablesFolder() const {
  return root_ + kTables;
}

std::string TWorkspaceFolders::FormsFolder() const {
  return root_ + kForms;
}

std::string TWorkspaceFolders::ReportsFolder() const {
  return root_ + kReports;
}

std::string TWorkspaceFolders::TableFile(const std::string& name) const {
  return TablesFolder() + "/" + name;
}

std::string TWorkspaceFolders::FormFile(const std::string& name) const {
  return FormsFolder() + "/" + name;
}

std::string TWorkspaceFolders::ReportFile(const std::string& name) const {
  return ReportsFolder() + "/" + name;
}

std::string TWorkspaceFolders::HelpFile() const {
  return root_ + "Tavlo.hlp";
}

std::string SettingsFilePath(const std::string& executablePath) {
  return ChangeFileExt(executablePath, ".ini");
}

}  // namespace tavlo
