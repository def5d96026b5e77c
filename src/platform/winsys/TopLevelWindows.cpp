#include "TopLevelWindows.h"

#include <algorithm>
#include <cmath>

#include "HwndView.h"
#include "Internal.h"
#include "model/Application.h"

using winsys::App;
using winsys::Rectf;
using winsys::Sizef;
using winsys::Window;

bool SWELL_owned_windows_levelincrease = false;
HMENU g_swell_defaultmenu = nullptr, g_swell_defaultmenumodal = nullptr;

namespace {
Window* last_key_window = nullptr;

LRESULT sendTo(winsys::View* v, UINT msg, WPARAM wp, LPARAM lp) {
  return v ? SendMessage(v, msg, wp, lp) : 0;
}

bool windowExists(Window* w) {
  const auto& all = App().windows();
  return std::find(all.begin(), all.end(), w) != all.end();
}
}  // namespace

template <class W>
bool SwellWindow<W>::swellAddOwnedWindow(Window* w) {
  if (!w || std::find(m_ownedwnds.begin(), m_ownedwnds.end(), w) != m_ownedwnds.end()) return false;
  m_ownedwnds.insert(m_ownedwnds.begin(), w);
  if (w->answersOwner()) w->swellSetOwner(this);
  if (SWELL_owned_windows_levelincrease && App().isActive()) {
    auto* mw = dynamic_cast<Swell_vTarnivex_modelesswindow*>(w);
    w->setLevel(this->level() + (mw ? mw->m_wantraiseamt + 1 : 1));
  }
  return true;
}

template <class W>
void SwellWindow<W>::swellRemoveOwnedWindow(Window* w) {
  auto it = std::find(m_ownedwnds.begin(), m_ownedwnds.end(), w);
  if (it != m_ownedwnds.end()) m_ownedwnds.erase(it);
}

template <class W>
void SwellWindow<W>::swellResetOwnedWindowLevels() {
  if (!SWELL_owned_windows_levelincrease) return;
  for (Window* w : m_ownedwnds) {
    auto* mw = dynamic_cast<Swell_vTarnivex_modelesswindow*>(w);
    w->setLevel(App().isActive() ? this->level() + 1 + (mw ? mw->m_wantraiseamt : 0) : this->level());
    if (auto* sw = dynamic_cast<SwellWindow<Window>*>(w)) sw->swellResetOwnedWindowLevels();
    if (auto* sp = dynamic_cast<SwellWindow<winsys::Panel>*>(w)) sp->swellResetOwnedWindowLevels();
  }
}

template <class W>
void SwellWindow<W>::swellDestroyAllOwnedWindows() {
  std::vector<Window*> list;
  list.swap(m_ownedwnds);
  for (Window* w : list) DestroyWindow(w);
}

template <class W>
void SwellWindow<W>::swellDoDestroyStuff() {
  if (last_key_window == this) last_key_window = nullptr;
  swellDestroyAllOwnedWindows();
  Window* owner = m_owner;
  if (owner) {
    owner->swellRemoveOwnedWindow(this);
    m_owner = nullptr;
  }
  if (this->isKeyWindow() && owner && windowExists(owner)) owner->makeKeyWindow();
}

template <class W>
void SwellWindow<W>::dealloc() {
  swellDoDestroyStuff();
  W::dealloc();
}

template <class W>
void SwellWindow<W>::setFrame(Rectf frame, bool display) {
  W::setFrame(frame, display);
  Sizef size{std::trunc(frame.width), std::trunc(frame.height)};
  if (size.width != lastFrameSize.width || size.height != lastFrameSize.height) {
    winsys::View* cv = this->contentView();
    sendTo(cv, WM_SIZE, 0, 0);
    if (cv && cv->isOpaque()) InvalidateRect(cv, nullptr, 0);
    lastFrameSize = size;
  }
}

template <class W>
void SwellWindow<W>::windowDidMove() {
  Rectf f = this->frame();
  int x = int(f.x), y = int(f.y);
  sendTo(this->contentView(), WM_MOVE, 0, LPARAM((y << 16) | (x & 0xFFFF)));
}

