// The report generator: template sections, record bodies with markers, the cursor walk.
#include "workspace/reportbuilder.h"

#include "dbf/fields.h"
#include "dbf/tdbf.h"
#include "text/qelstrings.h"

namespace tavlo {

namespace {

// How many records pass between two progress calls: often enough for a responsive cancel
// button, rarely enough to cost nothing.
constexpr int kProgressStep = 512;

// One section from pos on; pos moves past it (see ParseReportTemplate).
std::string TakeSection(const std::string& text, const std::string& openTag,
                        const std::string& closeTag, int& pos) {
  const int open = PosFromNoCase(openTag, text, pos);
  if (open == 0) {
    pos = 0;  // PosFromNoCase takes a start below 1 as 1
    return {};
  }
  const int close = PosFromNoCase(closeTag, text, open);
  if (close == 0) {
    pos = open;
    return {};
  }
  const std::size_t from = static_cast<std::size_t>(open - 1) + openTag.size();
  pos = close + static_cast<int>(closeTag.size());
  return text.substr(from, static_cast<std::size_t>(close - 1) - from);
}

}  // namespace

TReportTemplate ParseReportTemplate(const std::string& text) {
  TReportTemplate sections;
  int pos = 1;
  sections.reportHeader = TakeSection(text, "<reportheader>", "</reportheader>", pos);
  sections.recordHeader = TakeSection(text, "<recordheader>", "</recordheader>", pos);
  sections.record = TakeSection(text, "<record>", "</record>", pos);
  sections.recordFooter = TakeSection(text, "<recordfooter>", "</recordfooter>", pos);
  sections.reportFooter = TakeSection(text, "<reportfooter>", "</reportfooter>", pos);
  return sections;
}

TRecordBody::TRecordBody(const std::string& body, const TDataSet& dataSet) {
  int from = 1;
  auto addText = [this](std::string text) {
    if (text.empty()) return;
    if (!pieces_.empty() && pieces_.back().field == nullptr)
      pieces_.back().text += text;
    else
      pieces_.push_back(Piece{std::move(text), nullptr});
  };
  for (;;) {
    const int first = PosFrom("[[", body, from);
    if (first == 0) break;
    const int last = PosFrom("]]", body, first);
    if (last == 0) break;
    addText(
        body.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(first - from)));
    std::string name = body.substr(static_cast<std::size_t>(first + 1),
                                   static_cast<std::size_t>(last - first - 2));
    if (TField* field = dataSet.FindField(name))
      pieces_.push_back(Piece{{}, field});
    else
      addText(std::move(name));
    from = last + 2;
  }
  if (static_cast<std::size_t>(from) <= body.size())
    addText(body.substr(static_cast<std::size_t>(from - 1)));
}

void TRecordBody::AppendTo(std::string& out) const {
  for (const Piece& piece : pieces_) {
    if (piece.field != nullptr)
      out += piece.field->TextValue();
    else
      out += piece.text;
  }
}

TReportResult BuildReportText(const std::string& templatePath, const std::string& currentTable,
                              TDbf& cursor, const TReportProgress& progress) {
  TReportResult result;
  if (currentTable.empty()) return result;
  const TReportTemplate sections = ParseReportTemplate(LoadFileToString(templatePath));
  if (sections.record.empty()) {
    result.status = TReportStatus::rsNoRecordBody;
    return result;
  }
  cursor.First();
  if (cursor.AtEnd()) {
    result.status = TReportStatus::rsNoRecords;
    return result;
  }
  // Field objects live while the table is open, and the walk neither opens nor closes it.
  const TRecordBody body(sections.record, cursor);
  std::string& text = result.text;
  text = sections.reportHeader;
  int sinceProgress = 0;
  while (!cursor.AtEnd()) {
    text += sections.recordHeader;
    body.AppendTo(text);
    text += sections.recordFooter;
    cursor.Next();
    if (progress && ++sinceProgress == kProgressStep) {
      sinceProgress = 0;
      if (!progress(cursor.AtEnd() ? cursor.RecordCount() : cursor.RecordNumber(),
                    cursor.RecordCount())) {
        result.status = TReportStatus::rsCancelled;
        result.text.clear();
        result.text.shrink_to_fit();
        return result;
      }
    }
  }
  text += sections.reportFooter;
  result.status = TReportStatus::rsBuilt;
  return result;
}

std::string BuildReport(const std::string& templatePath, const std::string& currentTable,
                        TDbf& cursor, const TReportProgress& progress) {
  TReportResult result = BuildReportText(templatePath, currentTable, cursor, progress);
  if (result.status != TReportStatus::rsBuilt) return {};
  return std::move(result.text);
}

}  // namespace tavlo
