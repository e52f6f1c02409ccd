// The program's one start-up path. main() and the GUI tests both build the application
// through these functions, so a test never runs on a set-up the program lacks (the word
// library, the title, the icon theme): the only thing a test swaps is the desktop host.
#pragma once

#include <QApplication>
#include <QString>
#include <QStringList>
#include <memory>

namespace tavlo {

class TTavloF;

// The application's title and icon theme and the script word library. Idempotent; needs the
// QApplication object.
void SetUpApplication();

// The main window as the program makes it: SetUpApplication(), then the window (whose
// creation runs FormCreate and reopens the last table). Not yet shown.
std::unique_ptr<TTavloF> CreateMainWindow(const QString& executablePath,
                                          const QStringList& arguments);

// The whole program: the Qt desktop host, the main window, the event loop and the shut-down
// sequence. Returns the event loop's exit code.
int RunTavlo(QApplication& application);

}  // namespace tavlo
