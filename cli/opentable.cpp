// Opening a table for a command: what the opening corrected is said before the command goes on.
#include "cli/command.h"
#include "dbf/tableindexes.h"
#include "dbf/tdbf.h"
#include "platform/desktophost.h"

namespace tavlo::cli {

bool TakeIndexFileArgument(const std::vector<std::string>& arguments, std::size_t& i,
                           std::vector<std::string>& indexFiles) {
  if (arguments[i] != "--index-file") return false;
  if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
    throw UsageError("missing file after --index-file");
  }
  indexFiles.push_back(arguments[++i]);
  return true;
}

void OpenTable(TDbf& dbf, const std::vector<std::string>& indexFiles) {
  // Each file is read before the table opens: a refused one leaves the table untouched.
  std::vector<std::string> paths;
  for (const std::string& path : indexFiles) {
    paths.push_back(AbsolutePath(path));
    OpenIndexFile(paths.back(), TableIndexOpenOptions());
  }
  dbf.SetIndexFiles(paths);
  ShowMessagesAfter([&] { dbf.Open(); }, dbf.OpenDiagnostics());
}

}  // namespace tavlo::cli
