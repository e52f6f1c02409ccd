// TReportPage: the "Report" page of the main window — "Open HTML", "Open Report" and "Print
// Preview" over the HTML display `viewer`. "Open Report" builds report.html in the reports
// folder from a template and the open table's records (walked with the data controls quiet,
// with a cancellable progress box) and shows it. It reaches the shell only through TPageHost;
// a failure shows its message and leaves the page the display shows.
#pragma once

#include <QToolButton>
#include <QWidget>
#include <string>

namespace tavlo {

class TPageHost;
class THtmlViewer;

class TReportPage : public QWidget {
  Q_OBJECT
 public:
  explicit TReportPage(TPageHost& host, QWidget* parent = nullptr);

  // "Open HTML": dialog D4, then the display loads the chosen file.
  void btnopenhtmlClick();
  // "Open Report": a template from the reports folder, report.html written and shown.
  void btnopenreportClick();
  // "Print Preview": a preview window of the display's document, shown modally when its
  // pages were prepared, freed when it closes.
  void btnpreviewClick();

  // Builds the report of templatePath, writes report.html and shows it; false when no
  // report was made (nothing written, the display unchanged).
  bool MakeReport(const std::string& templatePath);
  // Loads a file into the display; its error goes to a message box. False on failure.
  bool ShowFile(const std::string& path);
  // reports/report.html of the workspace.
  std::string ReportFile() const;

  // How long a report runs before its progress box appears.
  static int ProgressDelayMs;

  QToolButton* btnopenhtml = nullptr;
  QToolButton* btnopenreport = nullptr;
  QToolButton* btnpreview = nullptr;
  THtmlViewer* viewer = nullptr;

 signals:
  // The link under the pointer in the display ("" when it leaves the link).
  void hotSpotCovered(const QString& target);

 private:
  TPageHost& host_;
};

}  // namespace tavlo
