// Stand-ins until the popup-menu model is part of the build.
#include "LibrarianBrowser.h"

void LibrarianBrowser::refreshPopUpMenus() { reloadPanes(); }
void LibrarianBrowser::updateBankAndProgramMenuNames(bool) {}
void LibrarianBrowser::showFileEditMenu(int, int) {}
void LibrarianBrowser::showFileCopyMenu(int, int) {}
