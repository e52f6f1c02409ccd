// The "Report" page.
#include "app/pages/reportpage.h"

#include "app/pages/pagehost.h"

namespace tavlo {

TReportPage::TReportPage(TPageHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName("pageReport");
}

}  // namespace tavlo
