// The desktop host interface: dialogs, message boxes, clipboard and the shell. The engine
// calls these through the host in force and never opens a window itself. The headless host
// serves the CLI and the tests; the Qt host comes with the main window.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tavlo {

// A font as the font dialog shows and returns it: face name, size in points, colour as
// 0x00BBGGRR (or a system colour, which the dialog keeps), and the three styles.
struct FontChoice {
  std::string name;
  int size = 8;
  std::uint32_t color = 0;
  bool bold = false;
  bool italic = false;
  bool underline = false;
};

// The answer to a question put to the user.
enum class Answer { Yes, No, Cancel };

class DesktopHost {
 public:
  virtual ~DesktopHost() = default;
  // An information message (what an opening corrected, the script word say).
  virtual void ShowMessage(const std::string& text) = 0;
  // Each of texts as ShowMessage shows it, in order.
  void ShowMessages(const std::vector<std::string>& texts) {
    for (const std::string& text : texts) ShowMessage(text);
  }
  // A failure the user must see: the error icon and the program's name as title.
  virtual void ShowError(const std::string& text) { ShowMessage(text); }
  // A question with Yes and No, or with Yes, No and Cancel when withCancel is set. Unless a
  // host asks, the answer changes nothing: Cancel, or No without a Cancel button.
  virtual Answer Ask(const std::string& text, bool withCancel) {
    (void)text;
    return withCancel ? Answer::Cancel : Answer::No;
  }
  // A long text the user may read and copy (a table's information, a check report) under a
  // caption; when action is not empty a button with that caption is offered besides Close.
  // True when the user chose the action. Unless a host shows it, the text is a message and
  // the action is not chosen.
  virtual bool ShowReport(const std::string& caption, const std::string& text,
                          const std::string& action) {
    (void)caption;
    (void)action;
    ShowMessage(text);
    return false;
  }
  // A message a script shows with the word say; the headless host writes it to stdout.
  virtual void Say(const std::string& text) { ShowMessage(text); }
  // A text prompt with a caption and a default; nullopt when the user cancels.
  virtual std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                              const std::string& defaultValue) = 0;
  // As InputBox, for a caller with a time limit (a script's ask): a host that may wait
  // without a user in front of it gives up after `milliseconds` (negative: no limit) and
  // answers nullopt. A window the user answers needs no limit: the default waits.
  virtual std::optional<std::string> InputBoxWithin(const std::string& caption,
                                                    const std::string& prompt,
                                                    const std::string& defaultValue,
                                                    std::int64_t milliseconds) {
    (void)milliseconds;
    return InputBox(caption, prompt, defaultValue);
  }
  // File dialogs; filter is "Description|*.ext|..." pairs. nullopt when cancelled.
  virtual std::optional<std::string> OpenFileDialog(const std::string& title,
                                                    const std::string& filter,
                                                    const std::string& initialFolder) = 0;
  virtual std::optional<std::string> SaveFileDialog(const std::string& title,
                                                    const std::string& filter,
                                                    const std::string& initialFolder,
                                                    const std::string& defaultExtension) = 0;
  // A colour as 0x00BBGGRR; nullopt when cancelled.
  virtual std::optional<std::uint32_t> ColorDialog(std::uint32_t initialColor) = 0;
  // The font dialog; nullopt when cancelled (which is all a host without one answers).
  virtual std::optional<FontChoice> FontDialog(const FontChoice&) { return std::nullopt; }
  // A folder (may be created in the dialog); nullopt when cancelled.
  virtual std::optional<std::string> FolderDialog(const std::string& title,
                                                  const std::string& initialFolder) = 0;
  virtual std::string ClipboardText() = 0;
  virtual void SetClipboardText(const std::string& text) = 0;
  // The shell's "open" for a file, folder or link, or a program started detached with
  // parameters. Never waits for it. False when it could not be started.
  virtual bool ShellOpen(const std::string& target, const std::string& parameters,
                         const std::string& folder) = 0;
};

// A host that shows nothing: messages are kept in `messages` (errors too), every prompt and
// dialog answers "cancelled" (a question without Cancel answers No, so nothing is changed),
// the clipboard is a member, the shell starts nothing. Tests and fuzz targets derive from it
// and override only what they watch.
class SilentDesktopHost : public DesktopHost {
 public:
  std::vector<std::string> messages;
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  std::optional<std::string> InputBox(const std::string&, const std::string&,
                                      const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> OpenFileDialog(const std::string&, const std::string&,
                                            const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::string> SaveFileDialog(const std::string&, const std::string&,
                                            const std::string&, const std::string&) override {
    return std::nullopt;
  }
  std::optional<std::uint32_t> ColorDialog(std::uint32_t) override { return std::nullopt; }
  std::optional<std::string> FolderDialog(const std::string&, const std::string&) override {
    return std::nullopt;
  }
  std::string ClipboardText() override { return clipboard_; }
  void SetClipboardText(const std::string& text) override { clipboard_ = text; }
  bool ShellOpen(const std::string&, const std::string&, const std::string&) override {
    return false;
  }

 protected:
  std::string clipboard_;
};

// Messages to stderr (say: stdout) converted from ANSI to UTF-8, input one line from stdin
// (UTF-8 to ANSI; the end of input answers an empty text), every dialog answers "cancelled",
// the clipboard is a process-local buffer, ShellOpen starts a detached process (xdg-open for a
// target without parameters; parameters split at blanks, double quotes grouping). A message
// is written after messagePrefix, its CR line breaks turned into LF.
std::unique_ptr<DesktopHost> NewHeadlessHost(const std::string& messagePrefix = "");

// The host in force (headless until a program installs another).
DesktopHost& Host();
// Runs step, then shows messages through the host in force (ShowMessages); when step fails
// they are shown before its failure goes on. For an opening whose checks correct a value and
// go on: step fills messages, or they are the list its cursor keeps (TDbf::OpenDiagnostics).
void ShowMessagesAfter(const std::function<void()>& step, const std::vector<std::string>& messages);
// Installs a host for the lifetime of the object, restoring the previous.
class ScopedDesktopHost {
 public:
  explicit ScopedDesktopHost(DesktopHost& replacement);
  ~ScopedDesktopHost();
  ScopedDesktopHost(const ScopedDesktopHost&) = delete;
  ScopedDesktopHost& operator=(const ScopedDesktopHost&) = delete;

 private:
  DesktopHost* previous_;
};

}  // namespace tavlo
