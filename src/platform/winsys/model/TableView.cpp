#include "TableView.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace winsys {

TableColumn::TableColumn() : mCell(std::make_unique<TableCell>()) {}

TableView::~TableView() {
  for (TableColumn* c : mColumns) delete c;
}

void TableView::reloadData() {
  ++mReloads;
  int n = numberOfRows();
  for (auto it = mSel.begin(); it != mSel.end();) it = *it >= n ? mSel.erase(it) : std::next(it);
  fitFrameToRows();
}

void TableView::fitFrameToRows() {
  Rectf f = frame();
  double h = numberOfRows() * (rowHeight + intercellSpacing.height);
  double w = 0;
  for (TableColumn* c : mColumns)
    if (!c->hidden) w += c->width + intercellSpacing.width;
  if (f.height != h || f.width < w) assignFrame({f.x, f.y, std::max(f.width, w), h});
}

void TableView::addTableColumn(TableColumn* column) {
  mColumns.push_back(column);
  fitFrameToRows();
}

void TableView::removeTableColumn(TableColumn* column) {
  auto it = std::find(mColumns.begin(), mColumns.end(), column);
  if (it == mColumns.end()) return;
  mColumns.erase(it);
  delete column;
}

void TableView::moveColumn(int from, int to) {
  int n = int(mColumns.size());
  if (from < 0 || from >= n || to < 0 || to >= n || from == to) return;
  TableColumn* c = mColumns[size_t(from)];
  mColumns.erase(mColumns.begin() + from);
  mColumns.insert(mColumns.begin() + to, c);
}

int TableView::indexOfColumn(const TableColumn* c) const {
  auto it = std::find(mColumns.begin(), mColumns.end(), c);
  return it == mColumns.end() ? -1 : int(it - mColumns.begin());
}

void TableView::selectRowIndexes(const std::set<int>& rows, bool extend) {
  if (!extend) mSel.clear();
  for (int r : rows)
    if (r >= 0 && r < numberOfRows()) {
      mSel.insert(r);
      mLastSelected = r;
    }
}

void TableView::deselectRow(int row) { mSel.erase(row); }

void TableView::deselectAll() { mSel.clear(); }

int TableView::selectedRow() const {
  if (mSel.empty()) return -1;
  if (mSel.count(mLastSelected)) return mLastSelected;
  return *mSel.rbegin();
}

Rectf TableView::rectOfRow(int row) const {
  double pitch = rowHeight + intercellSpacing.height;
  return {0, row * pitch, frame().width, pitch};
}

Rectf TableView::rectOfColumn(int displayColumn) const {
  double x = 0;
  for (int i = 0; i < int(mColumns.size()); ++i) {
    TableColumn* c = mColumns[size_t(i)];
    double w = c->hidden ? 0 : c->width + intercellSpacing.width;
    if (i == displayColumn) return {x, 0, w, frame().height};
    x += w;
  }
  return {};
}

Rectf TableView::frameOfCellAtColumn(int displayColumn, int row) const {
  Rectf c = rectOfColumn(displayColumn), r = rectOfRow(row);
  return {c.x + intercellSpacing.width / 2, r.y + intercellSpacing.height / 2,
          std::max(0.0, c.width - intercellSpacing.width), rowHeight};
}

int TableView::rowAtPoint(Pointf p) const {
  if (p.y < 0) return -1;
  int row = int(p.y / (rowHeight + intercellSpacing.height));
  return row < numberOfRows() ? row : -1;
}

int TableView::columnAtPoint(Pointf p) const {
  double x = 0;
  for (int i = 0; i < int(mColumns.size()); ++i) {
    TableColumn* c = mColumns[size_t(i)];
    if (c->hidden) continue;
    double w = c->width + intercellSpacing.width;
    if (p.x >= x && p.x < x + w) return i;
    x += w;
  }
  return -1;
}

ScrollView* TableView::enclosingScrollView() const {
  View* clip = superview();
  return clip ? dynamic_cast<ScrollView*>(clip->superview()) : nullptr;
}

void TableView::scrollRowToVisible(int row) {
  ScrollView* sv = enclosingScrollView();
  if (!sv || row < 0) return;
  Rectf vis = sv->documentVisibleRect(), r = rectOfRow(row);
  double y = vis.y;
  if (r.y < vis.y)
    y = r.y;
  else if (r.maxY() > vis.maxY())
    y = r.maxY() - vis.height;
  sv->contentView()->scrollToPoint({vis.x, std::max(0.0, y)});
}

void TableView::scrollColumnToVisible(int displayColumn) {
  ScrollView* sv = enclosingScrollView();
  if (!sv || displayColumn < 0) return;
  Rectf vis = sv->documentVisibleRect(), c = rectOfColumn(displayColumn);
  double x = vis.x;
  if (c.x < vis.x)
    x = c.x;
  else if (c.maxX() > vis.maxX())
    x = c.maxX() - vis.width;
  sv->contentView()->scrollToPoint({std::max(0.0, x), vis.y});
}

void TableView::platformMouseDown(const Event& e) {
  Pointf p = convertPointFromBase(e.locationInWindow);
  int row = rowAtPoint(p);
  mClickedRow = row;
  mClickedColumn = columnAtPoint(p);
  std::set<int> before = mSel;
  if (row >= 0) {
    bool extend = allowsMultipleSelection && (e.modifierFlags & kCommandKeyMask);
    if (extend && isRowSelected(row))
      deselectRow(row);
    else
      selectRowIndexes({row}, extend);
  } else if (allowsEmptySelection) {
    deselectAll();
  }
  if (before != mSel) selectionDidChangeByUser();
  if (e.clickCount >= 2 && doubleAction && target()) (target()->*doubleAction)(this);
}

void TableView::setHasHeaderView(bool has) {
  if (has == mHasHeader) return;
  mHasHeader = has;
  if (ScrollView* sv = enclosingScrollView()) sv->tile();
}

int TableHeaderView::columnAt(const Event& e) const {
  Pointf p = convertPointFromBase(e.locationInWindow);
  ScrollView* sv = mTable->enclosingScrollView();
  double scrolled = sv ? sv->documentVisibleRect().x : 0;
  return mTable->TableView::columnAtPoint({p.x + scrolled, 0});
}

void TableHeaderView::mouseDown(const Event& e) { mPressed = columnAt(e); }

void TableHeaderView::mouseUp(const Event& e) {
  int column = std::exchange(mPressed, -1);
  if (column < 0 || column != columnAt(e) || !mTable->delegate) return;
  mTable->delegate->tableViewDidClickTableColumn(mTable, mTable->tableColumns()[size_t(column)]);
}

}  // namespace winsys
