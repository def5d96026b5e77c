// A table of the window model: columns in display order, rows counted by a
// data source, a selection index set, fixed row geometry (row height 17,
// intercell spacing 3 by 2, flipped), a header of 17 pixels when shown, and
// scrolling through the enclosing clip view. Outlines build on it.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Controls.h"

namespace winsys {

class ScrollView;

// A cell draws one value into a frame; the layer's cells subclass it.
class TableCell {
 public:
  virtual ~TableCell() = default;
  virtual void drawWithFrame(Rectf frame, View* view) { drawInteriorWithFrame(frame, view); }
  virtual void drawInteriorWithFrame(Rectf, View*) {}
  std::string text;
  // 0xRRGGBB; -1 draws in the platform's text colour.
  int textColor = -1;
  int alignment = 0;
  bool editable = true;
  bool wraps = true;
  // The highlight colour while the row is selected; -1 means none (the table paints it).
  virtual int highlightColor(View*) { return 0x3875D7; }
};

class TableColumn {
 public:
  TableColumn();
  std::string headerTitle;
  int headerAlignment = 0;
  double width = 100;
  bool hidden = false;
  bool editable = true;
  // "NSAscendingSortIndicator", "NSDescendingSortIndicator" or empty.
  std::string indicatorImage;
  TableCell* dataCell() const { return mCell.get(); }
  void setDataCell(std::unique_ptr<TableCell> cell) { mCell = std::move(cell); }

 private:
  std::unique_ptr<TableCell> mCell;
};

class TableView : public Control {
 public:
  using Control::Control;
  ~TableView() override;
  bool isFlipped() const override { return true; }

  // Data source.
  virtual int numberOfRows() const { return 0; }
  void reloadData();
  int reloadCount() const { return mReloads; }

  // Columns, display order.
  const std::vector<TableColumn*>& tableColumns() const { return mColumns; }
  void addTableColumn(TableColumn* column);  // takes ownership
  void removeTableColumn(TableColumn* column);
  void moveColumn(int from, int to);
  int numberOfColumns() const { return int(mColumns.size()); }
  int indexOfColumn(const TableColumn* c) const;

  // Selection.
  bool isRowSelected(int row) const { return mSel.count(row) != 0; }
  void selectRowIndexes(const std::set<int>& rows, bool extend);
  void deselectRow(int row);
  void deselectAll();
  int selectedRow() const;
  int numberOfSelectedRows() const { return int(mSel.size()); }
  const std::set<int>& selectedRowIndexes() const { return mSel; }
  bool allowsMultipleSelection = true;
  bool allowsEmptySelection = true;
  bool allowsColumnReordering = true;

  // Geometry in the table's own coordinates.
  double rowHeight = 17;
  Sizef intercellSpacing{3, 2};
  Rectf rectOfRow(int row) const;
  Rectf rectOfColumn(int displayColumn) const;
  Rectf frameOfCellAtColumn(int displayColumn, int row) const;
  int rowAtPoint(Pointf p) const;
  // The display column under a point, -1 when none.
  virtual int columnAtPoint(Pointf p) const;
  // The header is a row of column titles above the table in its scroll view.
  bool hasHeaderView() const { return mHasHeader; }
  void setHasHeaderView(bool has);
  double headerHeight() const { return mHasHeader ? 17 : 0; }

  ScrollView* enclosingScrollView() const;
  void scrollRowToVisible(int row);
  void scrollColumnToVisible(int displayColumn);

  // Appearance.
  int gridStyle = 0;
  int gridColor = -1, backgroundColor = -1;
  bool columnAutoresizing = true;

  // The table's own reaction to a press and release: the row under the
  // pointer becomes the selection (added to it with Command while multiple
  // selection is allowed); a miss clears it when an empty selection is allowed.
  void platformMouseDown(const Event& e);
  void platformMouseUp(const Event& e) { (void)e; }
  // The row and column of the last platform press.
  int clickedRow() const { return mClickedRow; }
  int clickedColumn() const { return mClickedColumn; }

  View* delegate = nullptr;
  // Sent to the target by a press of two or more clicks.
  void (View::*doubleAction)(View*) = nullptr;

 protected:
  // The user changed the selection; the delegate hears of it.
  virtual void selectionDidChangeByUser() {}
  void fitFrameToRows();

 private:
  std::vector<TableColumn*> mColumns;
  std::set<int> mSel;
  int mLastSelected = -1;
  int mReloads = 0;
  int mClickedRow = -1, mClickedColumn = -1;
  bool mHasHeader = true;
};

// The column titles of a table, placed by the enclosing scroll view above
// its clip view. A click on a title reaches the table's delegate.
class TableHeaderView : public View {
 public:
  explicit TableHeaderView(TableView* table) : mTable(table) {}
  TableView* tableView() const { return mTable; }
  bool isFlipped() const override { return true; }
  bool accessibilityIsIgnored() override { return false; }
  void mouseDown(const Event& e) override;
  void mouseUp(const Event& e) override;

 private:
  // The display column under a point of the header.
  int columnAt(const Event& e) const;
  TableView* mTable;  // the scroll view's document: lives as long as the header
  int mPressed = -1;
};

}  // namespace winsys
