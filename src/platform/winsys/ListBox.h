// The layer's list view, as far as list-box messages and notifications need
// it: rows of texts with a user value, a selection, and list-box mode.
#pragma once

#include <string>
#include <vector>

#include "Swell.h"
#include "model/View.h"

class Swell_vTarnivex_listview : public winsys::View {
 public:
  struct Row {
    std::vector<std::string> texts;
    LPARAM param = 0;
    bool selected = false;
  };
  using View::View;

  bool answersOnSwellMessage() const override { return true; }
  LRESULT onSwellMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  bool answersSetTag() const override { return true; }
  int tag() const override { return m_tag; }
  void setTag(int t) override { m_tag = t; }
  bool getSwellStyle(LONG_PTR* out) override {
    *out = LONG_PTR(m_style);
    return true;
  }
  bool setSwellStyle(LONG_PTR v) override {
    m_style = unsigned(v);
    return true;
  }

  int getSwellNotificationMode() const { return m_lbMode; }
  int itemCount() const { return m_ownerData ? m_ownerDataCount : int(m_rows.size()); }
  int selectedRow() const;
  int clickedRow() const { return m_clickedRow; }
  int clickedColumn() const { return m_clickedColumn; }
  LPARAM rowParam(int row) const { return row >= 0 && row < int(m_rows.size()) ? m_rows[size_t(row)].param : 0; }
  bool hasColumns() const { return !m_cols.empty(); }
  std::vector<Row>& rows() { return m_rows; }

  // The row operations the list-box messages use.
  int insertItem(int pos, const char* text);
  void deleteItem(int row);
  void setItemSelected(int row, bool selected);

  int m_tag = 0;
  int m_lbMode = 0;
  unsigned m_style = 0;
  bool m_ownerData = false;
  int m_ownerDataCount = 0;
  std::vector<std::string> m_cols;
  int m_clickedRow = -1, m_clickedColumn = -1;
  // Text colours: the list's own (-1 none) and of selected rows (entry 1 focused, 3 not).
  int m_fgColor = -1;
  std::vector<int> m_selColors;

 private:
  std::vector<Row> m_rows;
};

// The layer's progress bar.
class Swell_vTarnivex_progind : public winsys::View {
 public:
  using View::View;
  bool answersOnSwellMessage() const override { return true; }
  LRESULT onSwellMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  double minValue = 0, maxValue = 100, value = 0;
  bool animating = true;
};
