// The librarian's edit menus: the bank-edit menu of the librarian screen
// and the context menus of an upper slot (paste, rename, initialise, fetch)
// and of a lower slot (copy). Each pick calls the slot view, calls a
// plug-in or library operation, or starts a job of the worker.
#pragma once

#include <memory>

#include "IControl.h"
#include "IPopupMenu.h"

class LibrarianBrowser;
class LibrarianHost;

class BankEditPopupMenu : public IControl {
 public:
  BankEditPopupMenu(IPlugBase* plug, LibrarianBrowser* browser, IRECT rect);

  // Rebuilds all seven menus for the current data type.
  void AddMenuItemsIn();
  void doPopupMenu();
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  bool Draw(IGraphics* graphics) override;

  IPopupMenu& mainMenu() { return *mMain; }

  // Writes the upper bank back to its file; true when it was written.
  bool saveOverCurrentBank();
  // Before the library is read again: an unsaved edit of the upper bank is
  // saved or discarded as the user chooses; false, with nothing changed,
  // when the user cancels or the save fails. A discard reads the library
  // again and says so in reloaded.
  bool settleBankEdit(bool* reloaded = nullptr);

 private:
  LibrarianHost& host() const;
  void runMain(int index);
  void runSoundRequest(int index);
  void runMultiRequest(int index);
  void runSoundStore(int index);
  void runMultiStore(int index);

  LibrarianBrowser* mBrowser;
  std::unique_ptr<IPopupMenu> mMain, mSoundRequest, mMultiRequest, mSoundStore, mMultiStore, mSaveAs, mImport;
};

class FileEditPopupMenu : public IControl {
 public:
  FileEditPopupMenu(IPlugBase* plug, LibrarianBrowser* browser, IRECT rect);

  void AddMenuItemsIn();
  void doPopupMenu(int x, int y);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  bool Draw(IGraphics* graphics) override;

  IPopupMenu& mainMenu() { return *mMain; }

 private:
  LibrarianBrowser* mBrowser;
  std::unique_ptr<IPopupMenu> mMain, mGetData;
};

class FileCopyPopupMenu : public IControl {
 public:
  FileCopyPopupMenu(IPlugBase* plug, LibrarianBrowser* browser, IRECT rect);

  void doPopupMenu(int x, int y);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  bool Draw(IGraphics* graphics) override;

  IPopupMenu& mainMenu() { return *mMain; }

 private:
  LibrarianBrowser* mBrowser;
  std::unique_ptr<IPopupMenu> mMain;
};
