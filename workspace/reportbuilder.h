// The report generator: reads a report template (.drpt), splits it into its five tagged
// sections and writes the report header once, every record of the table cursor framed by the
// record header and footer with its [[NAME]] markers replaced, and the report footer. Plain
// C++ shared by the main window and tavlo-cli; it never shows a message and never writes a
// file — the caller writes the text, so a report that is not made leaves nothing behind.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tavlo {

class TDataSet;
class TDbf;
class TField;

// The five sections of a template; a section whose tags are missing is empty.
struct TReportTemplate {
  std::string reportHeader;
  std::string recordHeader;
  std::string record;
  std::string recordFooter;
  std::string reportFooter;
};

// Finds the sections in their fixed order, tags without regard to case. Each search starts
// after the closing tag of the section before; a missing section restarts the search at the
// beginning, a missing closing tag leaves it at the opening tag.
TReportTemplate ParseReportTemplate(const std::string& text);

// A record body cut once into literal text and markers, so that a million records do not
// search the body a million times. Replacing the markers of a copy one by one, never
// rescanning a replacement, gives the same text: the markers found depend only on the body.
class TRecordBody {
 public:
  // Markers are "[[" name "]]", found with case; an opening "[[" without a closing "]]"
  // ends the markers (that text and all after it stay as they are). Each name is looked up
  // among dataSet's fields without regard to case; an unknown name stands for itself.
  TRecordBody(const std::string& body, const TDataSet& dataSet);
  // Appends the body with every marker replaced by its field's text value of the current
  // record (inserted as it is, no escaping).
  void AppendTo(std::string& out) const;

 private:
  struct Piece {
    std::string text;         // literal text, or the bare name of an unknown marker
    TField* field = nullptr;  // set for a marker naming a field
  };
  std::vector<Piece> pieces_;
};

// The records reached so far and the physical size of the table, now and then while the
// cursor is walked; false cancels the report.
using TReportProgress = std::function<bool(int position, int total)>;

enum class TReportStatus {
  rsBuilt,         // text holds the report
  rsNoTable,       // no table is open
  rsNoRecordBody,  // the template has no record body (or it is empty)
  rsNoRecords,     // the cursor has no record (none accepted by the filter)
  rsCancelled      // the progress callback said stop
};

struct TReportResult {
  TReportStatus status = TReportStatus::rsNoTable;
  std::string text;
};

// Builds the report of templatePath over cursor. currentTable empty means no table is open.
// The cursor moves to its first record and is walked once to its end (where it stays). A
// template that cannot be read and a cursor failure raise their own exceptions.
TReportResult BuildReportText(const std::string& templatePath, const std::string& currentTable,
                              TDbf& cursor, const TReportProgress& progress = {});

// The report text, or empty when no report can be made (or it was cancelled).
std::string BuildReport(const std::string& templatePath, const std::string& currentTable,
                        TDbf& cursor, const TReportProgress& progress = {});

}  // namespace tavlo
