// tavlo-cli dump TABLE: prints the visible records of a table as CSV (RFC 4180) or TSV, in
// UTF-8, every field as the grid shows it except memos (their text) and dates (yyyy-mm-dd
// unless --date-format regional), so that import reads it back; --filter shows only the
// records a filter script accepts, through the same record filter as the main window. Opens
// the table read-only, so it never writes to it.

#include <cstdio>
#include <string>

#include "cli/command.h"
#include "dbf/fields.h"
#include "dbf/tdbf.h"
#include "platform/codepage.h"
#include "platform/textcodec.h"
#include "query/recordfilter.h"
#include "script/qelscript.h"
#include "text/qelstrings.h"
#include "text/trim.h"
#include "words/library.h"
#include "workspace/delimitedtext.h"

namespace tavlo::cli {

namespace {

int Dump(const std::vector<std::string>& arguments) {
  std::string table;
  bool showDeleted = false;
  bool countOnly = false;
  bool tsv = false;
  bool regionalDates = false;
  bool filtered = false;
  bool planning = true;
  int codePage = 0;
  std::string filterText;
  std::vector<std::string> orderFields;
  bool descending = false;
  std::string indexTag;
  bool byTag = false;
  std::vector<std::string> indexFiles;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (TakeIndexFileArgument(arguments, i, indexFiles)) continue;
    if (argument == "--filter") {
      if (i + 1 >= arguments.size()) throw UsageError("missing script after --filter");
      filtered = true;
      filterText = arguments[++i];
    } else if (argument == "--order") {
      if (i + 1 >= arguments.size()) throw UsageError("missing field names after --order");
      std::string names = arguments[++i];
      std::size_t start = 0;
      for (;;) {
        const std::size_t comma = names.find(',', start);
        std::string name(TrimControl(std::string_view(names).substr(
            start, comma == std::string::npos ? std::string::npos : comma - start)));
        if (name.empty()) throw UsageError("empty field name in --order '" + names + "'");
        orderFields.push_back(name);
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
    } else if (argument == "--index") {
      if (i + 1 >= arguments.size()) throw UsageError("missing tag after --index");
      indexTag = arguments[++i];
      byTag = true;
    } else if (argument == "--descending") {
      descending = true;
    } else if (argument == "--no-plan") {
      planning = false;
    } else if (argument == "--deleted") {
      showDeleted = true;
    } else if (argument == "--count") {
      countOnly = true;
    } else if (argument == "--tsv") {
      tsv = true;
    } else if (argument == "--date-format") {
      if (i + 1 >= arguments.size())
        throw UsageError("missing iso or regional after --date-format");
      const std::string form = arguments[++i];
      if (form != "iso" && form != "regional")
        throw UsageError("--date-format takes iso or regional, not '" + form + "'");
      regionalDates = form == "regional";
    } else if (argument == "--codepage") {
      if (i + 1 >= arguments.size()) throw UsageError("missing page after --codepage");
      codePage = ParseCodePageArgument(arguments[++i]);
    } else if (!argument.empty() && argument[0] == '-') {
      throw UsageError("unknown option '" + argument + "'");
    } else if (table.empty()) {
      table = argument;
    } else {
      throw UsageError("more than one table given");
    }
  }
  if (table.empty()) throw UsageError("missing table");
  if (descending && orderFields.empty()) throw UsageError("--descending needs --order");
  if (byTag && !orderFields.empty()) throw UsageError("--index and --order cannot be combined");

  TDbf dbf;
  dbf.SetTableName(AbsolutePath(table));
  dbf.SetReadOnly(true);
  dbf.SetShowDeleted(showDeleted);
  dbf.SetCodePage(codePage);
  TqelScript script;
  TRecordFilter filter(dbf, script);
  filter.SetPlanning(planning);
  if (filtered) {
    // Compile before the table is opened: a script that does not compile reads no record.
    RegisterLibraryWords();
    filter.SetFilterText(CurrentCodePages().Utf8ToAnsi(filterText));
  }
  OpenTable(dbf, indexFiles);
  // Text the locale's ANSI page cannot hold (a Cyrillic table under a Western locale, UTF-8,
  // Chinese) is shown through a session page that holds it, before any value is read; the
  // filter's literals then compare in that page too.
  const int sessionPage = SuitableAnsiPage(dbf.DbfFile()->CodePage(), DefaultAnsiCodePage());
  if (sessionPage != CurrentCodePages().AnsiCodePage()) {
    UseSessionAnsiCodePage(sessionPage);
    if (filtered) filter.SetFilterText(CurrentCodePages().Utf8ToAnsi(filterText));
  }
  if (!dbf.MemoFileProblemText().empty()) {
    std::fflush(stdout);
    std::fprintf(stderr, "tavlo-cli: warning: memo file %s; memo fields show as (MEMO)\n",
                 dbf.MemoFileProblemText().c_str());
  }
  if (!orderFields.empty()) dbf.SetOrder(orderFields, descending);
  if (byTag) dbf.SetTagOrder(indexTag);
  // Both paths leave the cursor on the first visible record; a filter error stops here or
  // at the Next that meets the failing record.
  if (filtered) {
    filter.Apply();
  } else {
    dbf.First();
  }

  if (countOnly) {
    long long count = 0;
    for (; !dbf.AtEnd(); dbf.Next()) ++count;
    std::printf("%lld\n", count);
    return 0;
  }

  TDelimitedFormat format;
  format.tsv = tsv;
  format.delimiter = tsv ? '\t' : ',';
  format.regionalDates = regionalDates;
  WriteDelimitedRecords(dbf, format, showDeleted, [](const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
  });
  std::fflush(stdout);
  dbf.Close();
  return 0;
}

const CommandRegistration kDump(
    {"dump",
     "dump TABLE [--deleted] [--count] [--tsv] [--date-format iso|regional] [--codepage N] "
     "[--filter SCRIPT [--no-plan]] [--order FIELD[,FIELD...] [--descending] | --index TAG] "
     "[--index-file FILE]...",
     "print the visible records as CSV (UTF-8, memo texts, dates yyyy-mm-dd or with "
     "--date-format regional in the short date form, what tavlo-cli import reads back; --deleted "
     "adds deleted records and a _deleted "
     "column, --count prints only their number, --tsv separates with tabs, --codepage N reads "
     "the text in page N instead of the table's own, --filter keeps the records for which "
     "SCRIPT yields true; --no-plan runs the interpreter on every record even for a script the "
     "record filter would test on the record's bytes; --order sorts by the fields named, "
     "numbers by value, dates by day, logicals false first, texts without regard to ASCII "
     "case, empty values first, equal keys in file order; --descending reverses the keys; --index "
     "follows the order of a tag of the table's index files, as the tag holds it; --index-file "
     "FILE attaches FILE besides the table's own index files)",
     Dump});

}  // namespace

}  // namespace tavlo::cli
