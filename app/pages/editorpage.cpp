// The "Editor" page.
#include "app/pages/editorpage.h"

#include "app/pages/pagehost.h"

namespace tavlo {

TEditorPage::TEditorPage(TPageHost& host, QWidget* parent) : QWidget(parent), host_(host) {
  setObjectName("pageEditor");
}

}  // namespace tavlo
