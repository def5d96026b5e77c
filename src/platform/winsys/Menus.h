// Win32-style menus over the window model's menus: items by command id
// (searched through submenus) or by position, keyboard equivalents, menus
// from resources and description lists, context menus and window menus.
#pragma once

#include <string>
#include <vector>

#include "HwndView.h"
#include "Swell.h"
#include "model/Menu.h"

// A menu item; it is the sender of its command, so it is a view that answers a tag.
class SwellMenuItem : public winsys::View {
 public:
  ~SwellMenuItem() override;
  bool answersSetTag() const override { return true; }
  int tag() const override { return m_tag; }
  void setTag(int t) override { m_tag = t; }
  void setSubmenu(HMENU menu);  // takes the caller's reference
  void setRepresented(LONG_PTR value, bool has);

  std::string title;
  int m_tag = 0;
  bool checked = false;
  bool enabled = true;
  bool separator = false;
  void* image = nullptr;
  HMENU submenu = nullptr;
  Swell_vTarnivex_sdh* represented = nullptr;
  int keyChar = 0;  // 0 for no key equivalent
  unsigned keyMask = 0;
  winsys::View* target = nullptr;
  bool hasAction = false;
};

class Swell_vTarnivex_menu : public HMENU__ {
 public:
  ~Swell_vTarnivex_menu() override;
  int count() const { return int(items.size()); }
  SwellMenuItem* itemAt(int i) const { return i >= 0 && i < count() ? items[size_t(i)] : nullptr; }
  int indexOfItemWithTag(int tag) const;
  void insertItem(SwellMenuItem* item, int idx);  // takes the reference
  void removeItemAtIndex(int idx);
  Swell_vTarnivex_menu* copy() const;

  std::vector<SwellMenuItem*> items;
  std::string title;
  bool autoenablesItems = true;
};

struct MENUITEMINFO {
  UINT cbSize, fMask, fType, fState, wID;
  HMENU hSubMenu;
  HBITMAP hbmpChecked, hbmpUnchecked;
  uintptr_t dwItemData;
  char* dwTypeData;
  int cch;
};

enum : unsigned {
  MIIM_ID = 1, MIIM_STATE = 2, MIIM_TYPE = 4, MIIM_SUBMENU = 8, MIIM_DATA = 16,
  MFT_STRING = 0, MFT_BITMAP = 4, MFT_SEPARATOR = 0x800,
  MF_BYPOSITION = 0x400, MF_POPUP = 0x10, MF_SEPARATOR = 0x800, MF_BITMAP = 4, MF_CHECKED = 8, MF_GRAYED = 1,
  MFS_CHECKED = 8, MFS_GRAYED = 3,
  TPM_NONOTIFY = 0x80, TPM_RETURNCMD = 0x100,
};

struct SWELL_MenuResourceIndex {
  const char* resid;
  void (*createFunc)(HMENU menu);
  SWELL_MenuResourceIndex* next;
};
extern SWELL_MenuResourceIndex* SWELL_curmodule_menuresource_head;

struct SWELL_MenuGen_Entry {
  const char* name;  // null: a separator
  int idx;
};

HMENU CreatePopupMenu();
HMENU CreatePopupMenuEx(const char* title);
void DestroyMenu(HMENU menu);
HMENU SWELL_DuplicateMenu(HMENU menu);
int GetMenuItemCount(HMENU menu);
HMENU GetSubMenu(HMENU menu, int pos);
int GetMenuItemID(HMENU menu, int pos);
int AddMenuItem(HMENU menu, int pos, const char* name, int tag);
void SWELL_Menu_AddMenuItem(HMENU menu, const char* name, int id, unsigned flags);
void SWELL_InsertMenu(HMENU menu, int pos, unsigned flag, UINT_PTR id, const char* text);
bool SetMenuItemText(HMENU menu, int idx, int flag, const char* text);
bool EnableMenuItem(HMENU menu, int idx, int flag);
bool CheckMenuItem(HMENU menu, int idx, int flag);
bool DeleteMenu(HMENU menu, int idx, int flag);
bool SetMenuItemModifier(HMENU menu, int idx, int flag, int code, unsigned flags);
void InsertMenuItem(HMENU menu, int pos, BOOL byPos, MENUITEMINFO* info);
BOOL SetMenuItemInfo(HMENU menu, int idx, BOOL byPos, MENUITEMINFO* info);
BOOL GetMenuItemInfo(HMENU menu, int idx, BOOL byPos, MENUITEMINFO* info);
HMENU SWELL_LoadMenu(SWELL_MenuResourceIndex* head, const char* resid);
int SWELL_GenerateMenuFromList(HMENU menu, const void* list, int count);
int TrackPopupMenu(HMENU menu, int flags, int x, int y, int reserved, HWND hwnd, const RECT* r);
BOOL SetMenu(HWND hwnd, HMENU menu);
HMENU GetMenu(HWND hwnd);
void DrawMenuBar(HWND hwnd);
HMENU SWELL_GetCurrentMenu();
void SWELL_SetCurrentMenu(HMENU menu);

namespace swell {
// The title rule: '&' dropped before the character it marks, cut at a tab, at most 1023 characters.
std::string menuTitle(const char* text);
// The item with a command id, searched through submenus depth first; null when none.
SwellMenuItem* findItemDeep(HMENU menu, int id, HMENU* owner);
// Shows a menu as a context menu: the chooser stands in for the user.
void popUpContextMenu(HMENU menu, winsys::View* view);
}  // namespace swell
