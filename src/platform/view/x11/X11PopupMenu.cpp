#include "X11PopupMenu.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "MenuLayout.h"
#include "ViewText.h"
#include "X11Painter.h"
#include "XErrorTrap.h"

namespace {
constexpr int kGapBelow = 4;
constexpr int kScreenMargin = 4;     // kept free at the screen's edges
constexpr int kSlop = 3;             // pointer travel that still counts as no movement
constexpr int kScrollIntervalMs = 50;
constexpr int kWheelRows = 3;

// One open level of the menu.
struct Level {
  const ViewMenu* menu;
  MenuLayout layout;
  int x, y;  // root coordinates
  Window window = 0;
  GC gc = nullptr;
  int hover = -1;
  LICE_MemBitmap bitmap;

  Level(const ViewMenu* m, const ViewText& text) : menu(m), layout(*m, text) {}
  bool Contains(int rx, int ry) const {
    return rx >= x && rx < x + layout.Width() && ry >= y && ry < y + layout.Height();
  }
};

class MenuSession {
 public:
  MenuSession(Display* display, Screen* screen, X11Painter& painter, const ViewText& text)
      : mDisplay(display), mPainter(painter), mText(text), mRoot(RootWindowOfScreen(screen)),
        mScreenW(WidthOfScreen(screen)), mScreenH(HeightOfScreen(screen)) {}
  ~MenuSession() {
    while (!mLevels.empty()) CloseFrom(0);
  }

  bool Run(const ViewMenu& menu, int x, int below, int above, ViewMenuChoice* choice);

 private:
  // Maps a level below y, or above altY when there is more room there, as
  // tall as the screen lets it be; the first one is painted only once the
  // grab is in place, so nothing the user does can come between.
  void Open(const ViewMenu* menu, int x, int y, int altX, int altY, bool paint = true);
  void CloseFrom(size_t depth);
  void Paint(Level& level);
  int LevelAt(int rx, int ry) const;
  void Hover(size_t depth, int item);
  bool Scroll(size_t depth, int rows);
  bool Grab();
  bool Choose(size_t depth, int item, ViewMenuChoice* choice);
  // Waits for the next event; false when the scroll interval passed first.
  bool NextEvent(XEvent* event, bool scrolling);

