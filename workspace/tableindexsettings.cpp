// The index files of a table in the settings file.
#include "workspace/tableindexsettings.h"

#include <algorithm>

#include "workspace/formplacement.h"
#include "workspace/inifile.h"

namespace tavlo {

namespace {
const char kCount[] = "IndexFiles";
const char kFile[] = "IndexFile";
// More than any table has; a damaged count never makes the program read for long.
constexpr int kMostFiles = 256;
}  // namespace

std::vector<std::string> RememberedIndexFiles(const FormPlacementStore& settings,
                                              const std::string& tablePath) {
  const IniFile ini(settings.IniPath());
  const int count = std::min(ini.ReadInteger(tablePath, kCount, 0), kMostFiles);
  std::vector<std::string> files;
  for (int i = 1; i <= count; ++i) {
    std::string path = ini.ReadString(tablePath, kFile + std::to_string(i), "");
    if (!path.empty()) files.push_back(std::move(path));
  }
  return files;
}

void RememberIndexFiles(const FormPlacementStore& settings, const std::string& tablePath,
                        const std::vector<std::string>& files) {
  const int before = static_cast<int>(RememberedIndexFiles(settings, tablePath).size());
  for (std::size_t i = 0; i < files.size(); ++i) {
    settings.WriteString(tablePath, kFile + std::to_string(i + 1), files[i]);
  }
  // Entries past the new count are emptied, so that a shorter list leaves nothing behind.
  for (int i = static_cast<int>(files.size()) + 1; i <= before; ++i) {
    settings.WriteString(tablePath, kFile + std::to_string(i), "");
  }
  settings.WriteString(tablePath, kCount, std::to_string(files.size()));
}

}  // namespace tavlo
