// Moving a window's placement between a Qt widget and the settings store.
#pragma once

#include <QWidget>

#include "workspace/formplacement.h"

namespace tavlo {

// Restores the widget from section name; its current geometry is the default.
void LoadWidgetPlacement(QWidget& widget, const FormPlacementStore& store, const std::string& name);
// A minimized window is stored with its normal position and size.
void SaveWidgetPlacement(const QWidget& widget, const FormPlacementStore& store,
                         const std::string& name);

}  // namespace tavlo
