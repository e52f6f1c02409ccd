// The Qt desktop host: dialogs and shell operations for the script words and the engine.
#include "app/host/qtdesktophost.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

#include "app/dialogs/reportf.h"
#include "platform/asciitext.h"
#include "platform/codepage.h"

namespace tavlo {

QString FromAnsi(const std::string& text) {
  return QString::fromStdString(CurrentCodePages().AnsiToUtf8(text));
}

std::string ToAnsi(const QString& text) {
  return CurrentCodePages().Utf8ToAnsi(text.toStdString());
}

QString QtFilterFromPairs(const std::string& filter) {
  const QStringList parts = FromAnsi(filter).split('|');
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(';', ' ');
    // A description that already names its patterns ("Dbase files (*.dbf)") keeps them once.
    if (parts[i].endsWith("(" + patterns + ")"))
      filters << parts[i];
    else
      filters << parts[i] + " (" + patterns + ")";
  }
  return filters.join(";;");
}

namespace {

// Messages break their lines with CR (the engine's opening checks); a label wants LF.
QString MessageText(const std::string& text) {
  return FromAnsi(CrLinesToLf(text));
}

}  // namespace

void QtDesktopHost::ShowMessage(const std::string& text) {
  QMessageBox::information(parent_, QApplication::applicationName(), MessageText(text));
}

void QtDesktopHost::ShowError(const std::string& text) {
  QMessageBox::critical(parent_, QApplication::applicationName(), MessageText(text));
}

bool QtDesktopHost::ShowReport(const std::string& caption, const std::string& text,
                               const std::string& action) {
  TReportTextF window(FromAnsi(caption), FromAnsi(text), FromAnsi(action), parent_);
  window.exec();
  return window.ActionChosen();
}

Answer QtDesktopHost::Ask(const std::string& text, bool withCancel) {
  QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No;
  if (withCancel) buttons |= QMessageBox::Cancel;
  const QMessageBox::StandardButton answer =
      QMessageBox::question(parent_, QApplication::applicationName(), MessageText(text), buttons,
                            withCancel ? QMessageBox::Yes : QMessageBox::No);
  if (answer == QMessageBox::Yes) return Answer::Yes;
  if (answer == QMessageBox::No) return Answer::No;
  return withCancel ? Answer::Cancel : Answer::No;
}

std::optional<std::string> QtDesktopHost::InputBox(const std::string& caption,
                                                   const std::string& prompt,
                                                   const std::string& defaultValue) {
  bool ok = false;
  const QString answer = QInputDialog::getText(parent_, FromAnsi(caption), FromAnsi(prompt),
                                               QLineEdit::Normal, FromAnsi(defaultValue), &ok);
  if (!ok) return std::nullopt;
  return ToAnsi(answer);
}

std::optional<std::string> QtDesktopHost::OpenFileDialog(const std::string& title,
                                                         const std::string& filter,
                                                         const std::string& initialFolder) {
  const QString path = QFileDialog::getOpenFileName(
      parent_, FromAnsi(title), FromAnsi(initialFolder), QtFilterFromPairs(filter));
  if (path.isEmpty()) return std::nullopt;
  return ToAnsi(path);
}

std::optional<std::string> QtDesktopHost::SaveFileDialog(const std::string& title,
                                                         const std::string& filter,
                                                         const std::string& initialFolder,
                                                         const std::string& defaultExtension) {
  QFileDialog dialog(parent_, FromAnsi(title), FromAnsi(initialFolder), QtFilterFromPairs(filter));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  // The dialog asks before it returns a file that exists (with the default extension added),
  // and No keeps it open; names the program makes of the answer are asked about by the
  // program (app/host/savedialog.h).
  dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
  if (!defaultExtension.empty()) dialog.setDefaultSuffix(FromAnsi(defaultExtension));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return ToAnsi(dialog.selectedFiles().first());
}

std::optional<std::uint32_t> QtDesktopHost::ColorDialog(std::uint32_t initialColor) {
  const QColor initial(initialColor & 0xFF, (initialColor >> 8) & 0xFF,
                       (initialColor >> 16) & 0xFF);
  const QColor chosen = QColorDialog::getColor(initial, parent_);
  if (!chosen.isValid()) return std::nullopt;
  return static_cast<std::uint32_t>(chosen.red()) |
         (static_cast<std::uint32_t>(chosen.green()) << 8) |
         (static_cast<std::uint32_t>(chosen.blue()) << 16);
}

std::optional<FontChoice> QtDesktopHost::FontDialog(const FontChoice& initial) {
  QFont font(FromAnsi(initial.name), initial.size > 0 ? initial.size : 8);
  font.setBold(initial.bold);
  font.setItalic(initial.italic);
  font.setUnderline(initial.underline);
  bool ok = false;
  const QFont chosen = QFontDialog::getFont(&ok, font, parent_);
  if (!ok) return std::nullopt;
  FontChoice result = initial;  // Qt's font dialog offers no colour: the colour stays
  result.name = ToAnsi(chosen.family());
  result.size = chosen.pointSize() > 0 ? chosen.pointSize() : initial.size;
  result.bold = chosen.bold();
  result.italic = chosen.italic();
  result.underline = chosen.underline();
  return result;
}

std::optional<std::string> QtDesktopHost::FolderDialog(const std::string& title,
                                                       const std::string& initialFolder) {
  // Qt's own dialog always offers "Create New Folder"; the native one may not.
  const QString folder = QFileDialog::getExistingDirectory(
      parent_, FromAnsi(title), FromAnsi(initialFolder),
      QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  if (folder.isEmpty()) return std::nullopt;
  return ToAnsi(folder);
}

std::string QtDesktopHost::ClipboardText() {
  return ToAnsi(QApplication::clipboard()->text());
}

void QtDesktopHost::SetClipboardText(const std::string& text) {
  QApplication::clipboard()->setText(FromAnsi(text));
}

bool QtDesktopHost::ShellOpen(const std::string& target, const std::string& parameters,
                              const std::string& folder) {
  const QString program = FromAnsi(target);
  if (parameters.empty()) {
    const QFileInfo info(program);
    if (info.isFile() && info.isExecutable())
      return QProcess::startDetached(program, {}, FromAnsi(folder));
    const QUrl url =
        info.exists() ? QUrl::fromLocalFile(info.absoluteFilePath()) : QUrl::fromUserInput(program);
    return url.isValid() && QDesktopServices::openUrl(url);
  }
  return QProcess::startDetached(program, QProcess::splitCommand(FromAnsi(parameters)),
                                 FromAnsi(folder));
}

}  // namespace tavlo
