// TEditorPage: the "Editor" page of the main window. It reaches the shell only through TPageHost.
#pragma once

#include <QWidget>

namespace tavlo {

class TPageHost;

class TEditorPage : public QWidget {
  Q_OBJECT
 public:
  explicit TEditorPage(TPageHost& host, QWidget* parent = nullptr);

 private:
  TPageHost& host_;
};

}  // namespace tavlo
