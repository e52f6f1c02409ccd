// The help window.
#include "app/dialogs/helpwindow.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSplitter>
#include <QUrl>

namespace tavlo {

QList<HelpTopic> HelpTopics(const QString& html) {
  static const QRegularExpression heading(
      R"re(<h([12])\s+id="([^"]+)"[^>]*>(.*?)</h\1>)re",
      QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
  static const QRegularExpression tags("<[^>]*>");
  QList<HelpTopic> topics;
  auto it = heading.globalMatch(html);
  while (it.hasNext()) {
    const auto match = it.next();
    QString title = match.captured(3);
    title.remove(tags);
    title.replace("&amp;", "&").replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", "\"");
    topics.append({match.captured(1).toInt(), match.captured(2), title.simplified()});
  }
  return topics;
}

THelpWindow::THelpWindow(QWidget* parent)
    : QMainWindow(parent, Qt::Window), contents_(new QTreeWidget), text_(new QTextBrowser) {
  setObjectName("HelpF");
  setWindowTitle("Tavlo Help");
  resize(900, 620);
  contents_->setHeaderHidden(true);
  contents_->setObjectName("contents");
  text_->setObjectName("helptext");
  text_->setOpenExternalLinks(true);
  auto* splitter = new QSplitter(this);
  splitter->addWidget(contents_);
  splitter->addWidget(text_);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({230, 670});
  setCentralWidget(splitter);
  connect(contents_, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* item, QTreeWidgetItem*) {
            if (item != nullptr) text_->scrollToAnchor(item->data(0, Qt::UserRole).toString());
          });
}

bool THelpWindow::ShowTopic(const QString& helpFile, const QString& topic) {
  const QString path = QFileInfo(helpFile).absoluteFilePath();
  if (path != loadedFile_) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QString html = QString::fromUtf8(file.readAll());
    text_->document()->setBaseUrl(QUrl::fromLocalFile(path));
    text_->setHtml(html);
    contents_->clear();
    QTreeWidgetItem* chapter = nullptr;
    for (const HelpTopic& entry : HelpTopics(html)) {
      QTreeWidgetItem* item = entry.level == 1 || chapter == nullptr
                                  ? new QTreeWidgetItem(contents_)
                                  : new QTreeWidgetItem(chapter);
      if (entry.level == 1) chapter = item;
      item->setText(0, entry.title);
      item->setData(0, Qt::UserRole, entry.id);
    }
    loadedFile_ = path;
  }
  show();
  raise();
  activateWindow();
  const auto found = contents_->findItems("*", Qt::MatchWildcard | Qt::MatchRecursive);
  for (QTreeWidgetItem* item : found) {
    if (item->data(0, Qt::UserRole).toString().compare(topic, Qt::CaseInsensitive) == 0) {
      contents_->setCurrentItem(item);
      break;
    }
  }
  text_->scrollToAnchor(topic);
  return true;
}

}  // namespace tavlo
