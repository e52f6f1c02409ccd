// TFormSelectF: the file chooser, a stay-on-top sizeable tool window holding one file list.
// A single click on a file chooses it; closing the window any other way chooses nothing.
#pragma once

#include <QDialog>
#include <QListWidget>
#include <optional>
#include <string>

namespace tavlo {

class TFormSelectF : public QDialog {
  Q_OBJECT
 public:
  explicit TFormSelectF(QWidget* parent = nullptr);

  // Lists the files of folder matching mask, titles the window with caption and shows it
  // modally; the full path of the file clicked, or nullopt.
  std::optional<std::string> ChooseFile(const std::string& folder, const std::string& mask,
                                        const std::string& caption);

  // Fills the list without showing the window (ChooseFile does this first).
  void SetFolderAndMask(const std::string& folder, const std::string& mask);
  QListWidget* Files() const { return files_; }
  // The full path of the file chosen by the last click.
  const std::string& Chosen() const { return chosen_; }

 private:
  void FilesClicked(QListWidgetItem* item);

  QListWidget* files_;
  std::string folder_;
  std::string chosen_;
};

}  // namespace tavlo
