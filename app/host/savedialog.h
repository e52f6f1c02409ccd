// The program's save dialogs: the file the user chose, with the extension the program gives
// it, written only with the user's word when it would replace a file they did not open.
//
// The desktop host's save dialog asks before returning a name that exists (Qt's own
// confirmation). What it cannot ask about is a name the program makes of the answer
// afterwards ("list" becomes "list.drpt"): that question is asked here.
#pragma once

#include <optional>
#include <string>

namespace tavlo {

struct SaveDialogRequest {
  std::string title;
  std::string filter;  // "Description|*.ext" pairs
  std::string folder;
  std::string defaultExtension;  // added by the dialog to a name typed without one ("csv")
  std::string forcedExtension;   // put in place of the typed one (".drpt"); "" keeps the name
  std::string opened;            // the file the user opened, saved over without a question
};

// Shows the dialog; the path to write, or nullopt when the dialog was cancelled or the user
// would not replace the file.
std::optional<std::string> ChooseSaveFile(const SaveDialogRequest& request);

// Whether path may be written: it does not exist, it is the file the user opened, or the user
// answers Yes to "NAME already exists. Do you want to replace it?".
bool MayReplace(const std::string& path, const std::string& opened);

}  // namespace tavlo
