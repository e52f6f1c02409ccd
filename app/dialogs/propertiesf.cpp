// The properties window shell.
#include "app/dialogs/propertiesf.h"

#include <QVBoxLayout>

#include "app/widgets/windowplacement.h"

namespace tavlo {

TPropertiesF::TPropertiesF(const FormPlacementStore& store, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), ini_(store) {
  setObjectName("PropertiesF");
  setWindowTitle("Properties");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  setGeometry(398, 193, 277, 370);
  LoadWidgetPlacement(*this, ini_, "PropertiesF");
}

void TPropertiesF::FormDestroy() {
  SaveWidgetPlacement(*this, ini_, "PropertiesF");
}

}  // namespace tavlo
