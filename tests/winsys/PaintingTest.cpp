// Painting as a program sees it: windows shown and invalidated, the run loop's
// pass, and the pixels the window then holds.
#include "ControlCreation.h"
#include "Handles.h"
#include "ListView.h"
#include "SwellGdi.h"
#include "WindowFixture.h"

namespace {

using winsys::App;

class Painting : public WindowTest {
 protected:
  // The colour at a pixel of the window's memory context, 0xRRGGBB; -1 outside it.
  static int pixel(HWND w, int x, int y) {
    HDC ctx = SWELL_GetWindowContext(w);
    if (!ctx || x < 0 || y < 0 || x >= SWELL_GetCtxWidth(ctx) || y >= SWELL_GetCtxHeight(ctx)) return -1;
    auto* p = static_cast<unsigned char*>(SWELL_GetCtxFrameBuffer(ctx)) + (ptrdiff_t(y) * SWELL_GetCtxWidth(ctx) + x) * 4;
    return p[1] << 16 | p[2] << 8 | p[3];
  }
  // A view's rectangle in the pixels of its window (top row first).
  static RECT inWindow(HWND view, RECT r) {
    winsys::View* v = swell::asView(view);
    double h = v->window()->frame().height;
    winsys::Pointf a = v->convertPointToBase({double(r.left), double(r.top)});
    winsys::Pointf b = v->convertPointToBase({double(r.right), double(r.bottom)});
    return {int(std::min(a.x, b.x)), int(h - std::max(a.y, b.y)), int(std::max(a.x, b.x)), int(h - std::min(a.y, b.y))};
  }
  // Whether some pixel of a rectangle satisfies a test (text: where its glyphs cover).
  template <class F>
  static bool anyPixel(HWND w, RECT r, F test) {
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        if (test(pixel(w, x, y))) return true;
    return false;
  }
  static void fill(HDC hdc, RECT r, int color) {
    HBRUSH b = CreateSolidBrush(color);
    SWELL_FillRect(hdc, &r, b);
    DeleteObject(b);
  }
  void TearDown() override {
    for (HGDIOBJ b : brushes) DeleteObject(b);
    WindowTest::TearDown();
  }
  HBRUSH brush(int color) {
    brushes.push_back(CreateSolidBrush(color));
    return brushes.back();
  }
  std::vector<HGDIOBJ> brushes;
};

TEST_F(Painting, ADialogAndItsChildrenPaintIntoTheWindowsPixels) {
  HWND top = topLevel(200, 100);
  HWND inner = child(top, 50, 40, 30, 20, 7);
  HWND hidden = child(top, 150, 10, 20, 20, 8);
  ShowWindow(hidden, SW_HIDE);
  rec.answers[WM_CTLCOLORDLG] = LRESULT(brush(0x336699));
  rec.hook = [&](HWND h, UINT m, WPARAM, LPARAM) -> LRESULT {
    if (m != WM_PAINT) return 0;
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(h, &ps);
    if (h == top) fill(hdc, {10, 10, 20, 20}, 0xFF0000);
    if (h == inner) fill(hdc, {0, 0, 30, 20}, 0x00FF00);
    if (h == hidden) fill(hdc, {0, 0, 20, 20}, 0x0000FF);
    EndPaint(h, &ps);
    return 0;
  };
  SWELL_RunEvents();  // the run loop's pass draws what the window shows
  ASSERT_NE(SWELL_GetWindowContext(top), nullptr);
  EXPECT_EQ(pixel(top, 1, 1), 0x336699) << "the brush WM_CTLCOLORDLG answered";
  EXPECT_EQ(pixel(top, 15, 15), 0xFF0000);
  EXPECT_EQ(pixel(top, 50, 40), 0x00FF00) << "the child's own (0, 0)";
  EXPECT_EQ(pixel(top, 79, 59), 0x00FF00);
  EXPECT_EQ(pixel(top, 80, 60), 0x336699) << "outside the child";
  EXPECT_EQ(pixel(top, 160, 20), 0x336699) << "a hidden child paints nothing";

  // The dialog painting again covers the child's area, and the child paints over it once more.
  rec.answers[WM_CTLCOLORDLG] = 0;  // the system's dialog background
  InvalidateRect(top, nullptr, 0);
  UpdateWindow(top);
  EXPECT_EQ(pixel(top, 1, 1), GetSysColor(1));
  EXPECT_EQ(pixel(top, 60, 50), 0x00FF00);
  ShowWindow(hidden, SW_SHOW);
  SWELL_RunEvents();
  EXPECT_EQ(pixel(top, 160, 20), 0x0000FF) << "shown, it paints at the next pass";
}

TEST_F(Painting, AClientAreaSmallerThanTheWindowClipsThePaint) {
  HWND top = topLevel(100, 80);
  rec.answers[WM_CTLCOLORDLG] = LRESULT(brush(0x000000));
  rec.hook = [&](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
    if (m == WM_NCCALCSIZE) reinterpret_cast<NCCALCSIZE_PARAMS*>(lp)->rgrc[0].left += 10;
    if (m == WM_PAINT) fill(reinterpret_cast<HDC>(wp), {0, 0, 100, 80}, 0xFFFFFF);
    (void)h;
    return 0;
  };
  SWELL_RunEvents();
  EXPECT_EQ(pixel(top, 5, 5), 0x000000) << "left of the client area";
  EXPECT_EQ(pixel(top, 50, 5), 0xFFFFFF);
}

TEST_F(Painting, AnOwnerDrawnListAsksItsOwnerToDrawEachRow) {
  HWND top = topLevel(200, 120);
  SWELL_MakeSetCurParms(1, 1, 0, 0, top, false, false);
  HWND lb = SWELL_MakeListBox(50, 20, 10, 100, 80, 0x10);  // LBS_OWNERDRAWFIXED
  SendMessage(lb, LB_ADDSTRING, 0, LPARAM("first"));
  SendMessage(lb, LB_ADDSTRING, 0, LPARAM("second"));
  SendMessage(lb, LB_SETITEMDATA, 0, 0xCC0000);
  SendMessage(lb, LB_SETITEMDATA, 1, 0x00CC00);
  std::vector<DRAWITEMSTRUCT> seen;
  rec.hook = [&](HWND, UINT m, WPARAM, LPARAM lp) -> LRESULT {
    if (m != WM_DRAWITEM) return 0;
    auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
    seen.push_back(*dis);
    fill(dis->hDC, dis->rcItem, int(dis->itemData));
    return 1;
  };
  SWELL_RunEvents();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].CtlType, 2u);
  EXPECT_EQ(seen[0].CtlID, 50u);
  EXPECT_EQ(seen[0].hwndItem, lb);
  EXPECT_EQ(seen[1].itemID, 1u);
  RECT row0, row1;
  ListView_GetItemRect(lb, 0, &row0, 0);
  ListView_GetItemRect(lb, 1, &row1, 0);
  row0 = inWindow(lb, row0);
  row1 = inWindow(lb, row1);
  EXPECT_EQ(row0.left, 20) << "the list's place in the dialog";
  EXPECT_EQ(row0.top, 10);
  EXPECT_EQ(pixel(top, row0.left + 5, row0.top + 5), 0xCC0000);
  EXPECT_EQ(pixel(top, row1.left + 5, row1.top + 5), 0x00CC00);
}

