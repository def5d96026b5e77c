#include "IPopupMenu.h"

IPopupMenuItem* IPopupMenu::AddItem(IPopupMenuItem* item, int index) {
  const int n = mMenuItems.GetSize();
  if (index == -1 || index > n) index = n;
  else if (index < 0) index = 0;
  if (!mMenuItems.Insert(index, item)) {
    delete item;  // the menu took ownership even when it could not grow
    return nullptr;
  }
  return item;
}

IPopupMenuItem* IPopupMenu::AddItem(const char* text, int index, int flags) {
  return AddItem(new IPopupMenuItem(text, flags), index);
}

IPopupMenuItem* IPopupMenu::AddItem(const char* text, int index, IPopupMenu* submenu) {
  return AddItem(new IPopupMenuItem(text, submenu), index);
}

IPopupMenuItem* IPopupMenu::AddItem(const char* text, IPopupMenu* submenu) {
  return AddItem(new IPopupMenuItem(text, submenu), -1);
}

IPopupMenuItem* IPopupMenu::AddSeparator(int index) {
  return AddItem(new IPopupMenuItem("", IPopupMenuItem::kSeparator), index);
}

bool IPopupMenu::CheckItem(int index, bool checked) {
  IPopupMenuItem* item = mMenuItems.Get(index);
  if (!item) return false;
  item->SetChecked(checked);
  return true;
}

void IPopupMenu::CheckItemAlone(int index) {
  for (int i = 0; i < mMenuItems.GetSize(); ++i) mMenuItems.Get(i)->SetChecked(i == index);
}

bool IPopupMenu::IsItemChecked(int index) const {
  const IPopupMenuItem* item = mMenuItems.Get(index);
  return item && item->GetChecked();
}
