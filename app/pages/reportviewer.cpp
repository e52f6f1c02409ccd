// The HTML display of the "Report" page.
#include "app/pages/reportviewer.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QMouseEvent>
#include <QStringDecoder>

#include "app/host/qtdesktophost.h"
#include "platform/desktophost.h"
#include "platform/filenames.h"
#include "text/qelstrings.h"

namespace tavlo {

namespace {

// Reports carry the table's ANSI bytes; a page that names its own character set (or starts
// with a byte order mark) is read in that one.
QString DecodeHtml(const std::string& bytes) {
  const std::string head = bytes.substr(0, 2048);
  const bool bom = head.rfind("\xEF\xBB\xBF", 0) == 0 || head.rfind("\xFF\xFE", 0) == 0 ||
                   head.rfind("\xFE\xFF", 0) == 0;
  if (bom || PosFromNoCase("charset", head, 1) > 0) {
    QStringDecoder decoder =
        QStringDecoder::decoderForHtml(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    if (decoder.isValid()) return decoder(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
  }
  return FromAnsi(bytes);
}

}  // namespace

THtmlViewer::THtmlViewer(QWidget* parent) : QTextBrowser(parent) {
  setObjectName("viewer");
  // A white page with black text whatever the desktop theme is.
  QPalette page = palette();
  page.setColor(QPalette::Base, Qt::white);
  page.setColor(QPalette::Text, Qt::black);
  setPalette(page);
  setAutoFillBackground(true);
  QFont font("Times New Roman");
  font.setPointSize(12);
  document()->setDefaultFont(font);
  document()->setDefaultStyleSheet(
      "pre, code, tt, kbd, samp { font-family: \"Courier New\"; }");
  setTextInteractionFlags(Qt::TextBrowserInteraction | Qt::TextSelectableByKeyboard);
  // Links leave the display for the desktop: the display keeps no history to go back in.
  setOpenLinks(false);
  setOpenExternalLinks(false);
  setMouseTracking(true);
  connect(this, &QTextBrowser::anchorClicked, this, &THtmlViewer::LinkClicked);
}

void THtmlViewer::LoadFile(const std::string& path) {
  const std::string bytes = LoadFileToString(path);  // raises before the page changes
  const QString folder = QFileInfo(FromAnsi(path)).absolutePath();
  setSearchPaths({folder});
  document()->setBaseUrl(QUrl::fromLocalFile(folder + "/"));
  // Images of the page before must not stand in for files of the same name now.
  document()->clear();
  setHtml(DecodeHtml(bytes));
  clearHistory();
  fileName_ = path;
  Cover(QString());
}

QString THtmlViewer::ResolveLink(const QString& href) const {
  const QUrl url(href);
  if (!url.isRelative()) return url.isLocalFile() ? url.toLocalFile() : href;
  const QUrl resolved = document()->baseUrl().resolved(url);
  return resolved.isLocalFile() ? resolved.toLocalFile() : resolved.toString();
}

void THtmlViewer::LinkClicked(const QUrl& url) {
  const QString href = url.toString();
  if (href.startsWith('#')) {
    scrollToAnchor(href.mid(1));
    return;
  }
  Host().ShellOpen(ToAnsi(ResolveLink(href)), "", "");
}

void THtmlViewer::mouseMoveEvent(QMouseEvent* event) {
  QTextBrowser::mouseMoveEvent(event);
  Cover(anchorAt(event->position().toPoint()));
}

bool THtmlViewer::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::Leave) Cover(QString());
  return QTextBrowser::viewportEvent(event);
}

void THtmlViewer::Cover(const QString& target) {
  if (target == covered_) return;
  covered_ = target;
  if (HotSpotCovered) HotSpotCovered(target);
}

}  // namespace tavlo
