// The top bar's bank and program menus for the part being edited (sound
// mode) or the multi (multi mode). In library-control mode the program menu
// lists and sends the upper bank's slots; otherwise both change the
// instrument's bank and program and request or send the result.
#pragma once

#include <array>
#include <memory>

#include "IControl.h"
#include "IPopupMenu.h"

class LibrarianBrowser;
class LibrarianHost;

class BankNumberPopupMenu : public IControl {
 public:
  BankNumberPopupMenu(IPlugBase* plug, LibrarianBrowser* browser, IRECT rect);

  // Rebuilds for the current data type and ticks bank; true in sound mode.
  bool refreshPatchNames(int bank);
  int doPopupMenu(int& bank);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  bool Draw(IGraphics* graphics) override;

  IPopupMenu& menu() { return *mMenu; }

 private:
  LibrarianHost& host() const;
  int bankParameter() const;

  int mCurrentBank = 0;
  LibrarianBrowser* mBrowser;
  std::unique_ptr<IPopupMenu> mMenu;
};

class ProgramNumberPopupMenu : public IControl {
 public:
  static constexpr int kSubmenus = 10;

  ProgramNumberPopupMenu(IPlugBase* plug, LibrarianBrowser* browser, IRECT rect);

  // Rebuilds the ten submenus and ticks program (0..99). Always true.
  bool refreshPatchNames(int program);
  // Leaves the picked entry's index within its submenu in program.
  int doPopupMenu(int& program);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  bool Draw(IGraphics* graphics) override;

  IPopupMenu& mainMenu() { return *mMain; }
  IPopupMenu& submenu(int k) { return *mSub[static_cast<size_t>(k)]; }

 private:
  LibrarianHost& host() const;

  int mCurrentProgram = 0;
  LibrarianBrowser* mBrowser;
  std::unique_ptr<IPopupMenu> mMain;
  std::array<std::unique_ptr<IPopupMenu>, kSubmenus> mSub;
};
