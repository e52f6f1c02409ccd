// The web-safe colour picker: the colour of a point of the palette picture, and the component
// TqelWebSafe that owns the picker window TwebsafeF and remembers the last pick. The window is
// made once and reused, so its three slots keep their colours and texts between picks.
#pragma once

#include <QColor>
#include <QObject>
#include <QPointer>
#include <string>

class QWidget;

namespace tavlo {

class TwebsafeF;

// The palette: a 256 x 256 picture holding 216 cells of 16 x 16 pixels, 16 to a row; cell i
// has red (i div 36) x 51, green ((i div 6) mod 6) x 51 and blue (i mod 6) x 51.
constexpr int kWebSafeCellSize = 16;
constexpr int kWebSafeCells = 216;
constexpr int kWebSafePictureSize = 256;
// The rows of the picture the window shows (14 rows of cells).
constexpr int kWebSafeShownHeight = 224;

// The cell under (x, y) of the picture; a point past the last cell counts as the last cell.
int WebSafeCellAt(int x, int y);
QColor WebSafeCellColor(int cell);
// "#RRGGBB" with upper-case hexadecimal digits.
std::string WebColorText(const QColor& color);

class TqelWebSafe : public QObject {
  Q_OBJECT
 public:
  // The window is a child of parent (stays above it); it lives as long as the component.
  explicit TqelWebSafe(QWidget* parent);
  ~TqelWebSafe() noexcept override;

  // Shows the window modally. "OK": Color and ColorText take the chosen slot's swatch colour
  // and edit text (unchecked), true. "Cancel" or closing the window: false, both unchanged.
  bool Execute();

  QColor Color = Qt::black;
  std::string ColorText;

  TwebsafeF* Dialog() const { return dialog_; }

 private:
  TwebsafeF* dialog_;
  // The window is also a child of parent, which may free it first.
  QPointer<QObject> dialogAlive_;
};

}  // namespace tavlo
