// tavlo-cli pack TABLE: removes the deleted records and their memos for good.
#include <iostream>

#include "cli/command.h"
#include "dbf/tablepack.h"

namespace tavlo::cli {
namespace {

int RunPack(const std::vector<std::string>& arguments) {
  if (arguments.size() != 1 || arguments[0].empty() || arguments[0][0] == '-')
    throw UsageError("pack needs exactly one table");
  const TPackResult result = PackTable(TableArgument(arguments[0]));
  std::cout << result.kept << " records kept, " << result.removed << " deleted records removed\n"
            << "The old table is kept as " << result.backupPath;
  if (!result.backupMemoPath.empty()) std::cout << " and " << result.backupMemoPath;
  std::cout << " until the next pack\n";
  return 0;
}

const CommandRegistration kPack({"pack", "pack TABLE",
                                 "Remove deleted records and unused memos for good (the old "
                                 "files are kept as NAME.bak.*)",
                                 RunPack});

}  // namespace
}  // namespace tavlo::cli
