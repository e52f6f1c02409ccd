// Button icons: the desktop theme's icon when it has one, else a small drawing of our own,
// so that every button shows something meaningful on any desktop; and the means to draw
// such icons, which the form designer's palette draws too.
#pragma once

#include <QColor>
#include <QIcon>
#include <QPainter>
#include <functional>
#include <initializer_list>

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

// The colours of our drawings.
inline const QColor kIconInk(0x2e, 0x34, 0x36);
inline const QColor kIconBlue(0x34, 0x65, 0xa4);
inline const QColor kIconGreen(0x4e, 0x9a, 0x06);
inline const QColor kIconRed(0xcc, 0x00, 0x00);

// An icon of our own drawing, a pixmap for each size: paint draws on a 16 by 16 grid, the
// painter scaled to the size, antialiased, over a transparent ground.
QIcon PaintedIcon(const std::function<void(QPainter&)>& paint, std::initializer_list<int> sizes);

// Picks a theme with the freedesktop names when the platform set none (offscreen, bare X).
void ChooseIconTheme();

}  // namespace tavlo
