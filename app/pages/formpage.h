// TFormPage: the "Form" page — the filter box with "Filter" and "Show all", the designer's
// palette (hidden outside design mode) and the scrolling form area that holds a data-entry
// form. The filter buttons go through the shell's record filter; the page keeps no copy of
// its logic.
#pragma once

#include <QLineEdit>
#include <QToolButton>
#include <QWidget>
#include <functional>
#include <string>

namespace tavlo {

class TPageHost;

class TFormPage : public QWidget {
  Q_OBJECT
 public:
  explicit TFormPage(TPageHost& host, QWidget* parent = nullptr);

  void btnfilterClick();
  void btnshowallClick();

  // Loads a form file into the form area; set by the form designer. Without it, matching
  // forms are found but not loaded.
  std::function<void(const std::string& formPath)> LoadForm;
  // Forgets the form in use and empties the form area.
  void CloseForm();

  std::string formFile;
  bool designMode = false;
  int paletteMode = 0;

  QLineEdit* txtfilter = nullptr;
  QToolButton* btnfilter = nullptr;
  QToolButton* btnshowall = nullptr;
  QWidget* pnlPalette = nullptr;
  QWidget* formArea = nullptr;

 private:
  TPageHost& host_;
};

}  // namespace tavlo
