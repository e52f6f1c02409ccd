// Window placement glue between Qt widgets and FormPlacementStore.
#include "app/widgets/windowplacement.h"

namespace tavlo {

void LoadWidgetPlacement(QWidget& widget, const FormPlacementStore& store,
                         const std::string& name) {
  const QRect frame = widget.geometry();
  WindowPlacement placement{false, frame.x(), frame.y(), frame.width(), frame.height()};
  store.LoadPlacement(name, placement);
  if (placement.maximized) {
    widget.setWindowState(widget.windowState() | Qt::WindowMaximized);
    return;
  }
  widget.setGeometry(placement.left, placement.top, placement.width, placement.height);
}

void SaveWidgetPlacement(const QWidget& widget, const FormPlacementStore& store,
                         const std::string& name) {
  const bool maximized = widget.isMaximized();
  const QRect frame =
      widget.isMaximized() || widget.isMinimized() ? widget.normalGeometry() : widget.geometry();
  const QRect used = frame.isValid() ? frame : widget.geometry();
  store.SavePlacement(name,
                      WindowPlacement{maximized, used.x(), used.y(), used.width(), used.height()});
}

}  // namespace tavlo
