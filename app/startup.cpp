// The program's start-up and shut-down, shared by main() and the GUI tests.
#include "app/startup.h"

#include "app/host/qtdesktophost.h"
#include "app/tavlof.h"
#include "app/widgets/icons.h"
#include "platform/desktophost.h"
#include "tavloversion.h"
#include "words/library.h"

namespace tavlo {

void SetUpApplication() {
  QApplication::setApplicationName("Tavlo" TAVLO_VERSION_MAJOR);
  // No display name: the window system would append it to every caption, and the main
  // window's caption names the program already.
  ChooseIconTheme();
  RegisterLibraryWords();
}

std::unique_ptr<TTavloF> CreateMainWindow(const QString& executablePath,
                                          const QStringList& arguments) {
  SetUpApplication();
  return std::make_unique<TTavloF>(executablePath, arguments);
}

int RunTavlo(QApplication& application) {
  QtDesktopHost host;
  ScopedDesktopHost scopedHost(host);
  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();
  std::unique_ptr<TTavloF> window = CreateMainWindow(QApplication::applicationFilePath(), arguments);
  host.SetParent(window.get());
  window->show();
  const int result = application.exec();
  window->FormDestroy();
  host.SetParent(nullptr);
  return result;
}

}  // namespace tavlo
