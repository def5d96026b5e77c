#include "ControlCreation.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "ComboBoxes.h"
#include "Internal.h"
#include "ListCells.h"
#include "ListView.h"
#include "TabControl.h"
#include "TreeView.h"
#include "model/Application.h"

using winsys::Rectf;
using winsys::View;

int g_swell_want_nice_style = 1;

namespace {

struct {
  float tx = 0, ty = 0, sx = 1, sy = 1;
} m_transform;
View* m_make_owner = nullptr;
float m_parent_h = 100;
bool m_doautoright = false;
bool m_sizetofits = false;
struct {
  float x = 0, y = -100, shift = 0;
} m_lastdoauto;

struct CreatorNode {
  SWELL_ControlCreatorProc proc;
  int refcnt;
};
std::vector<CreatorNode> m_ccprocs;

bool hiddenStyle(int style) { return (unsigned(style) & 0x80000000u) != 0; }

// Buttons, edit fields, labels and statics get a small system font while the dialog is scaled down.
void applyFontRule(View* v) {
  if (m_transform.sx < 1.81f) v->fontSize = m_transform.sx < 1.0f ? 8 : 10;
}

void addToOwner(View* v, int style) {
  if (hiddenStyle(style)) v->setHidden(true);
  if (m_make_owner) m_make_owner->addSubview(v);
}

template <class T>
T* made(T* v) {
  // The parent holds the only lasting reference.
  if (v->superview()) v->release();
  else winsys::App().autorelease(v);
  return v;
}

}  // namespace

namespace swell {

View* makeOwner() { return m_make_owner; }
bool autoRightOn() { return m_doautoright; }

std::string stripMnemonic(const char* text) {
  if (!text) return "";
  size_t len = strlen(text);
  if (len >= 1024 || !memchr(text, '&', std::min<size_t>(len, 1024))) return text;
  std::string out;
  for (size_t i = 0; i < len; ++i) {
    if (text[i] == '&') {
      if (++i >= len) break;
    }
    out += text[i];
  }
  return out;
}

Rectf MakeCoords(int x, int y, int w, int h, bool wantauto, bool unscaledHeight) {
  if (w < 0 && h < 0) return {double(-x), double(-y), double(-w), double(-h)};
  float hs = unscaledHeight ? 1.0f : m_transform.sy;
  int X = int(double(float(float(x) + m_transform.tx) * m_transform.sx) + 0.5);
  int Y;
  if (m_transform.sy >= 0)
    Y = int(double(m_parent_h - m_transform.sy * (float(y) + m_transform.ty) + hs * float(h)) + 0.5);
  else
    Y = int(double(-m_transform.sy * (float(y) + m_transform.ty)) + 0.5);
  int W = int(double(float(w) * m_transform.sx) + 0.5);
  int H = int(double(std::fabs(hs) * float(h)) + 0.5);
  if (m_doautoright && wantauto) {
    int unmoved = X;
    if (std::fabs(float(X) - m_lastdoauto.x) < 32 && m_lastdoauto.y >= float(Y) && m_lastdoauto.y < float(Y + H))
      X += int(m_lastdoauto.shift);
    m_lastdoauto.x = float(unmoved + W);
    m_lastdoauto.y = float(Y) + float(H) / 2;
    m_lastdoauto.shift = 0;
  }
  return {double(X), double(Y), double(W), double(H)};
}

void UpdateAutoCoords(Rectf f) {
  if (m_doautoright) m_lastdoauto.shift = float(f.x + f.width) - m_lastdoauto.x;
}

}  // namespace swell

using swell::MakeCoords;
using swell::stripMnemonic;
using swell::UpdateAutoCoords;

void SWELL_MakeSetCurParms(float xscale, float yscale, float xtrans, float ytrans, HWND parent, bool doauto,
                           bool dosizetofit) {
  m_sizetofits = dosizetofit;
  m_lastdoauto = {0, -100, 0};
  m_doautoright = doauto;
  m_transform = {xtrans, ytrans, xscale, yscale};
  m_make_owner = swell::viewOf(parent);
  m_parent_h = 100;
  if (m_make_owner) {
    m_parent_h = float(m_make_owner->bounds().height);
    if (m_transform.sy > 0 && m_make_owner->isFlipped()) m_transform.sy = -m_transform.sy;
  }
}

