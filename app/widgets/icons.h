// Button icons: the desktop theme's icon when it has one, else a small drawing of our own,
// so that every button shows something meaningful on any desktop.
#pragma once

#include <QIcon>

namespace tavlo {

enum class IconShape {
  First,
  Prior,
  Next,
  Last,
  Insert,
  Delete,
  Edit,
  Post,
  Cancel,
  Refresh,
  Open,
  Close,
  Save,
  New,
  Help,
  Filter,
  ShowAll,
  Table,
  Form,
  Design,
  Report,
  Print,
  Color,
  Info,
  Check,
  Pack,
  Import,
  Export
};

// themeName is a freedesktop icon name ("go-first", "document-open", ...).
QIcon TavloIcon(const char* themeName, IconShape fallback);

// Our own drawing only, for buttons that must read clearly at a glance in any theme and
// show plainly whether they are enabled (the navigator).
QIcon DrawnIcon(IconShape shape);

// Picks a theme with the freedesktop names when the platform set none (offscreen, bare X).
void ChooseIconTheme();

}  // namespace tavlo
