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

 private:
  LibrarianHost& host() const;
  void runMain(int index);
  void runSoundRequest(int index);
  void runMultiRequest(int index);
  void runSoundStore(int index);
  void runMultiStore(int index);
  void saveOverCurrentBank();

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
