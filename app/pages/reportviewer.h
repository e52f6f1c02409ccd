// THtmlViewer: the HTML display `viewer` of the "Report" page — Qt's text browser with the
// display's fixed settings (white page, "Times New Roman", "Courier New" for preformatted
// text, selectable text, no navigation history). It shows files only: links never navigate
// inside it but go to the desktop, and the link under the pointer is announced through
// HotSpotCovered. It never shows a message itself: LoadFile raises and keeps the page.
#pragma once

#include <QTextBrowser>
#include <cstdint>
#include <functional>
#include <string>

namespace tavlo {

class THtmlViewer : public QTextBrowser {
  Q_OBJECT
 public:
  explicit THtmlViewer(QWidget* parent = nullptr);

  // Shows the HTML file at path (ANSI bytes), resolving relative references against its
  // folder. A file that cannot be read raises its file error and the page shown stays. Of
  // a file longer than ShownBytes only the beginning is shown (laying out a table takes
  // seconds per megabyte), ended at a tag and followed by a note with a link that opens
  // the whole file in the desktop's browser.
  void LoadFile(const std::string& path);
  static std::int64_t ShownBytes;
  // The file shown was longer than what the display shows.
  bool Shortened() const { return shortened_; }
  // The file shown, "" before the first.
  const std::string& FileName() const { return fileName_; }

  // The link target under the pointer as the document spells it; "" when it leaves a link.
  std::function<void(const QString& target)> HotSpotCovered;

  // The absolute target a click on href opens: a URL with a scheme as it is, anything else
  // a file resolved against the shown file's folder.
  QString ResolveLink(const QString& href) const;

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  // The pointer leaving the page (for a scroll bar, say) leaves any link too.
  bool viewportEvent(QEvent* event) override;

 private:
  void LinkClicked(const QUrl& url);
  void Cover(const QString& target);

  std::string fileName_;
  QString covered_;
  bool shortened_ = false;
};

}  // namespace tavlo
