#include "LibrarianBrowser.h"

#include "LibrarianViewControl.h"

void LibrarianBrowser::reloadPanes() {
  if (!view) return;
  view->SetRedraw();
  view->patchSelectionUpperChanged();
  view->patchSelectionLowerChanged();
}
