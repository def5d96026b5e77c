// A popup menu as controls describe it: items with texts, flags and
// submenus, and the item the user chose. The views turn it into their own
// menus item for item, so indices agree (separators are items too).
#pragma once

#include "WDL_PtrList.h"
#include "WDL_String.h"

class IPopupMenu;

class IPopupMenuItem {
 public:
  enum Flags { kNoFlags = 0, kDisabled = 1, kTitle = 2, kChecked = 4, kSeparator = 8 };

  IPopupMenuItem(const char* text, int flags = kNoFlags) : mText(text ? text : ""), mFlags(flags) {}
  IPopupMenuItem(const char* text, IPopupMenu* submenu) : mText(text ? text : ""), mSubmenu(submenu) {}

  void SetChecked(bool checked) { mFlags = checked ? (mFlags | kChecked) : (mFlags & ~kChecked); }
  const char* GetText() const { return mText.Get(); }
  void SetText(const char* text) { mText.Set(text ? text : ""); }
  int GetFlags() const { return mFlags; }
  bool GetEnabled() const { return !(mFlags & kDisabled); }
  bool GetChecked() const { return (mFlags & kChecked) != 0; }
  bool GetIsTitle() const { return (mFlags & kTitle) != 0; }
  bool GetIsSeparator() const { return (mFlags & kSeparator) != 0; }
  IPopupMenu* GetSubmenu() const { return mSubmenu; }

 private:
  WDL_String mText;
  IPopupMenu* mSubmenu = nullptr;  // not owned
  int mFlags = kNoFlags;
};

class IPopupMenu {
 public:
  IPopupMenu() = default;
  ~IPopupMenu() { mMenuItems.Empty(true); }
  IPopupMenu(const IPopupMenu&) = delete;
  IPopupMenu& operator=(const IPopupMenu&) = delete;

  int GetNItems() const { return mMenuItems.GetSize(); }
  int GetPrefix() const { return mPrefix; }
  int GetChosenItemIdx() const { return mChosenItemIdx; }
  void SetChosenItemIdx(int index) { mChosenItemIdx = index; }
  bool GetCanMultiCheck() const { return mCanMultiCheck; }
  void SetMultiCheck(bool multi) { mCanMultiCheck = multi; }

  // Null outside 0..count-1.
  IPopupMenuItem* GetItem(int index) const { return mMenuItems.Get(index); }
  // "" for an empty text; index must be valid.
  const char* GetItemText(int index) const { return mMenuItems.Get(index)->GetText(); }

  // -1 or past the end appends, any other negative index inserts first.
  IPopupMenuItem* AddItem(IPopupMenuItem* item, int index = -1);
  IPopupMenuItem* AddItem(const char* text, int index = -1, int flags = IPopupMenuItem::kNoFlags);
  IPopupMenuItem* AddItem(const char* text, int index, IPopupMenu* submenu);
  IPopupMenuItem* AddItem(const char* text, IPopupMenu* submenu);
  IPopupMenuItem* AddSeparator(int index = -1);

  // 0 none, 1 "%1d: ", 2 "%02d: ", 3 "%03d: "; other values are ignored.
  void SetPrefix(int style) {
    if (style >= 0 && style <= 3) mPrefix = style;
  }
  bool CheckItem(int index, bool checked);
  // Checks index and clears every other item.
  void CheckItemAlone(int index);
  bool IsItemChecked(int index) const;

 private:
  // Grown in small steps: an instance keeps some hundred menus, most of a few
  // items, and the list's default steps hold 4 KB each.
  WDL_PtrList<IPopupMenuItem> mMenuItems{128};
  int mPrefix = 0;
  int mChosenItemIdx = -1;
  bool mCanMultiCheck = false;
};
