// tavlo-cli report TEMPLATE TABLE: the report the main window's "Open Report" makes, for batch
// jobs and for checking a template without the window. Same generator, same cursor, same
// record filter; the report goes out in the template's and the table's bytes, unconverted,
// to standard output or, written once, to --output FILE. Opens the table read-only.
#include <cstdio>
#include <filesystem>
#include <string>

#include "cli/command.h"
#include "dbf/tdbf.h"
#include "platform/errors.h"
#include "query/recordfilter.h"
#include "script/qelscript.h"
#include "text/qelstrings.h"
#include "words/library.h"
#include "workspace/reportbuilder.h"

namespace tavlo::cli {

namespace {

// The cursor resolves a relative name against its own run-time path, not the folder the
// command was started in.
std::string AbsolutePath(const std::string& path) {
  std::error_code ignored;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ignored);
  return absolute.empty() ? path : absolute.string();
}

int RunReport(const std::vector<std::string>& arguments) {
  std::string templatePath;
  std::string table;
  std::string output;
  bool filtered = false;
  std::string filterText;
  std::vector<std::string> indexFiles;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (TakeIndexFileArgument(arguments, i, indexFiles)) continue;
    if (argument == "--filter" || argument == "--output") {
      if (i + 1 >= arguments.size()) throw UsageError("missing value after " + argument);
      if (argument == "--filter") {
        filtered = true;
        filterText = arguments[++i];
      } else {
        output = arguments[++i];
        if (output.empty()) throw UsageError("empty file name after --output");
      }
    } else if (!argument.empty() && argument[0] == '-' && argument != "-") {
      throw UsageError("unknown option '" + argument + "'");
    } else if (templatePath.empty()) {
      templatePath = argument;
    } else if (table.empty()) {
      table = argument;
    } else {
      throw UsageError("more than one table given");
    }
  }
  if (templatePath.empty()) throw UsageError("missing template");
  if (table.empty()) throw UsageError("missing table");

  TDbf dbf;
  dbf.SetTableName(AbsolutePath(table));
  dbf.SetReadOnly(true);
  dbf.SetShowDeleted(false);
  TqelScript script;
  TRecordFilter filter(dbf, script);
  if (filtered) {
    // Compile before the table is opened: a script that does not compile reads no record.
    RegisterLibraryWords();
    filter.SetFilterText(filterText);
  }
  OpenTable(dbf, indexFiles);
  if (filtered) filter.Apply();

  const TReportResult result = BuildReportText(templatePath, dbf.TableName(), dbf);
  dbf.Close();
  switch (result.status) {
    case TReportStatus::rsBuilt:
      break;
    case TReportStatus::rsNoRecordBody:
      throw Exception("no report: " + templatePath + " has no <record> section");
    case TReportStatus::rsNoRecords:
      throw Exception(filtered ? "no report: the filter accepts no record"
                               : "no report: the table has no record");
    case TReportStatus::rsNoTable:
    case TReportStatus::rsCancelled:
      throw Exception("no report");
  }
  if (!output.empty() && output != "-") {
    SaveStringToFile(output, result.text);
    return 0;
  }
  if (std::fwrite(result.text.data(), 1, result.text.size(), stdout) != result.text.size() ||
      std::fflush(stdout) != 0)
    throw EWriteError();
  return 0;
}

const CommandRegistration kReport(
    {"report", "report TEMPLATE TABLE [--filter SCRIPT] [--output FILE] [--index-file FILE]...",
     "make the HTML report of a .drpt template over the records of TABLE, as \"Open Report\" "
     "does (--filter keeps the records for which SCRIPT yields true; --output writes FILE "
     "instead of standard output; --index-file FILE attaches FILE besides the table's own index "
     "files; nothing is written when no report can be made)",
     RunReport});

}  // namespace

}  // namespace tavlo::cli