template <class W>
Sizef SwellWindow<W>::minSize() {
  Sizef s = W::minSize();
  MINMAXINFO mmi{};
  mmi.ptMinTrackSize = {int(s.width), int(s.height)};
  sendTo(this->contentView(), WM_GETMINMAXINFO, 0, LPARAM(&mmi));
  return {double(mmi.ptMinTrackSize.x), double(mmi.ptMinTrackSize.y)};
}

template <class W>
Sizef SwellWindow<W>::maxSize() {
  Sizef platform = W::maxSize();
  Sizef s{std::clamp(platform.width, 1.0, 1000000.0), std::clamp(platform.height, 1.0, 1000000.0)};
  MINMAXINFO mmi{};
  mmi.ptMaxTrackSize = {int(s.width), int(s.height)};
  sendTo(this->contentView(), WM_GETMINMAXINFO, 0, LPARAM(&mmi));
  return {mmi.ptMaxTrackSize.x >= 1000000 ? platform.width : double(mmi.ptMaxTrackSize.x),
          mmi.ptMaxTrackSize.y >= 1000000 ? platform.height : double(mmi.ptMaxTrackSize.y)};
}

template <class W>
bool SwellWindow<W>::windowShouldClose() {
  winsys::View* cv = this->contentView();
  if (!sendTo(cv, WM_CLOSE, 0, 0)) sendTo(cv, WM_COMMAND, IDCANCEL, 0);
  return false;
}

template <class W>
void SwellWindow<W>::resignKeyWindow() {
  if (g_swell_terminating || App().isTerminating()) return;
  sendTo(this->contentView(), WM_ACTIVATE, 0, 0);
  last_key_window = this;
}

template <class W>
void SwellWindow<W>::becomeKeyWindow() {
  if (g_swell_terminating || App().isTerminating()) return;
  auto* cv = dynamic_cast<Swell_vTarnivex_hwnd*>(this->contentView());
  if (cv && cv->swellHasBeenDestroyed()) return;
  HWND previous = nullptr;
  if (last_key_window && windowExists(last_key_window))
    if (auto* pv = dynamic_cast<Swell_vTarnivex_hwnd*>(last_key_window->contentView());
        pv && !pv->swellHasBeenDestroyed())
      previous = pv;
  HMENU menu = cv ? cv->swellGetMenu() : nullptr;
  if (!menu) menu = modalDefaultMenu();
  if (!menu) menu = g_swell_defaultmenu;
  if (menu && App().mainMenu() != menu) App().setMainMenu(menu);
  sendTo(this->contentView(), WM_ACTIVATE, 1, LPARAM(previous));
  sendTo(this->contentView(), WM_MOUSEACTIVATE, 0, 0);
}

template <class W>
bool SwellWindow<W>::accessibilityIsIgnored() const {
  return !(this->styleMask() & winsys::kTitledWindowMask) &&
         (!this->contentView() || this->contentView()->subviews().empty());
}

template <class W>
bool SwellWindow<W>::canBecomeKeyWindow() {
  return m_enabled && !g_swell_terminating;
}

template class SwellWindow<Window>;
template class SwellWindow<winsys::Panel>;

namespace {
// Places a new content area 50 right of and 100 below the reference's upper left corner.
Rectf placement(HWND parent, double w, double h) {
  RECT ref{};
  if (parent)
    GetWindowRect(parent, &ref);
  else
    SWELL_GetViewPort(&ref, nullptr, false);
  return {double(ref.left + 50), double(ref.bottom - 100) - h, w, h};
}

// What every window of the layer is created with.
void setUp(Window* w) {
  w->cursorRectsEnabled = false;
  w->acceptsMouseMovedEvents = true;
  w->usesOptimizedDrawing = true;
  w->isOwnDelegate = true;
  if (App().systemVersion() >= 0x1060) w->collectionBehavior = 36;
}

void addToOwner(HWND parent, Window* w) {
  Window* owner = swell::asWindow(parent);
  if (!owner)
    if (winsys::View* pv = swell::asView(parent)) owner = pv->window();
  if (owner && owner->answersOwnedWindows()) owner->swellAddOwnedWindow(w);
}
}  // namespace

