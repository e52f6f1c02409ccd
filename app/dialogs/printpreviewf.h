// TPrintPreviewF: the print preview of the "Report" page, made for one use and freed after.
// It lays a copy of the display's document out into printed pages (2 cm margins), with a
// progress box whose "Cancel" stops the preparation, and offers page navigation, zoom,
// orientation and printing through the platform's print dialog (which can print to PDF).
// It never changes the document it was made from.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPrinter>
#include <QToolButton>
#include <functional>
#include <memory>

class QPrintPreviewWidget;
class QTextDocument;

namespace tavlo {

class TPrintPreviewF : public QDialog {
  Q_OBJECT
 public:
  // document is copied at each preparation; it must outlive the window.
  TPrintPreviewF(const QTextDocument& document, QWidget* parent = nullptr);
  ~TPrintPreviewF() noexcept override;

  // Lays the pages out for the preview, with progress; false when the user cancelled.
  bool Prepare();
  int PageCount() const;
  int CurrentPage() const;

  // Asks for the printer to print on; the platform's print dialog unless replaced.
  std::function<bool(QPrinter& printer, QWidget* parent)> ChoosePrinter;
  void PrintClick();
  // Lays out and paints every page onto printer with progress; false when cancelled.
  bool PaintPages(QPrinter* printer);

  // How long the preparation runs before its progress box appears.
  static int ProgressDelayMs;

  QPrintPreviewWidget* Preview = nullptr;
  QToolButton* btnfirst = nullptr;
  QToolButton* btnprior = nullptr;
  QToolButton* btnnext = nullptr;
  QToolButton* btnlast = nullptr;
  QToolButton* btnzoomin = nullptr;
  QToolButton* btnzoomout = nullptr;
  QToolButton* btnfitwidth = nullptr;
  QToolButton* btnfitpage = nullptr;
  QToolButton* btnorientation = nullptr;
  QToolButton* btnprint = nullptr;
  QToolButton* btnclose = nullptr;
  QLabel* lblpage = nullptr;

 private:
  void UpdateControls();

  const QTextDocument& source_;
  QPrinter printer_;
  bool cancelled_ = false;
};

}  // namespace tavlo
