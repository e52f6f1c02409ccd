// The HTML display of the "Report" page.
#include "app/pages/reportviewer.h"

#include <QApplication>
#include <QFileInfo>
#include <QMouseEvent>
#include <QStringDecoder>
#include <QTextCursor>
#include <algorithm>
#include <memory>

#include "app/host/qtdesktophost.h"
#include "platform/desktophost.h"
#include "platform/errors.h"
#include "platform/filenames.h"
#include "platform/filesystem.h"
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

// The first limit bytes of the file (all of it when shorter) and its whole size.
std::string ReadHead(const std::string& path, std::int64_t limit, std::int64_t& size) {
  std::unique_ptr<ByteStream> file = Files().Open(path, OpenMode::ReadOnly);
  size = file->Size();
  std::string bytes(static_cast<std::size_t>(std::min(size, limit)), '\0');
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::size_t got =
        file->ReadAt(static_cast<std::int64_t>(done), &bytes[done], bytes.size() - done);
    if (got == 0) throw EReadError();
    done += got;
  }
  return bytes;
}

QString Megabytes(std::int64_t bytes) {
  if (bytes < 1000 * 1024) return QString::number((bytes + 1023) / 1024) + " KB";
  return QString::number(static_cast<double>(bytes) / (1024.0 * 1024.0), 'f', 1) + " MB";
}

}  // namespace

std::int64_t THtmlViewer::ShownBytes = 1 << 20;

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
  document()->setDefaultStyleSheet("pre, code, tt, kbd, samp { font-family: \"Courier New\"; }");
  setTextInteractionFlags(Qt::TextBrowserInteraction);
  // Links leave the display for the desktop: the display keeps no history to go back in.
  setOpenLinks(false);
  setOpenExternalLinks(false);
  setMouseTracking(true);
  connect(this, &QTextBrowser::anchorClicked, this, &THtmlViewer::LinkClicked);
}

void THtmlViewer::LoadFile(const std::string& path) {
  std::int64_t size = 0;
  std::string bytes = ReadHead(path, ShownBytes, size);  // raises before the page changes
  const bool shortened = size > static_cast<std::int64_t>(bytes.size());
  if (shortened) {
    // Never end inside a tag.
    const std::size_t lastTagEnd = bytes.rfind('>');
    bytes.resize(lastTagEnd == std::string::npos ? 0 : lastTagEnd + 1);
  }
  const QString folder = QFileInfo(FromAnsi(path)).absolutePath();
  setSearchPaths({folder});
  document()->setBaseUrl(QUrl::fromLocalFile(folder + "/"));
  // Images of the page before must not stand in for files of the same name now.
  document()->clear();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  setHtml(DecodeHtml(bytes));
  if (shortened) {
    // The end of the document lies after every table and list the cut left open.
    const QString file = QFileInfo(FromAnsi(path)).absoluteFilePath();
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    end.insertBlock(QTextBlockFormat(), QTextCharFormat());
    end.insertHtml(
        QString("<p style=\"background-color: #fff3c4\"><b>The display shows the first %1 of "
                "%2 (%3).</b> <a href=\"%4\">Open the whole file</a> in the web browser.</p>")
            .arg(Megabytes(static_cast<std::int64_t>(bytes.size())),
                 QFileInfo(file).fileName().toHtmlEscaped(), Megabytes(size),
                 QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded).toHtmlEscaped()));
  }
  QApplication::restoreOverrideCursor();
  clearHistory();
  fileName_ = path;
  shortened_ = shortened;
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