HWND SWELL_CreateModelessWindow(const SWELL_DialogResourceIndex* rec, HWND parent, DialogProc proc, LPARAM param,
                                unsigned forceStyles) {
  double w = rec ? rec->width : 10, h = rec ? rec->height : 10;
  unsigned mask = forceStyles;
  if (rec) mask |= 7 | ((rec->windowTypeFlags & 2) ? 8 : 0);
  auto* win = new Swell_vTarnivex_modelesswindow(placement(parent, w, h), mask);
  setUp(win);
  if (rec && rec->title) win->setTitle(rec->title);
  addToOwner(parent, win);
  Swell_vTarnivex_hwnd* view = Swell_vTarnivex_hwnd::create(rec, win, proc, param);
  view->setCreateWindowFlags(mask);
  win->display();
  return view;
}

HWND SWELL_CreateDialogBoxWindow(const SWELL_DialogResourceIndex* rec, HWND parent, DialogProc proc,
                                 LPARAM param) {
  double w = rec ? rec->width : 10, h = rec ? rec->height : 10;
  unsigned mask = 3 | (rec && (rec->windowTypeFlags & 2) ? 8 : 0);
  auto* win = new Swell_vTarnivex_dialogbox({0, 0, w, h}, mask);
  setUp(win);
  addToOwner(parent, win);
  if (rec && rec->title) win->setTitle(rec->title);
  Swell_vTarnivex_hwnd* view = Swell_vTarnivex_hwnd::create(rec, win, proc, param);
  view->setCreateWindowFlags(mask);
  view->setHidden(false);
  win->setHidesOnDeactivate(false);
  win->display();
  return view;
}

HWND SWELL_CreateModelessFrameForWindow(HWND child, HWND owner, unsigned int styleMask) {
  winsys::View* v = swell::asView(child);
  if (!v) return nullptr;
  auto* win = new Swell_vTarnivex_modelesswindow(placement(owner, v->frame().width, v->frame().height), styleMask);
  setUp(win);
  win->setContentView(v);
  addToOwner(owner, win);
  return win;
}

namespace {
Swell_vTarnivex_dialogbox* dialogOf(HWND hwnd) {
  Window* w = swell::asWindow(hwnd);
  if (!w)
    if (winsys::View* v = swell::asView(hwnd)) w = v->window();
  return dynamic_cast<Swell_vTarnivex_dialogbox*>(w);
}
Swell_vTarnivex_modelesswindow* modelessOf(HWND hwnd) {
  Window* w = swell::asWindow(hwnd);
  if (!w)
    if (winsys::View* v = swell::asView(hwnd)) w = v->window();
  return dynamic_cast<Swell_vTarnivex_modelesswindow*>(w);
}
}  // namespace

void SWELL_SetModalRetVal(HWND hwnd, int value) {
  if (auto* d = dialogOf(hwnd)) d->swellSetModalRetVal(value);
}

bool SWELL_GetModalRetVal(HWND hwnd, int* value) {
  auto* d = dialogOf(hwnd);
  if (!d || !d->swellHasModalRetVal()) return false;
  if (value) *value = d->swellGetModalRetVal();
  return true;
}

int SWELL_GetWindowWantRaiseAmt(HWND hwnd) {
  auto* w = modelessOf(hwnd);
  return w ? w->m_wantraiseamt : 0;
}

void SWELL_SetWindowWantRaiseAmt(HWND hwnd, int amount) {
  auto* w = modelessOf(hwnd);
  if (!w) return;
  int diff = amount - w->m_wantraiseamt;
  w->m_wantraiseamt = amount;
  if (diff && App().isActive()) w->setLevel(w->level() + diff);
}

int SWELL_SetWindowLevel(HWND hwnd, int level) {
  Window* w = swell::asWindow(hwnd);
  if (!w)
    if (winsys::View* v = swell::asView(hwnd)) w = v->window();
  if (!w) return 0;
  int old = w->level();
  w->setLevel(level);
  return old;
}
