// The list-box messages of the list view, and the progress bar's messages.
#include "ListBox.h"

#include <cstring>

namespace {
// The sorted place of a new text among the rows' first column.
int sortedPosition(const std::vector<std::unique_ptr<SWELL_ListView_Row>>& rows, const char* text) {
  auto textOf = [&](size_t i) { return rows[i]->m_vals.empty() ? "" : rows[i]->m_vals[0].c_str(); };
  int lo = 0, len = int(rows.size()), n = int(rows.size());
  while (len > 0) {
    int mid = lo + len / 2;
    int c = strcmp(text, textOf(size_t(mid)));
    if (c == 0) return mid;
    if (c > 0) {
      lo = mid + 1;
      if (lo >= n) return n;
      if (strcmp(text, textOf(size_t(lo))) <= 0) return lo;
      len--;
    }
    len /= 2;
  }
  return lo;
}
}  // namespace

LRESULT Swell_vTarnivex_listview::onSwellMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  const char* text = reinterpret_cast<const char*>(lParam);
  int n = int(m_items.size());
  switch (msg) {
    case LB_ADDSTRING: {
      int pos = n;
      if (m_lbMode && n && (m_style & LBS_SORT)) pos = sortedPosition(m_items, text ? text : "");
      return insertRow(pos, text);
    }
    case LB_INSERTSTRING: {
      size_t pos = size_t(wParam);
      return insertRow(pos > size_t(n) ? n : int(pos), text);
    }
    case LB_DELETESTRING: deleteRow(int(wParam)); return 0;
    case LB_GETTEXT:
      if (lParam) {
        int row = int(wParam);
        const char* t =
            row >= 0 && row < n && !m_items[size_t(row)]->m_vals.empty() ? m_items[size_t(row)]->m_vals[0].c_str() : "";
        lstrcpyn(reinterpret_cast<char*>(lParam), t, 4096);
      }
      return 0;
    case LB_RESETCONTENT:
      ownermode_cnt = 0;
      m_items.clear();
      reloadData();
      return 0;
    case LB_SETSEL:
      // Through the list's state call, so the owner hears LVN_ITEMCHANGED.
      ListView_SetItemState(this, int(lParam), wParam ? LVIS_SELECTED : 0, LVIS_SELECTED);
      return 0;
    case LB_SETCURSEL: {
      int row = int(unsigned(wParam));
      if (row >= 0 && row < n)
        selectRowIndexes({row}, false);
      else
        deselectAll();
      return 0;
    }
    case LB_GETSEL: return isRowSelected(int(wParam)) ? 1 : 0;
    case LB_GETCURSEL: return selectedRow();
    case LB_GETCOUNT: return itemCount();
    case LB_GETSELCOUNT: return numberOfSelectedRows();
    case LB_GETITEMDATA: return rowParam(int(wParam));
    case LB_SETITEMDATA:
      if (int(wParam) >= 0 && int(wParam) < n) m_items[size_t(wParam)]->m_param = lParam;
      return 0;
    default: return 0;
  }
}

LRESULT Swell_vTarnivex_progind::onSwellMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case PBM_SETRANGE:
      minValue = double(lParam & 0xFFFF);
      maxValue = double((uintptr_t(lParam) >> 16) & 0xFFFF);
      return 0;
    case PBM_SETPOS:
      value = double(unsigned(wParam));
      animating = false;
      return 0;
    case PBM_DELTAPOS: value += double(unsigned(wParam)); return 0;
    default: return 0;
  }
}
