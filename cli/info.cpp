// tavlo-cli info TABLE: the header, the fields, the code page and the attached files of a
// table with their tags, read without writing anything. What the opening corrected goes to stderr
// through the desktop host.
#include <iostream>

#include "cli/command.h"
#include "dbf/tablefiles.h"
#include "platform/desktophost.h"
#include "workspace/tableinfo.h"

namespace tavlo::cli {
namespace {

int RunInfo(const std::vector<std::string>& arguments) {
  std::string table;
  int codePage = 0;
  std::vector<std::string> indexFiles;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (TakeIndexFileArgument(arguments, i, indexFiles)) {
      indexFiles.back() = AbsolutePath(indexFiles.back());
    } else if (arguments[i] == "--codepage") {
      if (i + 1 >= arguments.size()) throw UsageError("missing page after --codepage");
      codePage = ParseCodePageArgument(arguments[++i]);
    } else if (!arguments[i].empty() && arguments[i][0] == '-') {
      throw UsageError("unknown option '" + arguments[i] + "'");
    } else if (table.empty()) {
      table = arguments[i];
    } else {
      throw UsageError("info takes exactly one TABLE");
    }
  }
  if (table.empty()) throw UsageError("info takes exactly one TABLE");
  const std::string dataPath = ResolveDataFilePath(table);
  std::vector<std::string> diagnostics;
  std::string text;
  ShowMessagesAfter(
      [&] { text = TableInformationText(dataPath, diagnostics, codePage, indexFiles); },
      diagnostics);
  std::cout << text;
  return 0;
}

const CommandRegistration kInfo({"info", "info TABLE [--codepage N] [--index-file FILE]...",
                                 "Show the header, fields, code page and attached memo and "
                                 "index files of a table with every tag (--codepage N: read "
                                 "it in page N; --index-file FILE: list FILE with the "
                                 "table's own index files)",
                                 RunInfo});

}  // namespace
}  // namespace tavlo::cli
