// The Tavlo program: sets the application title, installs the Qt desktop host, creates the
// main window (which creates the file chooser and the properties window) and runs the event
// loop; at the end the windows save their placement.
#include <QApplication>

#include "app/icons.h"
#include "app/qtdesktophost.h"
#include "app/tavlof.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("Tavlo3");
  QApplication::setApplicationDisplayName("Tavlo3");
  tavlo::ChooseIconTheme();
  tavlo::QtDesktopHost host;
  tavlo::ScopedDesktopHost scopedHost(host);
  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();
  int result = 0;
  {
    tavlo::TTavloF window(QApplication::applicationFilePath(), arguments);
    host.SetParent(&window);
    window.show();
    result = QApplication::exec();
    window.FormDestroy();
    host.SetParent(nullptr);
  }
  return result;
}
