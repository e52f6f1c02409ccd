// TReportPage: the "Report" page of the main window. It reaches the shell only through TPageHost.
#pragma once

#include <QWidget>

namespace tavlo {

class TPageHost;

class TReportPage : public QWidget {
  Q_OBJECT
 public:
  explicit TReportPage(TPageHost& host, QWidget* parent = nullptr);

 private:
  TPageHost& host_;
};

}  // namespace tavlo