  Display* mDisplay;
  X11Painter& mPainter;
  const ViewText& mText;
  Window mRoot;
  int mScreenW, mScreenH;
  std::vector<std::unique_ptr<Level>> mLevels;
};

void MenuSession::Open(const ViewMenu* menu, int x, int y, int altX, int altY, bool paint) {
  auto level = std::make_unique<Level>(menu, mText);
  MenuLayout& layout = level->layout;
  const int roomBelow = mScreenH - kScreenMargin - y, roomAbove = altY - kScreenMargin;
  const bool below = layout.Height() <= roomBelow || roomBelow >= roomAbove;
  layout.Fit(below ? roomBelow : roomAbove);
  if (layout.Height() > mScreenH - 2 * kScreenMargin) layout.Fit(mScreenH - 2 * kScreenMargin);
  const int w = layout.Width(), h = layout.Height();
  // Off the right edge of the screen, take the other side.
  if (x + w > mScreenW) x = altX - w;
  if (!below) y = altY - h;
  level->x = std::clamp(x, 0, std::max(0, mScreenW - w));
  level->y = std::clamp(y, kScreenMargin, std::max(kScreenMargin, mScreenH - kScreenMargin - h));
  // A long menu opens on its ticked item.
  for (int i = 0; i < static_cast<int>(menu->items.size()); ++i)
    if (menu->items[i].flags & kViewMenuChecked) layout.ScrollToShow(i);
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  attributes.save_under = True;
  // Input the level gets before the grab is in place is the user's too.
  attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask;
  attributes.background_pixmap = None;
  level->window = XCreateWindow(mDisplay, mRoot, level->x, level->y, w, h, 0, CopyFromParent, InputOutput,
                                CopyFromParent, CWOverrideRedirect | CWSaveUnder | CWEventMask | CWBackPixmap,
                                &attributes);
  level->gc = XCreateGC(mDisplay, level->window, 0, nullptr);
  level->bitmap.resize(w, h);
  XMapRaised(mDisplay, level->window);
  mLevels.push_back(std::move(level));
  if (paint) Paint(*mLevels.back());
}

void MenuSession::CloseFrom(size_t depth) {
  while (mLevels.size() > depth) {
    Level& level = *mLevels.back();
    XFreeGC(mDisplay, level.gc);
    XDestroyWindow(mDisplay, level.window);
    mLevels.pop_back();
  }
}

void MenuSession::Paint(Level& level) {
  level.layout.Paint(&level.bitmap, mText, level.hover);
  const int w = level.layout.Width(), h = level.layout.Height();
  mPainter.Put(level.window, level.gc, level.bitmap.getBits(), level.bitmap.getRowSpan(), w, h, {0, 0, w, h});
  XFlush(mDisplay);
}

int MenuSession::LevelAt(int rx, int ry) const {
  for (int d = static_cast<int>(mLevels.size()) - 1; d >= 0; --d)
    if (mLevels[d]->Contains(rx, ry)) return d;
  return -1;
}

// Lights an item and opens its submenu, closing deeper levels of others.
void MenuSession::Hover(size_t depth, int item) {
  Level& level = *mLevels[depth];
  const bool scrolled = level.layout.ScrollToShow(item);
  if (level.hover != item || scrolled) {
    CloseFrom(depth + 1);
    level.hover = item;
    Paint(level);
    if (item >= 0) {
      const ViewMenu::Item& entry = level.menu->items[item];
      if (entry.submenu && !entry.submenu->items.empty() && !(entry.flags & kViewMenuDisabled)) {
        const int top = level.y + level.layout.ItemTop(item) - MenuLayout::kBorder;
        Open(entry.submenu, level.x + level.layout.Width() - 2, top, level.x + 2,
             top + level.layout.ItemHeight(item));
      }
    }
  }
}

bool MenuSession::Scroll(size_t depth, int rows) {
  Level& level = *mLevels[depth];
  if (!level.layout.ScrollBy(rows)) return false;
  CloseFrom(depth + 1);  // a submenu would no longer sit beside its item
  level.hover = -1;
  Paint(level);
  return true;
}

bool MenuSession::Grab() {
  // The keyboard first, in the same batch as the map: a key pressed the
  // moment the menu shows is the menu's. The levels take pointer input of
  // their own until the pointer grab is in place.
  XGrabKeyboard(mDisplay, mLevels[0]->window, False, GrabModeAsync, GrabModeAsync, CurrentTime);
  // Another client may hold a grab for a moment (a host's own menu closing).
  for (int attempt = 0; attempt < 50; ++attempt) {
    const int pointer =
        XGrabPointer(mDisplay, mLevels[0]->window, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                     GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
    if (pointer == GrabSuccess) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  XUngrabKeyboard(mDisplay, CurrentTime);
  return false;
}

bool MenuSession::Choose(size_t depth, int item, ViewMenuChoice* choice) {
  if (depth >= mLevels.size() || !mLevels[depth]->menu->Choosable(item)) return false;
  if (choice) *choice = {mLevels[depth]->menu, item};
  return true;
}

bool MenuSession::NextEvent(XEvent* event, bool scrolling) {
  if (!scrolling) {
    XNextEvent(mDisplay, event);
    return true;
  }
  if (XPending(mDisplay) == 0) {
    pollfd fd{ConnectionNumber(mDisplay), POLLIN, 0};
    if (poll(&fd, 1, kScrollIntervalMs) <= 0 || XPending(mDisplay) == 0) return false;
  }
  XNextEvent(mDisplay, event);
  return true;
}

bool MenuSession::Run(const ViewMenu& menu, int x, int below, int above, ViewMenuChoice* choice) {
  if (menu.items.empty()) return false;
  Open(&menu, x, below, mScreenW, above, false);
  if (!Grab()) return false;
  Paint(*mLevels[0]);

  // The press that opened the menu, and its release, choose nothing: a
  // release chooses only after the pointer has moved onto an item, or when
  // its press was made on the open menu. A quick click on a control whose
  // menu opens under the pointer so leaves the menu open.
  Window rootReturn, childReturn;
  int openX = 0, openY = 0, wx = 0, wy = 0;
  unsigned mask = 0;
  XQueryPointer(mDisplay, mRoot, &rootReturn, &childReturn, &openX, &openY, &wx, &wy, &mask);
  bool moved = false, draggedOntoItem = false, pressedOnMenu = false;
  int scrollLevel = -1, scrollDirection = 0;  // the arrow the pointer rests on

  std::vector<XEvent> others;  // events of other windows, given back afterwards
  bool chosen = false, done = false;
  while (!done) {
    XEvent event;
    if (!NextEvent(&event, scrollDirection != 0)) {
      if (scrollLevel >= 0 && scrollLevel < static_cast<int>(mLevels.size()) &&
          !Scroll(static_cast<size_t>(scrollLevel), scrollDirection))
        scrollDirection = 0;
      continue;
    }
    switch (event.type) {
      case Expose: {
        bool ours = false;
        for (auto& level : mLevels)
          if (level->window == event.xexpose.window) {
            ours = true;
            if (event.xexpose.count == 0) Paint(*level);
          }
        if (!ours) others.push_back(event);
        break;
      }
      case MotionNotify: {
        const int rx = event.xmotion.x_root, ry = event.xmotion.y_root;
        if (std::abs(rx - openX) > kSlop || std::abs(ry - openY) > kSlop) moved = true;
        const int d = LevelAt(rx, ry);
        scrollDirection = 0;
        if (d < 0) break;
        Level& level = *mLevels[d];
        if (const int arrow = level.layout.ArrowAt(rx - level.x, ry - level.y)) {
          scrollLevel = d;
          scrollDirection = arrow;
          break;
        }
        const int item = level.layout.ItemAt(rx - level.x, ry - level.y);
        if (item >= 0 && moved) draggedOntoItem = true;
        if (item >= 0 || static_cast<size_t>(d) + 1 == mLevels.size()) Hover(d, item);
        break;
      }
      case ButtonPress: {
        const int d = LevelAt(event.xbutton.x_root, event.xbutton.y_root);
        if (event.xbutton.button == Button4 || event.xbutton.button == Button5) {
          if (d >= 0) Scroll(static_cast<size_t>(d), event.xbutton.button == Button4 ? -kWheelRows : kWheelRows);
          break;
        }
        if (event.xbutton.button > Button5) break;
        if (d < 0) done = true;  // a click outside dismisses
        else pressedOnMenu = true;
        break;
      }
      case ButtonRelease: {
        if (event.xbutton.button >= Button4) break;
        if (!pressedOnMenu && !draggedOntoItem) break;  // the opening click, or no movement since
        const int d = LevelAt(event.xbutton.x_root, event.xbutton.y_root);
        if (d < 0) {
          if (!pressedOnMenu) done = true;  // dragged out and let go
          break;
        }
        Level& level = *mLevels[d];
        const int item = level.layout.ItemAt(event.xbutton.x_root - level.x, event.xbutton.y_root - level.y);
        if (Choose(d, item, choice)) chosen = done = true;
        pressedOnMenu = false;
        break;
      }
      case KeyPress: {
        const KeySym keysym = XLookupKeysym(&event.xkey, 0);
        // The keyboard works on the deepest level with a lit item.
        size_t depth = mLevels.size() - 1;
        while (depth > 0 && mLevels[depth]->hover < 0) --depth;
        Level& current = *mLevels[depth];
        const int n = static_cast<int>(current.menu->items.size());
        if (keysym == XK_Escape) {
          done = true;
        } else if (keysym == XK_Down || keysym == XK_Up) {
          Hover(depth, current.layout.Step(current.hover, keysym == XK_Down ? 1 : -1));
        } else if (keysym == XK_Home || keysym == XK_End) {
          Hover(depth, current.layout.Step(keysym == XK_Home ? -1 : n, keysym == XK_Home ? 1 : -1));
        } else if (keysym == XK_Page_Down || keysym == XK_Page_Up) {
          const int rows = std::max(1, current.layout.RowsShown() - 1), direction = keysym == XK_Page_Down ? 1 : -1;
          int item = current.hover;
          for (int k = 0; k < rows; ++k) {
            const int next = current.layout.Step(item, direction);
            if (next < 0 || (item >= 0 && (next - item) * direction < 0)) break;  // no wrapping a page
            item = next;
          }
          Hover(depth, item);
        } else if (keysym == XK_Right && mLevels.size() > depth + 1) {
          Hover(depth + 1, mLevels[depth + 1]->layout.Step(-1, 1));
        } else if (keysym == XK_Left && depth > 0) {
          CloseFrom(depth);
        } else if (keysym == XK_Return || keysym == XK_KP_Enter) {
          if (Choose(depth, current.hover, choice)) chosen = done = true;
        }
        break;
      }
      default:
        others.push_back(event);
        break;
    }
  }
  XUngrabPointer(mDisplay, CurrentTime);
  XUngrabKeyboard(mDisplay, CurrentTime);
  CloseFrom(0);
  XFlush(mDisplay);
  for (auto it = others.rbegin(); it != others.rend(); ++it) XPutBackEvent(mDisplay, &*it);
  return chosen;
}
}  // namespace

bool RunPopupMenu(Display* display, Window editor, X11Painter& painter, const ViewText& text, const ViewMenu& menu,
                  const ViewRect& r, ViewMenuChoice* choice) {
  Window child = 0;
  int left = 0, bottom = 0, top = 0, unused = 0;
  XWindowAttributes attributes{};
  {
    XErrorTrap trap(display);
    // The menu fits the screen the editor is on, a few pixels under the
    // control, as on the other desktops.
    if (!XGetWindowAttributes(display, editor, &attributes) || !attributes.screen) return false;
    const Window root = RootWindowOfScreen(attributes.screen);
    XTranslateCoordinates(display, editor, root, r.L, r.B + kGapBelow, &left, &bottom, &child);
    XTranslateCoordinates(display, editor, root, r.L, r.T, &unused, &top, &child);
    if (!trap.Sync()) return false;
  }
  MenuSession session(display, attributes.screen, painter, text);
  return session.Run(menu, left, bottom, top, choice);
}
