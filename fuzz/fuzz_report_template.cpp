// libFuzzer target of report templates: any text is split into its sections, its record body
// is cut into markers and filled from a small table, and the whole report is built from the
// text as a template file. The marker replacement is checked against the plain
// copy-and-replace reading of the rules (replace one marker, continue after the replacement),
// so the precompiled body can never drift from it. Only crashes, leaks, undefined behaviour
// and a mismatch count.
#include <cstddef>
#include <cstdint>
#include <string>

#include "workspace/reportbuilder.h"
#include "dbf/fields.h"
#include "dbf/tdbf.h"
#include "fuzz/fuzzsupport.h"
#include "text/qelstrings.h"

namespace {

// The rules as written: a copy of the body, markers replaced one at a time.
std::string ReplaceMarkersOneByOne(std::string body, const tavlo::TDataSet& table) {
  int from = 1;
  for (;;) {
    const int first = tavlo::PosFrom("[[", body, from);
    if (first == 0) break;
    const int last = tavlo::PosFrom("]]", body, first);
    if (last == 0) break;
    const std::string name = body.substr(static_cast<std::size_t>(first + 1),
                                         static_cast<std::size_t>(last - first - 2));
    const tavlo::TField* field = table.FindField(name);
    const std::string replacement = field != nullptr ? field->TextValue() : name;
    body.replace(static_cast<std::size_t>(first - 1), static_cast<std::size_t>(last - first + 2),
                 replacement);
    from = first + static_cast<int>(replacement.size());
  }
  return body;
}

void MakeTable(const std::string& path) {
  tavlo::TDbf dbf;
  dbf.SetTableName(path);
  dbf.FieldDefs() = {{"NAME", tavlo::TFieldType::ftString, 12},
                     {"CITY", tavlo::TFieldType::ftString, 10}};
  dbf.CreateTableFile();
  dbf.Open();
  const char* rows[][2] = {{"Ann", "[[NAME]]"}, {"[[CITY", "]]Rome"}, {"", "x"}};
  for (const auto& row : rows) {
    dbf.Insert();
    dbf.LookupField("NAME").SetTextValue(row[0]);
    dbf.LookupField("CITY").SetTextValue(row[1]);
    dbf.Post();
  }
  dbf.Close();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static tavlo::fuzz::JailFiles folder;
  static tavlo::fuzz::QuietHost host;
  static const std::string table = folder.Folder() + "/towns.dbf";
  static const bool made = (MakeTable(table), true);
  (void)made;
  tavlo::ScopedDesktopHost scopedHost(host);
  const std::string text(reinterpret_cast<const char*>(data), size);

  const tavlo::TReportTemplate sections = tavlo::ParseReportTemplate(text);
  const std::size_t total = sections.reportHeader.size() + sections.recordHeader.size() +
                            sections.record.size() + sections.recordFooter.size() +
                            sections.reportFooter.size();
  // Sections may repeat text (a search restarts at the beginning) but never invent it.
  if (total > 5 * text.size()) __builtin_trap();

  tavlo::TDbf dbf;
  dbf.SetTableName(table);
  dbf.Open();
  for (dbf.First(); !dbf.AtEnd(); dbf.Next()) {
    const tavlo::TRecordBody body(text, dbf);
    std::string filled;
    body.AppendTo(filled);
    if (filled != ReplaceMarkersOneByOne(text, dbf)) __builtin_trap();
  }

  const std::string templatePath = folder.Folder() + "/t.drpt";
  tavlo::SaveStringToFile(templatePath, text);
  const tavlo::TReportResult result = tavlo::BuildReportText(templatePath, table, dbf);
  if (result.status == tavlo::TReportStatus::rsBuilt && sections.record.empty()) __builtin_trap();
  if (result.status != tavlo::TReportStatus::rsBuilt && !result.text.empty()) __builtin_trap();
  if (result.status == tavlo::TReportStatus::rsBuilt && !dbf.AtEnd()) __builtin_trap();
  dbf.Close();
  return 0;
}
