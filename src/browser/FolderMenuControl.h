// The shape every librarian menu that lists bank files shares: an invisible
// control holding a main menu, every menu of the current build with the
// folder name it lists, rebuilt from scratch on every refresh, at most one
// entry ticked, and a pick mapped back to a bank by its file and folder name.
// The bank-file folder menus of both panes, the category and search menus
// and the bank-name menus of the top bar are this control with a kind.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "IControl.h"
#include "IPopupMenu.h"
#include "LibrarianHost.h"

class LibrarianBrowser;

enum class FolderMenuKind {
  kLeftPatch,     // upper pane, sound banks by folder
  kRightPatch,    // lower pane, sound banks by folder
  kLeftPerf,      // upper pane, multi banks by folder
  kRightPerf,     // lower pane, multi banks by folder
  kCategory,      // lower pane, category banks by category
  kSearch,        // lower pane, search results in one list
  kPerfBankName,  // top bar in library mode, multi banks: the upper pane
  kProgBankName,  // top bar in library mode, sound banks: the upper pane
};

class FolderMenuControl : public IControl {
 public:
  FolderMenuControl(IPlugBase* plug, LibrarianBrowser* browser, IRECT rect, FolderMenuKind kind);
  ~FolderMenuControl() override;

  FolderMenuKind kind() const { return mKind; }
  int pane() const;
  // The library list whose indices the menu's picks give.
  int bankList() const;

  // Rebuilds every menu from the library's tree, ticks the bank given by
  // its names or else by position, and makes the named bank the pane's bank
  // when the list holds it. Always true.
  bool refreshFolderStructure(int selection, std::string fileName, std::string folderName);
  // The name the bank-name menus give their (single) rebuild.
  bool refreshPatchNames(int selection, std::string fileName, std::string folderName) {
    return refreshFolderStructure(selection, std::move(fileName), std::move(folderName));
  }
  // Ticks the bank at index of the bank list alone among all menus.
  void checkMenuItemAlone(int index);
  // Shows the menu and maps a pick to a bank index in selection; the
  // picked names are stored as the pane's. The selection, or -1 when the
  // menu was dismissed (selection and names then stay).
  int doPopupMenu(int& selection);

  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  bool Draw(IGraphics* graphics) override;

  // ---- What tests and the snapshot read.
  IPopupMenu* mainMenu() const { return mMainMenu; }
  const std::vector<IPopupMenu*>& menus() const { return mMenus; }
  const std::vector<std::string>& folderNames() const { return mFolderNames; }
  int tickCount() const;

 private:
  struct Names {
    std::string* file;
    std::string* folder;
  };
  LibrarianHost& host() const;
  // The names read at construction and those a pick writes.
  Names constructionNames() const;
  Names pickNames() const;
  IPopupMenu* newMenu();
  void registerMenu(IPopupMenu* menu, const std::string& folderName);
  void clearAllTicks();
  void buildFolderTree(int selection, const std::string& fileName, const std::string& folderName);
  void buildCategories(int selection, const std::string& fileName, const std::string& folderName);
  void buildSearch(int selection, const std::string& fileName, const std::string& folderName);
  // Makes index the pane's bank: parameter, controls and librarian.
  void applySelection(int index);
  void clickPaneMenu();
  void clickBankNameMenu();

  LibrarianBrowser* mBrowser;
  FolderMenuKind mKind;
  int mSelection = 0;
  std::vector<std::unique_ptr<IPopupMenu>> mOwned;  // every menu of the build
  IPopupMenu* mMainMenu = nullptr;
  std::vector<IPopupMenu*> mMenus;  // the registered ones, in build order
  std::vector<std::string> mFolderNames;
};
