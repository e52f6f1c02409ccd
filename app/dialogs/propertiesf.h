// TPropertiesF: the properties window of the form designer, a stay-on-top tool window that
// lives from start-up to the end of the program and keeps its placement in section
// "PropertiesF". Its contents belong to the form designer.
#pragma once

#include <QWidget>

#include "app/core/formplacement.h"

namespace tavlo {

class TPropertiesF : public QWidget {
  Q_OBJECT
 public:
  // Restores its placement from store (designed at 398, 193, 277 x 370).
  TPropertiesF(const FormPlacementStore& store, QWidget* parent = nullptr);
  // Saves the placement; raises the settings file's error.
  void FormDestroy();

 private:
  const FormPlacementStore& ini_;
};

}  // namespace tavlo
