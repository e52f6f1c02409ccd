// The dialog, clipboard and shell words. All of them go through the desktop host, so the
// engine never opens a window itself; the headless host answers in the CLI and in tests.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/desktophost.h"
#include "script/qelscript.h"
#include "script/registry.h"
#include "words/commonwords.h"

namespace tavlo {

namespace {

void PushText(TqelScript& s, std::string text) {
  s.Push(Variant(std::move(text)));
}

void WordSay(TqelScript& s) {
  Host().Say(s.PopText());
}

// The answer is awaited no longer than the run may last: a prompt nobody answers ends with
// the time-out, not with a script that outlives its limit.
void WordAsk(TqelScript& s) {
  const std::string prompt = s.PopText();
  std::optional<std::string> answer =
      Host().InputBoxWithin("qelScript", prompt, "", s.RemainingMilliseconds());
  if (!answer) s.CheckTimeOut();
  PushText(s, answer.value_or(std::string()));
}

void WordDlgOpen(TqelScript& s) {
  PushText(s, Host().OpenFileDialog("", "", "").value_or(std::string()));
}

void WordDlgSave(TqelScript& s) {
  PushText(s, Host().SaveFileDialog("", "", "", "").value_or(std::string()));
}

void WordDlgColor(TqelScript& s) {
  const std::optional<std::uint32_t> color = Host().ColorDialog(0);
  s.Push(color ? Variant(static_cast<std::int32_t>(*color)) : Variant::Null());
}

void WordSelDir(TqelScript& s) {
  const std::optional<std::string> folder = Host().FolderDialog("", s.DataSourceFolder());
  if (folder) s.SetDataSourceFolder(*folder);
}

void WordCopyText(TqelScript& s) {
  Host().SetClipboardText(s.PopText());
}
void WordPasteText(TqelScript& s) {
  PushText(s, Host().ClipboardText());
}

// The request is not checked and never waited for: the script goes on at once.
void WordShellExecute(TqelScript& s) {
  const std::string parameters = s.PopText();
  const std::string file = s.PopFileName();
  Host().ShellOpen(file, parameters, "");
}

const TqelWord kDialogWords[] = {
    {"say", WordSay, TqelWordAccess::ChangesOutside},
    {"ask", WordAsk, TqelWordAccess::ChangesOutside},
    {"dlgopen", WordDlgOpen, TqelWordAccess::ChangesOutside},
    {"dlgsave", WordDlgSave, TqelWordAccess::ChangesOutside},
    {"dlgcolor", WordDlgColor, TqelWordAccess::ChangesOutside},
    {"seldir", WordSelDir, TqelWordAccess::ChangesOutside},
    {"copytext", WordCopyText, TqelWordAccess::ChangesOutside},
    {"pastetext", WordPasteText, TqelWordAccess::ChangesOutside},
    {"shellexecute", WordShellExecute, TqelWordAccess::ChangesOutside},
};

}  // namespace

void RegisterDialogWords() {
  RegisterWords(kDialogWords);
}

}  // namespace tavlo
