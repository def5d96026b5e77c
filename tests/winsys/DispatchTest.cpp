#include "ComboBoxes.h"
#include "ListBox.h"
#include "WindowFixture.h"
#include "model/Controls.h"

namespace {

using Dispatch = WindowTest;

TEST_F(Dispatch, ButtonMessages) {
  HWND top = topLevel();
  auto* b = add<winsys::Button>(top, {0, 0, 10, 10});
  struct Case {
    WPARAM set;
    int state;
    LRESULT get;
  } cases[] = {{1, 1, 1}, {0, 0, 0}, {2, -1, 2}, {3, -1, 2}};
  for (auto c : cases) {
    EXPECT_EQ(SendMessage(b, BM_SETCHECK, c.set, 0), 0);
    EXPECT_EQ(b->state(), c.state);
    EXPECT_EQ(SendMessage(b, BM_GETCHECK, 0, 0), c.get);
  }
  // The picture button takes bitmap objects only.
  static int bitmapObject, fontObject, picture;
  SwellPaintBackend pb;
  pb.imageOf = [](HGDIOBJ o) -> void* { return o == reinterpret_cast<HGDIOBJ>(&bitmapObject) ? &picture : nullptr; };
  SWELL_SetPaintBackend(pb);
  auto* pic = add<Swell_vTarnivex_button>(top, {0, 0, 10, 10});
  auto bitmap = LPARAM(&bitmapObject), font = LPARAM(&fontObject);
  EXPECT_EQ(SendMessage(pic, BM_SETIMAGE, 0, bitmap), 0);
  EXPECT_EQ(pic->image(), &picture);
  EXPECT_EQ(SendMessage(pic, BM_SETIMAGE, 2, font), 0) << "image type 2";
  EXPECT_EQ(pic->image(), &picture);
  EXPECT_EQ(SendMessage(pic, BM_SETIMAGE, 1, font), bitmap) << "answers the previous object";
  EXPECT_EQ(pic->image(), nullptr);
  EXPECT_EQ(SendMessage(pic, BM_GETIMAGE, 0, 0), 0);
  SWELL_SetPaintBackend({});
}

TEST_F(Dispatch, ComboBoxMessages) {
  HWND top = topLevel();
  auto* cb = add<Swell_vTarnivex_cbox>(top, {0, 0, 10, 10}, 4);
  cb->m_style = CBS_SORT;
  auto* pub = add<Swell_vTarnivex_pub>(top, {0, 0, 10, 10}, 5);
  for (HWND c : {static_cast<HWND>(cb), static_cast<HWND>(pub)}) {
    for (const char* t : {"delta", "alpha", "charlie", "bravo", "echo"}) SendMessage(c, CB_ADDSTRING, 0, LPARAM(t));
    char buf[32];
    std::string joined;
    int n = int(SendMessage(c, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      SendMessage(c, CB_GETLBTEXT, WPARAM(i), LPARAM(buf));
      joined += std::string(buf) + " ";
    }
    // The combo box keeps them sorted; the drop-down has no sort style.
    EXPECT_EQ(joined, c == cb ? "alpha bravo charlie delta echo " : "delta alpha charlie bravo echo ");
    EXPECT_EQ(SendMessage(c, CB_INSERTSTRING, 99, LPARAM("zulu")), 5) << "clamped to the count";
    EXPECT_EQ(SendMessage(c, CB_FINDSTRING, WPARAM(-1), LPARAM("CH")), c == cb ? 2 : 2);
    EXPECT_EQ(SendMessage(c, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM("ch")), -1);
    EXPECT_EQ(SendMessage(c, CB_FINDSTRING, 0, 0), -1) << "null text";
    SendMessage(c, CB_SETCURSEL, 1, 0);
    EXPECT_EQ(SendMessage(c, CB_GETCURSEL, 0, 0), 1);
    SendMessage(c, CB_SETCURSEL, WPARAM(-1), 0);
    SendMessage(c, CB_SETCURSEL, 6, 0);
    EXPECT_EQ(SendMessage(c, CB_GETCURSEL, 0, 0), 1) << "-1 and the count keep the selection";
    SendMessage(c, CB_SETITEMDATA, 2, LPARAM(0x123456789));
    EXPECT_EQ(SendMessage(c, CB_GETITEMDATA, 2, 0), LPARAM(0x123456789));
    SendMessage(c, CB_INSERTSTRING, 0, LPARAM("first"));
    EXPECT_EQ(SendMessage(c, CB_GETITEMDATA, 3, 0), LPARAM(0x123456789)) << "the data moves with its item";
    EXPECT_EQ(SendMessage(c, CB_DELETESTRING, 0, 0), 1);
    EXPECT_EQ(SendMessage(c, CB_GETITEMDATA, 2, 0), LPARAM(0x123456789));
    EXPECT_EQ(SendMessage(c, 0x159, 0, 0), 0);
    SendMessage(c, CB_RESETCONTENT, 0, 0);
    EXPECT_EQ(SendMessage(c, CB_GETCOUNT, 0, 0), 0);
  }
  EXPECT_EQ(SWELL_CB_GetNumItems(top, 99), 0) << "no such control";
  EXPECT_EQ(SWELL_CB_GetCurSel(top, 99), -1);
}

TEST_F(Dispatch, TrackbarMessages) {
  HWND top = topLevel();
  auto* s = add<winsys::Slider>(top, {0, 0, 10, 10});
  EXPECT_EQ(SendMessage(s, TBM_SETRANGE, 1, LPARAM(100 << 16)), 1);
  EXPECT_EQ(s->minValue(), 0);
  EXPECT_EQ(s->maxValue(), 100);
  s->setValue(49.5);
  EXPECT_EQ(SendMessage(s, TBM_GETPOS, 0, 0), 50);
  EXPECT_EQ(SendMessage(s, TBM_SETPOS, 1, -3), 1);
  EXPECT_EQ(s->value(), -3);
  EXPECT_EQ(SendMessage(s, TBM_SETTIC, 0, 5), 1);
  EXPECT_EQ(SendMessage(s, TBM_GETRANGEMAX, 0, 0), 0);
}

TEST_F(Dispatch, EditSelectionOnlyWhileEditing) {
  HWND top = topLevel();
  auto* f = add<winsys::TextField>(top, {0, 0, 10, 10});
  f->setStringValue("hello");
  int start = -1, end = -1;
  SendMessage(f, EM_SETSEL, 1, 3);
  SendMessage(f, EM_GETSEL, WPARAM(&start), LPARAM(&end));
  EXPECT_EQ(start, 0);
  EXPECT_EQ(end, 0) << "not being edited";
  SetFocus(f);
  struct Case {
    WPARAM s;
    LPARAM e;
    int wantStart, wantEnd;
  } cases[] = {{1, 3, 1, 3}, {0, -1, 0, 5}, {WPARAM(-1), 4, 0, 0}, {2, 99, 2, 5}, {9, 99, 5, 5}, {4, 1, 4, 4}};
  for (auto c : cases) {
    EXPECT_EQ(SendMessage(f, EM_SETSEL, c.s, c.e), 0);
    SendMessage(f, EM_GETSEL, WPARAM(&start), LPARAM(&end));
    EXPECT_EQ(start, c.wantStart) << c.s << "," << c.e;
    EXPECT_EQ(end, c.wantEnd) << c.s << "," << c.e;
  }
}

TEST_F(Dispatch, ListBoxMessages) {
  HWND top = topLevel();
  auto* lb = add<Swell_vTarnivex_listview>(top, {0, 0, 10, 10});
  lb->m_lbMode = 1;
  lb->m_style = LBS_SORT | 0x800;  // extended selection: LB_SETSEL adds to it
  EXPECT_EQ(SendMessage(lb, LB_ADDSTRING, 0, LPARAM("a")), 0);
  EXPECT_EQ(SendMessage(lb, LB_ADDSTRING, 0, LPARAM("c")), 1);
  EXPECT_EQ(SendMessage(lb, LB_ADDSTRING, 0, LPARAM("b")), 1) << "sorted between the two";
  EXPECT_EQ(SendMessage(lb, LB_ADDSTRING, 0, LPARAM("0")), 0);
  EXPECT_EQ(SendMessage(lb, LB_ADDSTRING, 0, LPARAM("z")), 4);
  EXPECT_EQ(SendMessage(lb, LB_ADDSTRING, 0, 0), 0) << "a null text is empty";
  EXPECT_EQ(SendMessage(lb, LB_INSERTSTRING, WPARAM(-1), LPARAM("end")), 6);
  char buf[16];
  SendMessage(lb, LB_GETTEXT, 3, LPARAM(buf));
  EXPECT_STREQ(buf, "b");
  EXPECT_EQ(SendMessage(lb, LB_GETCOUNT, 0, 0), 7);
  SendMessage(lb, LB_SETCURSEL, 2, 0);
  EXPECT_EQ(SendMessage(lb, LB_GETCURSEL, 0, 0), 2);
  SendMessage(lb, LB_SETSEL, 1, 4);
  EXPECT_EQ(SendMessage(lb, LB_GETSELCOUNT, 0, 0), 2);
  EXPECT_EQ(SendMessage(lb, LB_GETSEL, 4, 0), 1);
  EXPECT_EQ(SendMessage(lb, LB_GETSEL, 99, 0), 0);
  SendMessage(lb, LB_SETCURSEL, WPARAM(-1), 0);
  EXPECT_EQ(SendMessage(lb, LB_GETSELCOUNT, 0, 0), 0);
  SendMessage(lb, LB_SETITEMDATA, 1, 77);
  EXPECT_EQ(SendMessage(lb, LB_GETITEMDATA, 1, 0), 77);
  EXPECT_EQ(SendMessage(lb, LB_GETITEMDATA, 50, 0), 0);
  SendMessage(lb, LB_DELETESTRING, 0, 0);
  EXPECT_EQ(SendMessage(lb, LB_GETITEMDATA, 0, 0), 77);
  SendMessage(lb, LB_RESETCONTENT, 0, 0);
  EXPECT_EQ(SendMessage(lb, LB_GETCOUNT, 0, 0), 0);
  auto* plain = add<Swell_vTarnivex_listview>(top, {0, 0, 10, 10});
  SendMessage(plain, LB_ADDSTRING, 0, LPARAM("b"));
  EXPECT_EQ(SendMessage(plain, LB_ADDSTRING, 0, LPARAM("a")), 1) << "unsorted: the old count";
  auto* progress = add<Swell_vTarnivex_progind>(top, {0, 0, 10, 10});
  SendMessage(progress, PBM_SETRANGE, 0, LPARAM((200 << 16) | 10));
  SendMessage(progress, PBM_SETPOS, 50, 0);
  SendMessage(progress, PBM_DELTAPOS, 5, 0);
  EXPECT_EQ(progress->minValue, 10);
  EXPECT_EQ(progress->maxValue, 200);
  EXPECT_EQ(progress->value, 55);
  EXPECT_FALSE(progress->animating);
}

TEST_F(Dispatch, FallbackBetweenWindowAndContentView) {
  HWND top = topLevel();
  winsys::Window* w = swell::asView(top)->window();
  rec.answers[0x7777] = 9;
  EXPECT_EQ(SendMessage(w, 0x7777, 0, 0), 9) << "a window hands it to its content view";
  auto* tf = new winsys::TextField({0, 0, 10, 10});
  auto* plainWindow = new winsys::Window({0, 0, 10, 10}, 0);
  plainWindow->setContentView(tf);
  tf->release();
  EXPECT_EQ(SendMessage(tf, 0x7777, 0, 0), 0) << "a window without a message method answers 0";
  EXPECT_EQ(SendMessage(nullptr, 1, 0, 0), 0);
  plainWindow->close();
}

TEST_F(Dispatch, GetParentAndFocus) {
  HWND top = topLevel();
  HWND owned = topLevel(20, 20, "Owned");
  swell::asView(top)->window()->swellAddOwnedWindow(swell::asView(owned)->window());
  EXPECT_EQ(GetParent(owned), top) << "the owner's content view";
  HWND a = child(top, 0, 0, 10, 10);
  EXPECT_EQ(GetParent(a), top);
  EXPECT_EQ(GetParent(top), nullptr);
  winsys::Window* w = swell::asView(top)->window();
  winsys::Window* sheet = swell::asView(owned)->window();
  w->addChildWindow(sheet, 1);
  w->swellRemoveOwnedWindow(sheet);
  EXPECT_EQ(GetParent(owned), top) << "the parent window's content view";
}

}  // namespace
