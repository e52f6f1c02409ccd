// tavlo-cli info TABLE: the header, the fields and the attached files of a table, read
// without writing anything. Opening messages go to stderr through the desktop host.
#include <iostream>

#include "app/core/tableinfo.h"
#include "cli/command.h"
#include "platform/filenames.h"

namespace tavlo::cli {
namespace {

int RunInfo(const std::vector<std::string>& arguments) {
  if (arguments.size() != 1) throw UsageError("info takes exactly one TABLE");
  std::cout << TableInformationText(ChangeFileExt(arguments[0], ".dbf"));
  return 0;
}

const CommandRegistration kInfo({"info", "info TABLE",
                                 "Show the header, fields and attached memo and index files of "
                                 "a table",
                                 RunInfo});

}  // namespace
}  // namespace tavlo::cli