HWND SWELL_MakeButton(int def, const char* label, int id, int x, int y, int w, int h, int style) {
  if (uintptr_t(label) < 0x10000) label = "ICONTEMP";
  auto* b = new Swell_vTarnivex_button;
  applyFontRule(b);
  b->setTag(id);
  b->bezelStyle = g_swell_want_nice_style == 1 ? 6 : 1;
  Rectf f = MakeCoords(x, y, w, h, true);
  if (g_swell_want_nice_style != 1 && f.height >= 18 && f.height < 24) f.height = 24;
  b->assignFrame(f);
  b->setTitle(stripMnemonic(label));
  b->setTarget(m_make_owner);
  addToOwner(b, style);
  UpdateAutoCoords(b->frame());
  if (def && b->window()) b->window()->defaultButton = b;
  return made(b);
}

HWND SWELL_MakeEditField(int id, int x, int y, int w, int h, int style) {
  bool hs = style & 0x100000, vs = style & 0x200000;
  if (!hs && !vs) {
    auto* f = new Swell_vTarnivex_textfield;
    f->setSecure(style & 0x20);
    f->setEditable(!(style & 0x800));
    applyFontRule(f);
    if (style & 1) f->alignment = 1;
    else if (style & 2) f->alignment = 2;
    if (std::abs(h) < 20) {
      f->wraps = false;
      f->scrollable = true;
    }
    f->setTag(id);
    f->setTarget(m_make_owner);
    f->delegate = m_make_owner;
    f->assignFrame(MakeCoords(x, y, w, h, true));
    addToOwner(f, style);
    UpdateAutoCoords(f->frame());
    return made(f);
  }
  auto* tv = new Swell_vTarnivex_textview;
  tv->editable = !(style & 0x800);
  applyFontRule(tv);
  tv->setTag(id);
  tv->delegate = m_make_owner;
  tv->horizontallyResizable = false;
  if (!vs) {
    tv->verticallyResizable = false;
    tv->assignFrame(MakeCoords(x, y, w, h, true));
    addToOwner(tv, style);
    UpdateAutoCoords(tv->frame());
    return made(tv);
  }
  tv->verticallyResizable = true;
  auto* sv = new winsys::ScrollView(MakeCoords(x, y, w, h, true));
  sv->setHasVerticalScroller(true);
  sv->setHasHorizontalScroller(hs);
  sv->setFrame(sv->frame());
  sv->autohidesScrollers = true;
  sv->drawsBackground = false;
  sv->setDocumentView(tv);
  tv->release();
  if (m_make_owner) m_make_owner->addSubview(sv);
  UpdateAutoCoords(sv->frame());
  if (hiddenStyle(style)) sv->setHidden(true);
  winsys::Sizef cs = sv->contentSize();
  tv->assignFrame({0, 0, cs.width, cs.height});
  made(sv);
  return sv;
}

namespace {
Swell_vTarnivex_textfield* makeStatic(const char* text, int id) {
  auto* f = new Swell_vTarnivex_textfield;
  f->setEditable(false);
  f->selectable = false;
  f->setBordered(false);
  f->bezeled = false;
  f->setDrawsBackground(false);
  applyFontRule(f);
  f->setStringValue(stripMnemonic(text ? text : ""));
  f->setTag(id);
  return f;
}
}  // namespace

HWND SWELL_MakeLabel(int align, const char* label, int id, int x, int y, int w, int h, int style) {
  auto* f = makeStatic(label, id);
  if (style & 0x100) f->setTarget(m_make_owner);
  f->alignment = align < 0 ? 0 : align == 0 ? 1 : 2;
  f->wraps = h > 12;
  f->assignFrame(MakeCoords(x, y, w, h, true));
  addToOwner(f, style);
  if (m_sizetofits && label && strlen(label) >= 2) f->sizeToFit();
  UpdateAutoCoords(f->frame());
  return made(f);
}

HWND SWELL_MakeCheckBox(const char* label, int id, int x, int y, int w, int h, int style) {
  return SWELL_MakeControl(label, id, "Button", style | 3, x, y, w, h, 0);
}

HWND SWELL_MakeListBox(int id, int x, int y, int w, int h, int style) {
  return SWELL_MakeControl("", id, "SysListView32_LB", style, x, y, w, h, 0);
}

