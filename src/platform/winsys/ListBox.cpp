#include "ListBox.h"

#include <cstring>

int Swell_vTarnivex_listview::selectedRow() const {
  for (size_t i = 0; i < m_rows.size(); ++i)
    if (m_rows[i].selected) return int(i);
  return -1;
}

int Swell_vTarnivex_listview::insertItem(int pos, const char* text) {
  if (pos < 0 || pos > int(m_rows.size())) pos = int(m_rows.size());
  Row row;
  row.texts.push_back(text ? text : "");
  m_rows.insert(m_rows.begin() + pos, row);
  return pos;
}

void Swell_vTarnivex_listview::deleteItem(int row) {
  if (row >= 0 && row < int(m_rows.size())) m_rows.erase(m_rows.begin() + row);
}

void Swell_vTarnivex_listview::setItemSelected(int row, bool selected) {
  if (row == -1) {
    for (auto& r : m_rows) r.selected = selected;
  } else if (row >= 0 && row < int(m_rows.size())) {
    m_rows[size_t(row)].selected = selected;
  }
}

namespace {
// The sorted place of a new text among the rows' first column.
int sortedPosition(const std::vector<Swell_vTarnivex_listview::Row>& rows, const char* text) {
  auto textOf = [&](size_t i) { return rows[i].texts.empty() ? "" : rows[i].texts[0].c_str(); };
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
  switch (msg) {
    case LB_ADDSTRING: {
      int pos = int(m_rows.size());
      if (m_lbMode && !m_rows.empty() && (m_style & LBS_SORT)) pos = sortedPosition(m_rows, text ? text : "");
      return insertItem(pos, text);
    }
    case LB_INSERTSTRING: {
      size_t pos = size_t(wParam);
      if (pos > m_rows.size()) pos = m_rows.size();
      return insertItem(int(pos), text);
    }
    case LB_DELETESTRING: deleteItem(int(wParam)); return 0;
    case LB_GETTEXT:
      if (lParam) {
        int row = int(wParam);
        const char* t = row >= 0 && row < int(m_rows.size()) && !m_rows[size_t(row)].texts.empty()
                            ? m_rows[size_t(row)].texts[0].c_str()
                            : "";
        lstrcpyn(reinterpret_cast<char*>(lParam), t, 4096);
      }
      return 0;
    case LB_RESETCONTENT:
      m_ownerDataCount = 0;
      m_rows.clear();
      return 0;
    case LB_SETSEL: setItemSelected(int(lParam), wParam != 0); return 0;
    case LB_SETCURSEL: {
      size_t row = size_t(unsigned(wParam));
      for (size_t i = 0; i < m_rows.size(); ++i) m_rows[i].selected = i == row;
      return 0;
    }
    case LB_GETSEL: {
      int row = int(wParam);
      return row >= 0 && row < int(m_rows.size()) && m_rows[size_t(row)].selected;
    }
    case LB_GETCURSEL: return selectedRow();
    case LB_GETCOUNT: return itemCount();
    case LB_GETSELCOUNT: {
      int n = 0;
      for (auto& r : m_rows) n += r.selected;
      return n;
    }
    case LB_GETITEMDATA: return rowParam(int(wParam));
    case LB_SETITEMDATA:
      if (int(wParam) >= 0 && int(wParam) < int(m_rows.size())) m_rows[size_t(wParam)].param = lParam;
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
