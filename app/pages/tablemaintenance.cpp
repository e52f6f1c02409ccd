// The "Table" page's maintenance buttons.
#include "app/pages/tablemaintenance.h"

#include <optional>

#include "app/pages/pagehost.h"
#include "app/widgets/buttonpanel.h"
#include "dbf/tabledoctor.h"
#include "dbf/tablepack.h"
#include "dbf/tdbf.h"
#include "platform/asciitext.h"
#include "platform/desktophost.h"
#include "platform/errors.h"
#include "platform/filenames.h"
#include "text/qelstrings.h"
#include "workspace/delimitedtext.h"
#include "workspace/tableinfo.h"

namespace tavlo {

TTableMaintenance::TTableMaintenance(TPageHost& host, ButtonPanel& panel, QObject* parent)
    : QObject(parent), host_(host) {
  panel.AddSeparator();
  btninfo = panel.AddButton("btninfo", "Table information", "dialog-information", IconShape::Info,
                            QKeySequence(Qt::CTRL | Qt::Key_I));
  btnindex = panel.AddButton("btnindex", "Open index...", "document-open", IconShape::Open);
  btncheck = panel.AddButton("btncheck", "Check table", "", IconShape::Check);
  btnpack = panel.AddButton("btnpack", "Pack table", "", IconShape::Pack);
  panel.AddSeparator();
  btnimport =
      panel.AddButton("btnimport", "Append from CSV...", "document-import", IconShape::Import);
  btnexport = panel.AddButton("btnexport", "Export CSV...", "document-export", IconShape::Export);
  connect(btninfo, &QToolButton::clicked, this, &TTableMaintenance::btninfoClick);
  connect(btnindex, &QToolButton::clicked, this, &TTableMaintenance::btnindexClick);
  connect(btncheck, &QToolButton::clicked, this, &TTableMaintenance::btncheckClick);
  connect(btnpack, &QToolButton::clicked, this, &TTableMaintenance::btnpackClick);
  connect(btnimport, &QToolButton::clicked, this, &TTableMaintenance::btnimportClick);
  connect(btnexport, &QToolButton::clicked, this, &TTableMaintenance::btnexportClick);
}

std::string TTableMaintenance::OpenTablePath() {
  if (host_.CurrentTable().empty()) host_.ShowError("No table is open");
  return host_.CurrentTable();
}

void TTableMaintenance::btninfoClick() {
  const std::string path = OpenTablePath();
  if (path.empty()) return;
  try {
    std::vector<std::string> diagnostics;
    std::string text;
    const std::vector<std::string> indexFiles = host_.Cursor().IndexFiles();
    ShowMessagesAfter([&] { text = TableInformationText(path, diagnostics, 0, indexFiles); },
                      diagnostics);
    Host().ShowReport("Table information - " + ExtractFileName(path), text, "");
  } catch (const std::exception& error) {
    host_.ShowError(error.what());
  }
}

void TTableMaintenance::btnindexClick() {
  const std::string path = OpenTablePath();
  if (path.empty()) return;
  // Other programs name their index files in either case.
  const std::optional<std::string> chosen = Host().OpenFileDialog(
      "Open index",
      "Index files|*.cdx;*.idx;*.mdx;*.ndx;*.ntx;*.CDX;*.IDX;*.MDX;*.NDX;*.NTX|All files (*)|*",
      ExtractFilePath(path));
  if (!chosen) return;
  try {
    host_.AttachIndexFile(*chosen);
    host_.ShowStatus("Index file " + ExtractFileName(*chosen) + " attached");
    if (OnIndexAttached) OnIndexAttached();
  } catch (const std::exception& error) {
    host_.ShowError(error.what());
  }
}

void TTableMaintenance::btncheckClick() {
  const std::string path = OpenTablePath();
  if (path.empty()) return;
  try {
    // The check reads the files: what the user typed must be on disk first.
    if (!host_.ConfirmPendingEdit()) return;
    const TTableReport report = CheckTable(path, host_.Cursor().IndexFiles());
    const bool repair = Host().ShowReport("Check table - " + ExtractFileName(path), report.Text(),
                                          report.Clean() ? "" : "Repair into a new file...");
    if (!repair) return;
    const std::optional<std::string> output = Host().SaveFileDialog(
        "Repair into a new file", "Dbase files (*.dbf)|*.dbf", ExtractFilePath(path), "dbf");
    if (!output) return;
    const TRepairResult result = RepairTable(path, ChangeFileExt(*output, ".dbf"));
    Host().ShowReport("Repaired copy - " + ExtractFileName(*output), result.Text(), "");
    host_.ShowStatus("Repaired copy written to " + ChangeFileExt(*output, ".dbf"));
  } catch (const std::exception& error) {
    host_.ShowError(error.what());
  }
}

void TTableMaintenance::btnpackClick() {
  const std::string path = OpenTablePath();
  if (path.empty()) return;
  try {
    if (!host_.ConfirmPendingEdit()) return;
    const std::int64_t deleted = CountDeletedRecords(path);
    if (deleted == 0) {
      Host().ShowMessage("The table has no deleted records to remove");
      return;
    }
    const std::string question =
        "Pack table? " + std::to_string(deleted) +
        (deleted == 1 ? " deleted record is" : " deleted records are") +
        " removed for good. The old files are kept as " +
        ExtractFileName(ChangeFileExt(path, ".bak" + ExtractFileExt(path))) +
        " until the next pack.";
    if (Host().Ask(question, false) != Answer::Yes) return;
  } catch (const std::exception& error) {
    host_.ShowError(error.what());
    return;
  }
  // The program's own cursor holds the table: it lets go for the pack and opens it again,
  // packed or not.
  host_.CloseTable();
  if (!host_.CurrentTable().empty()) return;  // the close was cancelled
  try {
    const TPackResult result = PackTable(path);
    host_.ShowStatus("Packed: " + std::to_string(result.removed) + " deleted records removed, " +
                     std::to_string(result.kept) + " kept");
  } catch (const std::exception& error) {
    host_.ShowError(error.what());
  }
  host_.OpenTable(path, true);
}

void TTableMaintenance::btnimportClick() {
  const std::string path = OpenTablePath();
  if (path.empty()) return;
  const std::optional<std::string> chosen = Host().OpenFileDialog(
      "Append from CSV", "CSV files (*.csv)|*.csv|Tab-separated (*.tsv)|*.tsv|All files (*)|*",
      ExtractFilePath(path));
  if (!chosen) return;
  try {
    if (!host_.ConfirmPendingEdit()) return;
    const std::string text = LoadFileToString(*chosen);
    TDelimitedFormat format;
    if (LowerAscii(ExtractFileExt(*chosen)) == ".tsv") {
      format.tsv = true;
      format.delimiter = '\t';
    }
    TImportResult result;
    if (!host_.ChangeRecordSet([&] { result = ImportDelimited(host_.Cursor(), text, format); }))
      return;
    Host().ShowReport("Append from CSV - " + ExtractFileName(*chosen), result.Text(), "");
    host_.ShowStatus(std::to_string(result.appended) + " records appended from " +
                     ExtractFileName(*chosen));
  } catch (const std::exception& error) {
    host_.ShowError(error.what());
  }
}

void TTableMaintenance::btnexportClick() {
  const std::string path = OpenTablePath();
  if (path.empty()) return;
  const std::optional<std::string> chosen =
      Host().SaveFileDialog("Export CSV", "CSV files (*.csv)|*.csv", ExtractFilePath(path), "csv");
  if (!chosen) return;
  try {
    if (!host_.ConfirmPendingEdit()) return;
    std::string text;
    TDbf& dbf = host_.Cursor();
    // The records the grid shows, in its order and with its filter; the cursor comes back to
    // the record it was on.
    host_.ChangeRecordSet([&] {
      const TBookmark here = dbf.Bookmark();
      dbf.First();
      WriteDelimitedRecords(dbf, TDelimitedFormat(), false,
                            [&](const std::string& piece) { text += piece; });
      if (!dbf.IsEmpty()) dbf.GotoBookmark(here);
    });
    SaveStringToFile(*chosen, text);
    host_.ShowStatus("Exported to " + *chosen);
  } catch (const std::exception& error) {
    host_.ShowError(error.what());
  }
}

}  // namespace tavlo
