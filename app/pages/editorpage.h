// TEditorPage: the "Editor" page — the template editor `editor` (HTML highlighting, line
// numbers, undo) with buttons to open and save any file, start a report template from
// reports/template.html, open and save report templates (*.drpt) and insert a web-safe
// colour at the caret; Ctrl+F and F3 find text. The page marks itself while the text differs
// from the file last opened or saved, and never replaces such text (nor lets the shell close
// over it) without asking. A file that cannot be read or written is reported and the editor
// keeps its text. It reaches the shell only through TPageHost.
#pragma once

#include <Qsci/qsciscintilla.h>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QWidget>
#include <string>

namespace tavlo {

class TPageHost;

// The template editor: QScintilla with the Tab key moving the focus instead of typing a tab.
class TTemplateEditor : public QsciScintilla {
  Q_OBJECT
 public:
  explicit TTemplateEditor(QWidget* parent = nullptr);

  // Replaces the whole text by the lines of a file (CR LF, LF or CR end a line); the
  // replacement is one undoable step. A file that cannot be read throws, the text unchanged.
  void LoadLines(const std::string& path);
  // Writes the text as lines, every one ending in CR LF.
  void SaveLines(const std::string& path) const;
  // Inserts text at the caret, replacing the selection, as one undoable step.
  void InsertAtCaret(const QString& text);

 protected:
  bool focusNextPrevChild(bool next) override;
};

class TEditorPage : public QWidget {
  Q_OBJECT
 public:
  explicit TEditorPage(TPageHost& host, QWidget* parent = nullptr);

  void btnopenClick();
  void btnsaveClick();
  void btnnewreportClick();
  void btnopentemplateClick();
  void btnsavetemplateClick();
  void btncolorClick();
  // Ctrl+F: to the find box; F3 / Enter in the box: the next match after the caret, wrapping.
  void FindText();
  bool FindNext();

  // The file the text was last opened from or saved to ("" for none or a new report).
  const std::string& FileName() const { return fileName_; }
  bool Modified() const { return editor->isModified(); }
  // Before the text is replaced or the window closes: when the text holds changes, asks
  // "Save changes to <name>?" (a text never saved is "Untitled"); Yes saves it to its file,
  // or under a name chosen in the save dialog, No lets the changes go, Cancel keeps them.
  // False when the caller must stop: Cancel, or the save was cancelled or failed (shown).
  bool ConfirmSaveText();

  // Start folders of the editor's open and save dialogs, "" until first used.
  std::string editorOpenFolder;
  std::string editorSaveFolder;

  TTemplateEditor* editor = nullptr;
  QToolButton* btnopen = nullptr;
  QToolButton* btnsave = nullptr;
  QToolButton* btnnewreport = nullptr;
  QToolButton* btnopentemplate = nullptr;
  QToolButton* btnsavetemplate = nullptr;
  QToolButton* btncolor = nullptr;
  QLineEdit* txtfind = nullptr;
  QLabel* lblFile = nullptr;

 private:
  // Loads path into the editor; on success it becomes the page's file (shown as fileShown).
  bool Load(const std::string& path, const std::string& fileShown);
  bool Save(const std::string& path);
  // Save under a name the user chooses: any file, or a template that gets ".drpt".
  bool SaveAs();
  bool SaveTemplateAs();
  // The file label and the page's tab title, with the modified mark.
  void ShowFileState();

  TPageHost& host_;
  std::string fileName_;
  std::string fileShown_;
};

}  // namespace tavlo
