#include "LibrarianBrowser.h"

#include "LibrarianViewControl.h"

void LibrarianBrowser::reloadPanes() {
  if (!view) return;
  view->redraw = true;
  view->patchSelectionUpperChanged();
  view->patchSelectionLowerChanged();
}

void LibrarianBrowser::refreshPopUpMenus() { reloadPanes(); }
void LibrarianBrowser::updateBankAndProgramMenuNames(bool) {}
void LibrarianBrowser::showFileEditMenu(int, int) {}
void LibrarianBrowser::showFileCopyMenu(int, int) {}
