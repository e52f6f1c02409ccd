// The print preview window.
#include "app/dialogs/printpreviewf.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QProgressDialog>
#include <QTextDocument>
#include <QTextFrame>
#include <QVBoxLayout>
#include <algorithm>

#include "app/widgets/buttonpanel.h"

namespace tavlo {

int TPrintPreviewF::ProgressDelayMs = 400;

TPrintPreviewF::TPrintPreviewF(const QTextDocument& document, QWidget* parent)
    : QDialog(parent), source_(document), printer_(QPrinter::HighResolution) {
  setObjectName("PrintPreviewF");
  setWindowTitle("Print Preview");
  setSizeGripEnabled(true);
  printer_.setPageMargins(QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter);
  printer_.setDocName("Tavlo report");
  ChoosePrinter = [](QPrinter& printer, QWidget* owner) {
    QPrintDialog dialog(&printer, owner);
    dialog.setWindowTitle("Print");
    return dialog.exec() == QDialog::Accepted;
  };

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(2);
  auto* panel = new ButtonPanel(this);
  btnfirst = panel->AddButton("btnfirst", "First page", "go-first", IconShape::First,
                              QKeySequence(Qt::CTRL | Qt::Key_Home));
  btnprior = panel->AddButton("btnprior", "Previous page", "go-previous", IconShape::Prior,
                              QKeySequence(Qt::Key_PageUp));
  lblpage = new QLabel(panel);
  lblpage->setObjectName("lblpage");
  lblpage->setMinimumWidth(90);
  lblpage->setAlignment(Qt::AlignCenter);
  panel->AddWidget(lblpage);
  btnnext = panel->AddButton("btnnext", "Next page", "go-next", IconShape::Next,
                             QKeySequence(Qt::Key_PageDown));
  btnlast = panel->AddButton("btnlast", "Last page", "go-last", IconShape::Last,
                             QKeySequence(Qt::CTRL | Qt::Key_End));
  panel->AddSeparator();
  auto textButton = [panel](const char* name, const QString& hint, const QString& text,
                            const QKeySequence& key) {
    QToolButton* button = panel->AddButton(name, hint, "", IconShape::Design, key);
    button->setIcon(QIcon());
    button->setText(text);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return button;
  };
  btnzoomout = textButton("btnzoomout", "Zoom out", "Zoom \u2212", QKeySequence::ZoomOut);
  btnzoomin = textButton("btnzoomin", "Zoom in", "Zoom +", QKeySequence::ZoomIn);
  btnfitwidth = textButton("btnfitwidth", "Fit the page width", "Fit width", QKeySequence());
  btnfitpage = textButton("btnfitpage", "Fit the whole page", "Whole page", QKeySequence());
  btnorientation =
      textButton("btnorientation", "Portrait or landscape pages", "Landscape", QKeySequence());
  btnorientation->setCheckable(true);
  panel->AddSeparator();
  btnprint = panel->AddButton("btnprint", "Print", "document-print", IconShape::Print,
                              QKeySequence::Print);
  btnprint->setText("Print...");
  btnprint->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  panel->AddStretch();
  btnclose = panel->AddButton("btnclose", "Close", "window-close", IconShape::Close);
  btnclose->setText("Close");
  btnclose->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  layout->addWidget(panel);

  Preview = new QPrintPreviewWidget(&printer_, this);
  Preview->setObjectName("Preview");
  layout->addWidget(Preview, 1);
  connect(Preview, &QPrintPreviewWidget::paintRequested, this,
          [this](QPrinter* printer) { cancelled_ = !PaintPages(printer); });
  connect(Preview, &QPrintPreviewWidget::previewChanged, this, &TPrintPreviewF::UpdateControls);

  // The preview tells of pages reached by scrolling, not of pages it was sent to.
  auto goTo = [this](int page) {
    Preview->setCurrentPage(std::clamp(page, 1, std::max(Preview->pageCount(), 1)));
    UpdateControls();
  };
  connect(btnfirst, &QToolButton::clicked, this, [goTo] { goTo(1); });
  connect(btnprior, &QToolButton::clicked, this,
          [this, goTo] { goTo(Preview->currentPage() - 1); });
  connect(btnnext, &QToolButton::clicked, this, [this, goTo] { goTo(Preview->currentPage() + 1); });
  connect(btnlast, &QToolButton::clicked, this, [this, goTo] { goTo(Preview->pageCount()); });
  connect(btnzoomin, &QToolButton::clicked, this, [this] { Preview->zoomIn(); });
  connect(btnzoomout, &QToolButton::clicked, this, [this] { Preview->zoomOut(); });
  connect(btnfitwidth, &QToolButton::clicked, Preview, &QPrintPreviewWidget::fitToWidth);
  connect(btnfitpage, &QToolButton::clicked, Preview, &QPrintPreviewWidget::fitInView);
  connect(btnorientation, &QToolButton::toggled, this, [this](bool landscape) {
    if (landscape)
      Preview->setLandscapeOrientation();
    else
      Preview->setPortraitOrientation();
  });
  connect(btnprint, &QToolButton::clicked, this, &TPrintPreviewF::PrintClick);
  connect(btnclose, &QToolButton::clicked, this, &QDialog::reject);

  // Room for a whole A4 page at a readable size.
  resize(860, 900);
}

TPrintPreviewF::~TPrintPreviewF() noexcept = default;

bool TPrintPreviewF::Prepare() {
  // The preview widget asks for its pages (paintRequested) here rather than when shown.
  Preview->updatePreview();
  if (cancelled_) return false;
  Preview->fitToWidth();
  UpdateControls();
  return true;
}

int TPrintPreviewF::PageCount() const {
  return Preview->pageCount();
}

int TPrintPreviewF::CurrentPage() const {
  return Preview->currentPage();
}

bool TPrintPreviewF::PaintPages(QPrinter* printer) {
  QPainter painter(printer);
  if (!painter.isActive()) return false;
  // The display's document keeps its own layout; pages are laid out on a copy in the
  // printer's resolution, as the page is wide and high.
  std::unique_ptr<QTextDocument> pages(source_.clone());
  pages->documentLayout()->setPaintDevice(painter.device());
  const QRectF body(0, 0, printer->width(), printer->height());
  pages->setPageSize(body.size());
  const int count = pages->pageCount();

  // Before the window is shown (the preview's own preparation) the box belongs to the
  // window the preview was opened from.
  QWidget* owner = isVisible() || parentWidget() == nullptr ? this : parentWidget();
  QProgressDialog progress("Preparing pages...", "Cancel", 0, count, owner);
  progress.setObjectName("PrintProgress");
  progress.setWindowTitle("Print Preview");
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(ProgressDelayMs);
  progress.setValue(0);
  QAbstractTextDocumentLayout::PaintContext context;
  context.palette.setColor(QPalette::Text, Qt::black);
  for (int page = 0; page < count; ++page) {
    if (page > 0) printer->newPage();
    const QRectF view(0, page * body.height(), body.width(), body.height());
    painter.save();
    painter.translate(0, -view.top());
    painter.setClipRect(view);
    context.clip = view;
    pages->documentLayout()->draw(&painter, context);
    painter.restore();
    progress.setValue(page + 1);
    if (progress.wasCanceled()) {
      painter.end();
      return false;
    }
  }
  return true;
}

void TPrintPreviewF::PrintClick() {
  if (!ChoosePrinter || !ChoosePrinter(printer_, this)) return;
  // Printing lays the pages out again for the printer chosen (its page size may differ).
  Preview->print();
  // The preview printer now carries the chosen output; show the pages for it.
  Preview->updatePreview();
}

void TPrintPreviewF::UpdateControls() {
  const int count = Preview->pageCount();
  const int current = Preview->currentPage();
  lblpage->setText(QString("Page %1 of %2").arg(current).arg(count));
  btnfirst->setEnabled(current > 1);
  btnprior->setEnabled(current > 1);
  btnnext->setEnabled(current < count);
  btnlast->setEnabled(current < count);
}

}  // namespace tavlo
