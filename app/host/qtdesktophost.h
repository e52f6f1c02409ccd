// QtDesktopHost: the desktop host of the Qt program (message boxes, the input box, file,
// colour and folder dialogs, the clipboard and the shell). The engine reaches it only through
// platform/desktophost.h; every text crosses the boundary through the ANSI code page.
#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/desktophost.h"

namespace tavlo {

class QtDesktopHost : public DesktopHost {
 public:
  // Dialogs are parented to parent (may be null) so that they stay above the main window.
  explicit QtDesktopHost(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  void ShowMessage(const std::string& text) override;
  void ShowError(const std::string& text) override;
  Answer Ask(const std::string& text, bool withCancel) override;
  bool ShowReport(const std::string& caption, const std::string& text,
                  const std::string& action) override;
  std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& defaultValue) override;
  std::optional<std::string> OpenFileDialog(const std::string& title, const std::string& filter,
                                            const std::string& initialFolder) override;
  std::optional<std::string> SaveFileDialog(const std::string& title, const std::string& filter,
                                            const std::string& initialFolder,
                                            const std::string& defaultExtension) override;
  std::optional<std::uint32_t> ColorDialog(std::uint32_t initialColor) override;
  std::optional<FontChoice> FontDialog(const FontChoice& initial) override;
  std::optional<std::string> FolderDialog(const std::string& title,
                                          const std::string& initialFolder) override;
  std::string ClipboardText() override;
  void SetClipboardText(const std::string& text) override;
  bool ShellOpen(const std::string& target, const std::string& parameters,
                 const std::string& folder) override;

 private:
  QPointer<QWidget> parent_;
};

// Engine bytes (ANSI) to and from Qt text.
QString FromAnsi(const std::string& text);
std::string ToAnsi(const QString& text);
// "Description|*.a;*.b|..." to Qt's "Description (*.a *.b);;..." filter text.
QString QtFilterFromPairs(const std::string& filter);

}  // namespace tavlo
