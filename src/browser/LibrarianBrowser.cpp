#include "LibrarianBrowser.h"

#include "LibrarianViewControl.h"

void LibrarianBrowser::reloadPanes() {
  if (!view) return;
  view->redraw = true;
  view->patchSelectionUpperChanged();
  view->patchSelectionLowerChanged();
}
