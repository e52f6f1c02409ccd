// TDesignerPage: the "Table Designer" page of the main window. It reaches the shell only through TPageHost.
#pragma once

#include <QWidget>

namespace tavlo {

class TPageHost;

class TDesignerPage : public QWidget {
  Q_OBJECT
 public:
  explicit TDesignerPage(TPageHost& host, QWidget* parent = nullptr);

 private:
  TPageHost& host_;
};

}  // namespace tavlo
