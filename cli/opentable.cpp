// Opening a table for a command: what the opening corrected is said before the command goes on.
#include "cli/command.h"
#include "dbf/tdbf.h"
#include "platform/desktophost.h"

namespace tavlo::cli {

void OpenTable(TDbf& dbf) {
  ShowMessagesAfter([&] { dbf.Open(); }, dbf.OpenDiagnostics());
}

}  // namespace tavlo::cli
