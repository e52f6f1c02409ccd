// tavlo-cli import TABLE FILE.csv: appends the rows of a CSV (or TSV) file to a table.
#include <iostream>

#include "cli/command.h"
#include "dbf/tdbf.h"
#include "platform/codepage.h"
#include "platform/textcodec.h"
#include "text/qelstrings.h"
#include "workspace/delimitedtext.h"

namespace tavlo::cli {
namespace {

int RunImport(const std::vector<std::string>& arguments) {
  std::vector<std::string> files;
  TDelimitedFormat format;
  std::vector<std::string> indexFiles;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (TakeIndexFileArgument(arguments, i, indexFiles)) continue;
    if (argument == "--tsv") {
      format.tsv = true;
      format.delimiter = '\t';
    } else if (argument == "--delimiter") {
      if (i + 1 >= arguments.size() || arguments[i + 1].size() != 1)
        throw UsageError("--delimiter takes one character");
      format.delimiter = arguments[++i][0];
    } else if (!argument.empty() && argument[0] == '-') {
      throw UsageError("unknown option '" + argument + "'");
    } else {
      files.push_back(argument);
    }
  }
  if (files.size() != 2) throw UsageError("import needs a table and a CSV file");
  const std::string text = LoadFileToString(files[1]);
  TDbf dbf;
  dbf.SetTableName(AbsolutePath(files[0]));
  OpenTable(dbf, indexFiles);
  // Text the locale's ANSI page cannot hold (Cyrillic under a Western locale) goes through
  // a session page that holds the table's characters, as dump reads it.
  const int sessionPage = SuitableAnsiPage(dbf.DbfFile()->CodePage(), DefaultAnsiCodePage());
  if (sessionPage != CurrentCodePages().AnsiCodePage()) UseSessionAnsiCodePage(sessionPage);
  const TImportResult result = ImportDelimited(dbf, text, format);
  dbf.Close();
  std::cout << CurrentCodePages().AnsiToUtf8(result.Text());
  return result.refused == 0 ? 0 : 1;
}

const CommandRegistration kImport(
    {"import", "import TABLE FILE.csv [--tsv] [--delimiter C] [--index-file FILE]...",
     "append the rows of a CSV file (UTF-8 or UTF-16, a header row "
     "of field names; dates yyyy-mm-dd or regional) to a table; a "
     "row is stored with every value whole or refused and listed "
     "with its line (exit code 1 when any is refused; --index-file "
     "FILE attaches FILE besides the table's own index files)",
     RunImport});

}  // namespace
}  // namespace tavlo::cli
