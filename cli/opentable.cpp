// Opening a table for a command: what the opening corrected is said before the command goes on.
#include "cli/command.h"
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
  ShowMessagesAfter([&] { dbf.Open(); }, dbf.OpenDiagnostics());
  for (const std::string& path : indexFiles) dbf.AttachIndexFile(AbsolutePath(path));
}

}  // namespace tavlo::cli
