// tavlo-cli dump TABLE: prints the visible records of a table as CSV (RFC 4180) or TSV, in
// UTF-8, with the display text of every field as the grid shows it; --filter shows only the
// records a filter script accepts, through the same record filter as the main window. Opens
// the table read-only, so it never writes to it.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/core/recordfilter.h"
#include "cli/command.h"
#include "dbf/fields.h"
#include "dbf/tdbf.h"
#include "platform/codepage.h"
#include "script/qelscript.h"
#include "text/qelstrings.h"
#include "words/library.h"

namespace tavlo::cli {

namespace {

std::string AbsolutePath(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char folder[4096];
  if (getcwd(folder, sizeof folder) == nullptr) return path;
  return std::string(folder) + "/" + path;
}

// Output in large blocks: a million records must not mean a million writes.
class Output {
 public:
  ~Output() { Flush(); }
  void Add(const std::string& text) {
    buffer_ += text;
    if (buffer_.size() >= 1 << 16) Flush();
  }
  void Add(char c) { buffer_ += c; }
  void Flush() {
    if (!buffer_.empty()) std::fwrite(buffer_.data(), 1, buffer_.size(), stdout);
    buffer_.clear();
  }

 private:
  std::string buffer_;
};

// RFC 4180: a value holding a comma, a quote or a line break is quoted, quotes doubled.
void AddCsvValue(Output& out, const std::string& value) {
  if (value.find_first_of(",\"\r\n") == std::string::npos) {
    out.Add(value);
    return;
  }
  std::string quoted = "\"";
  for (char c : value) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  out.Add(quoted);
}

// TSV has no quoting: tabs, line breaks and backslashes are written as \t \n \r \\.
void AddTsvValue(Output& out, const std::string& value) {
  if (value.find_first_of("\t\r\n\\") == std::string::npos) {
    out.Add(value);
    return;
  }
  std::string escaped;
  for (char c : value) {
    switch (c) {
      case '\t':
        escaped += "\\t";
        break;
      case '\r':
        escaped += "\\r";
        break;
      case '\n':
        escaped += "\\n";
        break;
      case '\\':
        escaped += "\\\\";
        break;
      default:
        escaped += c;
    }
  }
  out.Add(escaped);
}

int Dump(const std::vector<std::string>& arguments) {
  std::string table;
  bool showDeleted = false;
  bool countOnly = false;
  bool tsv = false;
  bool filtered = false;
  bool planning = true;
  std::string filterText;
  std::vector<std::string> orderFields;
  bool descending = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
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
        std::string name = Trim(
            names.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (name.empty()) throw UsageError("empty field name in --order '" + names + "'");
        orderFields.push_back(name);
        if (comma == std::string::npos) break;
        start = comma + 1;
      }
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

  TDbf dbf;
  dbf.SetTableName(AbsolutePath(table));
  dbf.SetReadOnly(true);
  dbf.SetShowDeleted(showDeleted);
  TqelScript script;
  TRecordFilter filter(dbf, script);
  filter.SetPlanning(planning);
  if (filtered) {
    // Compile before the table is opened: a script that does not compile reads no record.
    RegisterLibraryWords();
    filter.SetFilterText(filterText);
  }
  dbf.Open();
  if (!orderFields.empty()) dbf.SetOrder(orderFields, descending);
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

  const CodePages& codePages = CurrentCodePages();
  const char separator = tsv ? '\t' : ',';
  const char* lineEnd = tsv ? "\n" : "\r\n";
  auto addValue = [tsv](Output& out, const std::string& value) {
    if (tsv) {
      AddTsvValue(out, value);
    } else {
      AddCsvValue(out, value);
    }
  };
  Output out;
  if (showDeleted) {
    addValue(out, "_deleted");
    if (dbf.FieldCount() > 0) out.Add(separator);
  }
  for (int i = 0; i < dbf.FieldCount(); ++i) {
    if (i > 0) out.Add(separator);
    addValue(out, codePages.AnsiToUtf8(dbf.Fields(i).FieldName()));
  }
  out.Add(lineEnd);
  for (; !dbf.AtEnd(); dbf.Next()) {
    if (showDeleted) {
      out.Add(dbf.IsDeleted() ? "*" : "");
      if (dbf.FieldCount() > 0) out.Add(separator);
    }
    for (int i = 0; i < dbf.FieldCount(); ++i) {
      if (i > 0) out.Add(separator);
      addValue(out, codePages.AnsiToUtf8(dbf.Fields(i).DisplayText()));
    }
    out.Add(lineEnd);
  }
  out.Flush();
  dbf.Close();
  return 0;
}

const CommandRegistration kDump(
    {"dump",
     "dump TABLE [--deleted] [--count] [--tsv] [--filter SCRIPT [--no-plan]] "
     "[--order FIELD[,FIELD...] [--descending]]",
     "print the visible records as CSV (UTF-8; --deleted adds deleted records and a _deleted "
     "column, --count prints only their number, --tsv separates with tabs, --filter keeps "
     "the records for which SCRIPT yields true; --no-plan runs the interpreter on every record "
     "even for a script the record filter would test on the record's bytes; --order sorts by "
     "the fields named, numbers by value, dates by day, logicals false first, texts without "
     "regard to ASCII case, empty values first, equal keys in file order; --descending "
     "reverses the keys)",
     Dump});

}  // namespace

}  // namespace tavlo::cli