TEST_F(Painting, RowTextTakesTheColoursTheOwnerSet) {
  HWND top = topLevel(200, 120);
  rec.answers[WM_CTLCOLORDLG] = LRESULT(brush(0xFFFFFF));
  SWELL_MakeSetCurParms(1, 1, 0, 0, top, false, false);
  HWND lv = SWELL_MakeControl("", 20, "SysListView32", 0, 0, 0, 150, 100, 0);
  for (const char* t : {"MMMMMMMM", "MMMMMMMM"}) {
    LVITEM it{};
    it.mask = LVIF_TEXT;
    it.iItem = 99;
    it.pszText = const_cast<char*>(t);
    ListView_InsertItem(lv, &it);
  }
  // Selected rows without the focus: background entry 2, text entry 3; other rows the text colour.
  const int sel[] = {0x000000, 0x000000, 0x202020, 0xFFFF00};
  ListView_SetSelColors(lv, sel, 4);
  ListView_SetTextColor(lv, 0x0000FF);
  ListView_SetItemState(lv, 0, LVIS_SELECTED, LVIS_SELECTED);
  SWELL_RunEvents();
  RECT r0, r1;
  ListView_GetItemRect(lv, 0, &r0, 0);
  ListView_GetItemRect(lv, 1, &r1, 0);
  r0 = inWindow(lv, r0);
  r1 = inWindow(lv, r1);
  EXPECT_EQ(pixel(top, 1, r0.top + 1), 0x202020) << "the selected row's fill";
  auto yellow = [](int c) { return ((c >> 16) & 0xFF) > 150 && ((c >> 8) & 0xFF) > 150 && (c & 0xFF) < 60; };
  auto blue = [](int c) { return (c & 0xFF) > 200 && ((c >> 16) & 0xFF) < 120; };
  EXPECT_TRUE(anyPixel(top, r0, yellow)) << "selected row text: entry 3";
  EXPECT_FALSE(anyPixel(top, r0, blue));
  EXPECT_TRUE(anyPixel(top, r1, blue)) << "other rows: the text colour";
  EXPECT_FALSE(anyPixel(top, r1, yellow));
}

}  // namespace

namespace {

TEST_F(Painting, AStatusImageComesFromTheDrawingLayersImageList) {
  HWND top = topLevel(200, 120);
  SWELL_MakeSetCurParms(1, 1, 0, 0, top, false, false);
  auto* lv = dynamic_cast<Swell_vTarnivex_listview*>(SWELL_MakeControl("", 20, "SysListView32", 0, 0, 0, 150, 100, 0));
  const unsigned char px[4] = {0xFF, 0x10, 0x20, 0x30};
  HBITMAP bmp = CreateBitmap(1, 1, 1, 32, px);
  ICONINFO info{1, 0, 0, nullptr, bmp};
  HICON icon = CreateIconIndirect(&info);
  HIMAGELIST list = ImageList_CreateEx();
  ImageList_ReplaceIcon(list, -1, icon);
  ListView_SetImageList(lv, list, LVSIL_SMALL);
  LVCOLUMN col{};
  col.mask = LVCF_WIDTH;
  col.cx = 100;
  ListView_InsertColumn(lv, 0, &col);
  LVITEM it{};
  it.mask = LVIF_TEXT | LVIF_IMAGE;
  it.pszText = const_cast<char*>("a");
  ListView_InsertItem(lv, &it);
  it.iImage = 0;
  ListView_SetItem(lv, &it);
  lv->objectValue(0, 0, nullptr);
  auto* cell = dynamic_cast<Swell_vTarnivex_statuscell*>(lv->m_cols[0]->dataCell());
  ASSERT_NE(cell, nullptr);
  EXPECT_EQ(cell->statusImage(), GetNSImageFromHICON(SWELL_ImageListEntry(list, 0))) << "image index 1: entry 0";
  ListView_SetImageList(lv, nullptr, LVSIL_SMALL);
  ImageList_Destroy(list);
  DeleteObject(icon);
  DeleteObject(bmp);
}

}  // namespace
