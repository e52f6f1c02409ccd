// The "Report" page.
#include "app/pages/reportpage.h"

#include <QCoreApplication>
#include <QProgressDialog>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>
#include <optional>

#include "workspace/reportbuilder.h"
#include "app/dialogs/formselectf.h"
#include "app/dialogs/printpreviewf.h"
#include "app/pages/pagehost.h"
#include "app/pages/reportviewer.h"
#include "app/widgets/buttonpanel.h"
#include "platform/desktophost.h"
#include "platform/filesystem.h"
#include "text/qelstrings.h"
#include "workspace/workspacefolders.h"

namespace tavlo {

int TReportPage::ProgressDelayMs = 500;

TReportPage::TReportPage(TPageHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName("pageReport");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(2);
  auto* panel = new ButtonPanel(this);
  btnopenhtml = panel->AddButton("btnopenhtml", "Open HTML", "document-open", IconShape::Open);
  btnopenreport = panel->AddButton("btnopenreport", "Open Report", "x-office-document",
                                   IconShape::Report, QKeySequence(Qt::CTRL | Qt::Key_R));
  btnpreview = panel->AddButton("btnpreview", "Print Preview", "document-print-preview",
                                IconShape::Print, QKeySequence(Qt::CTRL | Qt::Key_P));
  panel->AddStretch();
  connect(btnopenhtml, &QToolButton::clicked, this, &TReportPage::btnopenhtmlClick);
  connect(btnopenreport, &QToolButton::clicked, this, &TReportPage::btnopenreportClick);
  connect(btnpreview, &QToolButton::clicked, this, &TReportPage::btnpreviewClick);
  layout->addWidget(panel);
  viewer = new THtmlViewer(this);
  viewer->HotSpotCovered = [this](const QString& target) { emit hotSpotCovered(target); };
  layout->addWidget(viewer, 1);
}

std::string TReportPage::ReportFile() const {
  return host_.Workspace().ReportFile("report.html");
}

void TReportPage::btnopenhtmlClick() {
  const std::optional<std::string> chosen =
      Host().OpenFileDialog("Open HTML", "HTML Files|*.htm*", host_.Workspace().ReportsFolder());
  if (chosen) ShowFile(*chosen);
}

void TReportPage::btnopenreportClick() {
  const std::optional<std::string> chosen =
      host_.FileChooser().ChooseFile(host_.Workspace().ReportsFolder(), "*.drpt", "Select Report");
  if (!chosen || !Files().FileExists(*chosen)) return;
  MakeReport(*chosen);
}

bool TReportPage::MakeReport(const std::string& templatePath) {
  // No table, no report, and no reason to disturb the grid.
  if (host_.CurrentTable().empty()) return false;
  // Window-modal, so that nothing but "Cancel" reaches the window while the cursor walks.
  QProgressDialog progress("Building the report...", "Cancel", 0, 1000, window());
  progress.setObjectName("ReportProgress");
  progress.setWindowTitle("Open Report");
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(ProgressDelayMs);
  progress.setValue(0);
  std::string text;
  // The grid and the other data controls stay quiet while the cursor walks, and learn the
  // records once at the end.
  host_.ChangeRecordSet([&] {
    text = BuildReport(
        templatePath, host_.CurrentTable(), host_.Cursor(), [&progress](int position, int total) {
          // Never back to 0: that value restarts the box's clock.
          const long long share = total > 0 ? 1 + 997LL * std::min(position, total) / total : 1;
          progress.setValue(static_cast<int>(share));
          return !progress.wasCanceled();
        });
  });
  if (text.empty()) return false;
  if (progress.isVisible()) {
    // Past the point of no return: writing and laying out the page take a while too.
    progress.setLabelText("Writing report.html and laying out its page...");
    progress.setCancelButton(nullptr);
    progress.setValue(999);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
  try {
    SaveStringToFile(ReportFile(), text);
  } catch (const std::exception& error) {
    progress.hide();
    host_.ShowError(error.what());
    return false;
  }
  text = std::string();  // the display reads the file; do not hold the report twice
  return ShowFile(ReportFile());
}

bool TReportPage::ShowFile(const std::string& path) {
  try {
    viewer->LoadFile(path);
    return true;
  } catch (const std::exception& error) {
    host_.ShowError(error.what());
    return false;
  }
}

void TReportPage::btnpreviewClick() {
  const auto preview = std::make_unique<TPrintPreviewF>(*viewer->document(), window());
  if (!preview->Prepare()) return;
  preview->exec();
}

}  // namespace tavlo
