// THelpWindow: shows the help book, one HTML file whose <h1>/<h2> headings with an id are its
// topics, with the contents as a tree beside the text. Opening a topic scrolls to its id.
#pragma once

#include <QMainWindow>
#include <QTextBrowser>
#include <QTreeWidget>

namespace tavlo {

struct HelpTopic {
  int level;      // 1 or 2
  QString id;     // the anchor, also the topic name
  QString title;  // heading text without markup
};

// The topics of a help book in document order.
QList<HelpTopic> HelpTopics(const QString& html);

class THelpWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit THelpWindow(QWidget* parent = nullptr);
  // Loads the book (when it is another file than the one shown) and shows topic; false and
  // nothing shown when the file cannot be read.
  bool ShowTopic(const QString& helpFile, const QString& topic);

  QTreeWidget* Contents() const { return contents_; }
  QTextBrowser* Text() const { return text_; }

 private:
  QTreeWidget* contents_;
  QTextBrowser* text_;
  QString loadedFile_;
};

}  // namespace tavlo
