// The tab control and the group box.
#pragma once

#include <string>
#include <vector>

#include "HwndView.h"
#include "Swell.h"

struct TCITEM {
  UINT mask;
  DWORD dwState, dwStateMask;
  char* pszText;
  int cchTextMax;
  int iImage;
  LPARAM lParam;
};

enum : int { TCIF_TEXT = 1, TCN_SELCHANGE = -551 };

class Swell_vTarnivex_tabview : public winsys::View {
 public:
  using View::View;
  bool answersSetTag() const override { return true; }
  int tag() const override { return m_tag; }
  void setTag(int t) override { m_tag = t; }
  HWND getNotificationWindow() const { return m_dest; }
  void setNotificationWindow(HWND dest) { m_dest = dest; }
  void setNeedsDisplay(bool needs) override;
  void setNeedsDisplayInRect(winsys::Rectf r) override;

  // The platform tab view.
  std::vector<std::string> labels;
  int selected = -1;
  bool allowsTruncatedLabels = false;
  void insertTab(int idx, const std::string& label);
  void removeTab(int idx);
  void selectTabViewItemAtIndex(int idx);
  void tabViewDidSelectTabViewItem();

  int m_tag = 0;
  HWND m_dest = nullptr;  // not retained
};

class Swell_vTarnivex_box : public winsys::Box {
 public:
  using Box::Box;
  bool answersSetTag() const override { return true; }
  int tag() const override { return m_tag; }
  void setTag(int t) override { m_tag = t; }
  void setNeedsDisplay(bool needs) override;
  void setNeedsDisplayInRect(winsys::Rectf r) override;
  int m_tag = 0;
};

int TabCtrl_GetItemCount(HWND h);
int TabCtrl_InsertItem(HWND h, int idx, const TCITEM* item);
BOOL TabCtrl_DeleteItem(HWND h, int idx);
int TabCtrl_GetCurSel(HWND h);
int TabCtrl_SetCurSel(HWND h, int idx);
BOOL TabCtrl_AdjustRect(HWND h, BOOL larger, RECT* r);