namespace {

// A list or tree control inside a new scroll view framed by the transform.
template <class T>
T* inScrollView(T* ctl, int id, int style, int x, int y, int w, int h, bool hscroll) {
  ctl->setTag(id);
  ctl->focusRingNone = true;
  ctl->allowsColumnReordering = false;
  ctl->allowsEmptySelection = true;
  ctl->delegate = m_make_owner;
  ctl->setTarget(m_make_owner);
  ctl->doubleAction = m_make_owner && m_make_owner->answersControlDoubleClick() ? &View::swellOnControlDoubleClick
                                                                                 : &View::onSwellCommand;
  auto* sv = new winsys::ScrollView(MakeCoords(x, y, w, h, false));
  sv->setHasVerticalScroller(true);
  sv->setHasHorizontalScroller(hscroll);
  sv->setFrame(sv->frame());
  sv->autohidesScrollers = true;
  sv->drawsBackground = false;
  sv->setDocumentView(ctl);
  ctl->release();
  if (hiddenStyle(style)) sv->setHidden(true);
  if (m_make_owner) m_make_owner->addSubview(sv);
  made(sv);
  return ctl;
}

double oneColumnWidth(View* sv) { return std::ceil(std::max(300.0, sv->frame().width)); }

HWND makeListView(int id, int style, int x, int y, int w, int h, bool listBox) {
  auto* lv = new Swell_vTarnivex_listview;
  lv->m_lbMode = listBox ? 1 : 0;
  lv->columnAutoresizing = false;
  if (!listBox) {
    lv->m_style = unsigned(style);
    lv->setHasHeaderView((style & 1) && !(style & 0x4000));
    lv->allowsMultipleSelection = !(style & 4);
  } else {
    lv->m_style = unsigned(style);
    lv->setHasHeaderView(false);
    lv->allowsMultipleSelection = (style & 0x800) != 0;
  }
  inScrollView(lv, id, style, x, y, w, h, !listBox);
  if (listBox || !(style & 1)) {
    LVCOLUMN lvc{};
    lvc.mask = LVCF_TEXT | LVCF_WIDTH;
    lvc.cx = int(oneColumnWidth(lv->superview()->superview()));
    lvc.pszText = const_cast<char*>("");
    ListView_InsertColumn(lv, 0, &lvc);
    if (listBox && (style & 0x10)) {
      auto cell = std::make_unique<Swell_vTarnivex_ODlistviewcell>();
      cell->setOwnerControl(lv);
      lv->m_cols[0]->setDataCell(std::move(cell));
    }
  }
  return lv;
}

HWND makeTreeView(int id, int style, int x, int y, int w, int h) {
  auto* tv = new Swell_vTarnivex_treeview;
  tv->style = style;
  inScrollView(tv, id, style, x, y, w, h, true);
  auto* col = new winsys::TableColumn;
  auto cell = std::make_unique<Swell_vTarnivex_listviewcell>();
  cell->editable = false;
  col->setDataCell(std::move(cell));
  col->editable = false;
  col->width = oneColumnWidth(tv->superview()->superview());
  tv->addTableColumn(col);
  return tv;
}

HWND makeButtonClass(const char* text, int id, int style, int x, int y, int w, int h) {
  unsigned s = unsigned(style);
  if (s & 0x20000000u) return SWELL_MakeGroupBox(text, id, x, y, w, h, int(s & ~0x20000000u));
  if (s & 0x10000000u) return SWELL_MakeButton(1, text, id, x, y, w, h, int(s & ~0x10000000u));
  if (s & 0x08000000u) return SWELL_MakeButton(0, text, id, x, y, w, h, int(s & ~0x08000000u));
  auto* b = new Swell_vTarnivex_button;
  b->setTag(id);
  int kind = style & 0xF;
  if (kind == 3 || kind == 6) {
    b->setButtonType(1);
    b->setAllowsMixedState(kind == 6);
  } else if (kind == 9) {
    b->setButtonType(2);
    b->swellSetRadioFlags(1 | ((style & int(WS_GROUP)) ? 2 : 0));
  } else if (kind == 11) {
    b->setCell(new Swell_vTarnivex_ODbuttoncell);
  }
  applyFontRule(b);
  b->assignFrame(MakeCoords(x, y, w, h, true));
  b->setTitle(stripMnemonic(text ? text : ""));
  b->setTarget(m_make_owner);
  if (style & 0x20) b->imagePosition = 3;
  addToOwner(b, style);
  if (kind != 11 && m_sizetofits) b->sizeToFit();
  UpdateAutoCoords(b->frame());
  return made(b);
}

}  // namespace

