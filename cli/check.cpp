// tavlo-cli check TABLE and tavlo-cli repair TABLE --output FIXED: the table doctor in batch.
#include <iostream>

#include "cli/command.h"
#include "dbf/tabledoctor.h"

namespace tavlo::cli {
namespace {

int RunCheck(const std::vector<std::string>& arguments) {
  std::string table;
  std::vector<std::string> indexFiles;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (TakeIndexFileArgument(arguments, i, indexFiles)) continue;
    if (arguments[i].empty() || arguments[i][0] == '-' || !table.empty())
      throw UsageError("check needs exactly one table");
    table = arguments[i];
  }
  if (table.empty()) throw UsageError("check needs exactly one table");
  for (std::string& path : indexFiles) path = AbsolutePath(path);
  const TTableReport report = CheckTable(TableArgument(table), indexFiles);
  std::cout << report.Text();
  return report.Clean() ? 0 : 1;
}

int RunRepair(const std::vector<std::string>& arguments) {
  std::string table;
  std::string output;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i] == "--output" && i + 1 < arguments.size()) {
      output = arguments[++i];
    } else if (!arguments[i].empty() && arguments[i][0] != '-' && table.empty()) {
      table = arguments[i];
    } else {
      throw UsageError("unknown argument " + arguments[i]);
    }
  }
  if (table.empty() || output.empty()) throw UsageError("repair needs a table and --output FILE");
  const TRepairResult result = RepairTable(TableArgument(table), output);
  std::cout << result.Text();
  return 0;
}

const CommandRegistration kCheck({"check", "check TABLE [--index-file FILE]...",
                                  "List every problem of a table's files without changing them, "
                                  "its index files included: damaged trees and tags that do not "
                                  "hold the table's keys (exit 1 when there is one; notes are no "
                                  "problems); --index-file FILE checks FILE too",
                                  RunCheck});
const CommandRegistration kRepair({"repair", "repair TABLE --output FIXED.dbf",
                                   "Write a repaired copy of a table with its memo file; values "
                                   "it cannot keep go to FIXED.rejects.csv (the original is only "
                                   "read)",
                                   RunRepair});

}  // namespace
}  // namespace tavlo::cli
