// The file chooser window.
#include "app/dialogs/formselectf.h"

#include <QDir>
#include <QVBoxLayout>

#include "app/host/qtdesktophost.h"

namespace tavlo {

TFormSelectF::TFormSelectF(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint), files_(new QListWidget(this)) {
  setObjectName("FormSelectF");
  setWindowTitle("Form Select");
  setSizeGripEnabled(true);
  resize(260, 320);
  files_->setObjectName("Files");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(files_);
  connect(files_, &QListWidget::itemClicked, this, &TFormSelectF::FilesClicked);
}

void TFormSelectF::SetFolderAndMask(const std::string& folder, const std::string& mask) {
  folder_ = folder;
  files_->clear();
  const QDir dir(FromAnsi(folder));
  const QStringList names =
      dir.entryList(QStringList{FromAnsi(mask)}, QDir::Files | QDir::Hidden, QDir::Name);
  files_->addItems(names);
}

std::optional<std::string> TFormSelectF::ChooseFile(const std::string& folder,
                                                    const std::string& mask,
                                                    const std::string& caption) {
  SetFolderAndMask(folder, mask);
  setWindowTitle(FromAnsi(caption));
  chosen_.clear();
  if (exec() != QDialog::Accepted || chosen_.empty()) return std::nullopt;
  return chosen_;
}

void TFormSelectF::FilesClicked(QListWidgetItem* item) {
  if (item == nullptr) return;
  chosen_ = ToAnsi(QDir(FromAnsi(folder_)).filePath(item->text()));
  accept();
}

}  // namespace tavlo
