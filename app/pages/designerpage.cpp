// The "Table Designer" page.
#include "app/pages/designerpage.h"

#include "app/pages/pagehost.h"

namespace tavlo {

TDesignerPage::TDesignerPage(TPageHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName("pageDesigner");
}

}  // namespace tavlo
