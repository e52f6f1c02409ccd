// tavlo-cli create TABLE DEFINITION_FILE: makes a new empty table from a definition text, as
// the table designer does. Never overwrites an existing table.
#include <cstdio>
#include <string>

#include "cli/command.h"
#include "dbf/tdbf.h"
#include "platform/filenames.h"
#include "platform/filesystem.h"
#include "text/qelstrings.h"
#include "workspace/tabledefinition.h"

namespace tavlo::cli {

namespace {

int Create(const std::vector<std::string>& arguments) {
  if (arguments.size() != 2) throw UsageError("expected a table and a definition file");
  for (const std::string& argument : arguments) {
    if (!argument.empty() && argument[0] == '-') {
      throw UsageError("unknown option '" + argument + "'");
    }
  }
  // "", "/" or "dir/" would make a table called ".dbf": a name is needed.
  const std::string name = ExtractFileName(arguments[0]);
  if (name.empty() || name.size() == ExtractFileExt(name).size()) {
    throw Exception("'" + arguments[0] + "' names no table file; give a name such as people.dbf");
  }
  std::string tablePath = TableFileForDefinition(AbsolutePath(arguments[0]));
  if (Files().FileExists(tablePath)) throw Exception(TableExistsMessage(tablePath));
  std::string text = LoadFileToString(arguments[1]);
  if (SplitLines(text).empty()) {
    throw Exception("no field definitions in " + arguments[1] + "; no table created");
  }
  TDbf dbf;
  TableDefinitionOutcome outcome = CreateTableFromDefinition(dbf, tablePath, text);
  if (!outcome.complete) {
    throw Exception("line " + std::to_string(outcome.failedLine) + " of " + arguments[1] +
                    " has no " + outcome.missing + "; no table created");
  }
  std::printf("%s\n", tablePath.c_str());
  return 0;
}

const CommandRegistration kCreate({"create", "create TABLE DEFINITION_FILE",
                                   "create an empty table from a table definition text "
                                   "(lines of name=\"..\" type=\"..\" size=\"..\")",
                                   Create});

}  // namespace

}  // namespace tavlo::cli