HWND SWELL_MakeControl(const char* text, int id, const char* cname, int style, int x, int y, int w, int h,
                       int exstyle) {
  if (!m_ccprocs.empty()) {
    Rectf f = MakeCoords(x, y, w, h, false);
    for (size_t i = 0; i < m_ccprocs.size(); ++i) {
      HWND r = m_ccprocs[i].proc(m_make_owner, text, id, cname, style, int(f.x), int(f.y), int(f.width),
                                 int(f.height));
      if (r) {
        if (exstyle) SetWindowLong(r, GWL_EXSTYLE, exstyle);
        return r;
      }
    }
  }
  if (!cname) return nullptr;
  if (!strcasecmp(cname, "SysTabControl32")) {
    auto* tab = new Swell_vTarnivex_tabview;
    tab->setTag(id);
    tab->allowsTruncatedLabels = true;
    tab->setNotificationWindow(m_make_owner);
    tab->assignFrame(MakeCoords(x, y - 1, w, h + 6, false));
    addToOwner(tab, style);
    return made(tab);
  }
  if (!strcasecmp(cname, "SysListView32")) return makeListView(id, style, x, y, w, h, false);
  if (!strcasecmp(cname, "SysListView32_LB")) return makeListView(id, style, x, y, w, h, true);
  if (!strcasecmp(cname, "SysTreeView32")) return makeTreeView(id, style, x, y, w, h);
  if (!strcasecmp(cname, "msctls_progress32")) {
    auto* p = new Swell_vTarnivex_progind;
    p->indeterminate = false;
    p->setTag(id);
    p->assignFrame(MakeCoords(x, y, w, h, false));
    addToOwner(p, style);
    return made(p);
  }
  if (!strcasecmp(cname, "Edit")) return SWELL_MakeEditField(id, x, y, w, h, style);
  if (!strcasecmp(cname, "static")) {
    auto* f = makeStatic(text, id);
    int ss = style & 0x1F;
    if (ss == 1) f->alignment = 1;
    else if (ss == 2) f->alignment = 2;
    else if (ss == 12) f->wraps = false;
    f->assignFrame(MakeCoords(x, y, w, h, true));
    addToOwner(f, style);
    if (ss == 4) f->setHidden(true);
    return made(f);
  }
  if (!strcasecmp(cname, "Button")) return makeButtonClass(text, id, style, x, y, w, h);
  if (!strcasecmp(cname, "msctls_trackbar32")) {
    auto* s = new winsys::Slider;
    s->setTag(id);
    s->setMinValue(0);
    s->setMaxValue(1000);
    s->assignFrame(MakeCoords(x, y, w, h, false));
    s->setTarget(m_make_owner);
    addToOwner(s, style);
    return made(s);
  }
  return nullptr;
}

void SWELL_RegisterCustomControlCreator(SWELL_ControlCreatorProc proc) {
  if (!proc) return;
  for (auto& n : m_ccprocs)
    if (n.proc == proc) {
      n.refcnt++;
      return;
    }
  m_ccprocs.push_back({proc, 1});
}

void SWELL_UnregisterCustomControlCreator(SWELL_ControlCreatorProc proc) {
  if (!proc) return;
  for (size_t i = 0; i < m_ccprocs.size(); ++i)
    if (m_ccprocs[i].proc == proc) {
      if (m_ccprocs[i].refcnt-- <= 1) m_ccprocs.erase(m_ccprocs.begin() + long(i));
      return;
    }
}

// Text view messages.

LRESULT Swell_vTarnivex_textview::onSwellMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == 48) {  // WM_SETFONT
    const SwellPaintBackend& pb = SWELL_GetPaintBackend();
    if (void* font = pb.fontOf ? pb.fontOf(reinterpret_cast<HGDIOBJ>(wParam)) : nullptr) platformFont = font;
  } else if (msg == EM_GETSEL) {
    if (wParam) *reinterpret_cast<int*>(wParam) = int(selectionStart());
    if (lParam) *reinterpret_cast<int*>(lParam) = int(selectionStart() + selectionLength());
  } else if (msg == EM_SETSEL) {
    long n = long(string().size());
    long start = long(intptr_t(wParam)), end = long(lParam);
    if (end == -1) end = n;
    if (start == -1) start = end = 0;
    start = std::min(start, n);
    end = std::min(end, n);
    if (start < 0) start = 0;
    if (end < start) end = start;  // an end before the start selects nothing at the start
    setSelectedRange(size_t(start), size_t(end - start));
  } else if (msg == EM_SCROLL) {
    if (wParam == 7) scrolledTo = string().size();
    if (wParam == 6) scrolledTo = 0;
  }
  return 0;
}

void Swell_vTarnivex_textview::setNeedsDisplay(bool needs) {
  TextView::setNeedsDisplay(needs);
  if (needs) SWELL_PropagateDirty(this);
}

void Swell_vTarnivex_textview::setNeedsDisplayInRect(winsys::Rectf r) {
  TextView::setNeedsDisplayInRect(r);
  SWELL_PropagateDirty(this);
}
