#include "WindowExtras.h"

#include <strings.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "ControlCreation.h"
#include "Internal.h"
#include "TabControl.h"
#include "model/Application.h"
#include "model/Panels.h"

using winsys::App;
using winsys::Rectf;
using winsys::View;
using winsys::Window;

// Foreign-window hosting.

unsigned fourCC(const char* s) {
  return unsigned(uint8_t(s[0])) << 24 | unsigned(uint8_t(s[1])) << 16 | unsigned(uint8_t(s[2])) << 8 | uint8_t(s[3]);
}

Swell_vTarnivex_hwndcarbonhost* Swell_vTarnivex_hwndcarbonhost::initCarbonChild(HWND parent, RECT cr,
                                                                                 bool composited) {
  auto* v = new Swell_vTarnivex_hwndcarbonhost(Rectf{0, 0, 10, 10}, false, false, false);
  v->initChild(nullptr, parent, nullptr, 0);
  v->setHidden(false);
  v->m_composited = composited;
  // The foreign window's rectangle has y measured down from the top of the main display.
  double h = App().screens().empty() ? 0 : App().screens().front().frame.height;
  v->m_carbonBounds = cr;
  v->m_cwnd = new Window({double(cr.left), h - cr.bottom, double(cr.right - cr.left), double(cr.bottom - cr.top)}, 0);
  v->m_cwnd->orderFront();
  SetTimer(v, 1, 10, nullptr);
  if (v->superview()) v->release();
  else App().autorelease(v);
  return v;
}

Swell_vTarnivex_hwndcarbonhost::~Swell_vTarnivex_hwndcarbonhost() = default;

void Swell_vTarnivex_hwndcarbonhost::dealloc() {
  close();
  Swell_vTarnivex_hwnd::dealloc();
}

void Swell_vTarnivex_hwndcarbonhost::close() {
  KillTimer(this, 1);
  if (!m_cwnd) return;
  if (Window* p = m_cwnd->parentWindow()) p->removeChildWindow(m_cwnd);
  m_cwnd->orderOut();
  m_cwnd->close();
  m_cwnd = nullptr;
}

void Swell_vTarnivex_hwndcarbonhost::swellDoRepos() {
  if (!m_cwnd) return;
  RECT r;
  GetWindowRect(this, &r);
  int upper = std::max(r.top, r.bottom), lower = std::min(r.top, r.bottom);
  double h = App().screens().empty() ? 0 : App().screens().front().frame.height;
  m_carbonBounds = {r.left, int(h) - upper, r.right, int(h) - lower};
  m_cwnd->setFrame({double(r.left), double(lower), double(r.right - r.left), double(upper - lower)}, false);
}

void Swell_vTarnivex_hwndcarbonhost::setFrame(Rectf frame) {
  Swell_vTarnivex_hwnd::setFrame(frame);
  swellDoRepos();
}

// A foreign window stays attached only to the window the view is in.
void Swell_vTarnivex_hwndcarbonhost::viewDidMoveToWindow() {
  if (!m_cwnd) return;
  if (Window* p = m_cwnd->parentWindow(); p && p != window()) p->removeChildWindow(m_cwnd);
}

void Swell_vTarnivex_hwndcarbonhost::SWELL_Timer(uintptr_t id) {
  if (id != 1) {
    KillTimer(this, id);
    return;
  }
  if (!m_cwnd) return;
  View* sup = superview();
  if (sup && !sup->isHiddenOrHasHiddenAncestor()) {
    if (!m_cwnd->parentWindow()) {
      if (window()) {
        window()->addChildWindow(m_cwnd, 1);
        swellDoRepos();
      }
    } else {
      const winsys::Event* e = App().currentEvent();
      RECT r;
      GetWindowRect(this, &r);
      POINT p;
      GetCursorPos(&p);
      bool inside = p.x >= r.left && p.x < r.right && p.y >= std::min(r.top, r.bottom) && p.y < std::max(r.top, r.bottom);
      if (e && (e->buttonState & 7) && window() && window()->isKeyWindow() && inside) m_cwnd->makeKeyWindow();
    }
  } else if (Window* p = m_cwnd->parentWindow()) {
    p->removeChildWindow(m_cwnd);
    m_cwnd->orderOut();
  }
}

LRESULT Swell_vTarnivex_hwndcarbonhost::onSwellMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_DESTROY && !swellHasBeenDestroyed()) {
    if (m_cwnd && m_cwnd->isKeyWindow())
      for (Window* w : App().orderedWindows())
        if (w != m_cwnd) {
          w->makeKeyWindow();
          break;
        }
    close();
  }
  return Swell_vTarnivex_hwnd::onSwellMessage(msg, wParam, lParam);
}

bool Swell_vTarnivex_hwndcarbonhost::carbonKeyEvent(int kind, int keyCode, unsigned modifiers, const std::string& chars,
                                                    unsigned focusKind) {
  if (m_wantallkeys) return false;
  // A text control of the foreign window takes its own keys.
  if (focusKind == fourCC("etxt") || focusKind == fourCC("eutx") || focusKind == fourCC("hitx")) return false;
  winsys::Event e;
  e.type = kind == 1 ? winsys::EventType::kKeyDown : kind == 3 ? winsys::EventType::kKeyUp : winsys::EventType::kFlagsChanged;
  e.window = window();
  e.keyCode = keyCode;
  e.modifierFlags = modifiers;
  e.characters = chars.substr(0, chars.empty() ? 0 : 1);
  App().sendEvent(e);
  return true;
}

int Swell_vTarnivex_hwndcarbonhost::carbonWindowEvent(int kind) {
  if (kind == 5 && !App().isTerminating()) App().setMainMenu(nullptr);
  if (kind == 7) return 3;
  if (kind == 92 && m_cwnd) m_cwnd->makeKeyWindow();
  return 0;
}

void Swell_vTarnivex_hwndcarbonhost::carbonControlBoundsChanged(RECT prev, RECT cur) {
  if (m_whileresizing) return;
  int dx = cur.left - prev.left, dy = cur.top - prev.top;
  int dw = (cur.right - cur.left) - (prev.right - prev.left), dh = (cur.bottom - cur.top) - (prev.bottom - prev.top);
  Rectf f = frame();
  bool flipped = superview() && superview()->isFlipped();
  int y = flipped ? int(f.y) + dy : int(f.y) - dy - dh;
  m_whileresizing = true;
  SetWindowPos(this, nullptr, int(f.x) + dx, y, int(f.width) + dw, int(f.height) + dh, 0xC);
  m_whileresizing = false;
}

HWND SWELL_CreateCarbonWindowView(HWND parent, void** carbonWindow, RECT* r, bool composited) {
  if (!r) return nullptr;
  POINT tl{r->left, r->top}, br{r->right, r->bottom};
  ClientToScreen(parent, &tl);
  ClientToScreen(parent, &br);
  RECT cr{tl.x, br.y, br.x, tl.y};  // top and bottom fields swap into the foreign window's order
  double h = App().screens().empty() ? 0 : App().screens().front().frame.height;
  RECT carbon{cr.left, int(h) - std::max(cr.top, cr.bottom), cr.right, int(h) - std::min(cr.top, cr.bottom)};
  auto* v = Swell_vTarnivex_hwndcarbonhost::initCarbonChild(parent, carbon, composited);
  v->assignFrame({double(r->left), double(std::min(r->top, r->bottom)), double(r->right - r->left),
                  double(std::abs(r->bottom - r->top))});
  if (carbonWindow) *carbonWindow = v->m_cwnd;
  return v;
}

void* SWELL_GetWindowFromCarbonWindowView(HWND hwnd) {
  auto* v = dynamic_cast<Swell_vTarnivex_hwndcarbonhost*>(hwnd);
  return v ? v->m_cwnd : nullptr;
}

// The foreign window's controls report their bounds changes to the host through carbonControlBoundsChanged.
void SWELL_AddCarbonPaneToView(HWND, void*) {}

void SWELL_CarbonWndHost_SetWantAllKeys(void* host, bool want) {
  if (auto* v = dynamic_cast<Swell_vTarnivex_hwndcarbonhost*>(static_cast<HWND>(host))) v->m_wantallkeys = want;
}

HWND SWELL_GetAudioUnitCocoaView(HWND, void*, void*, RECT*) { return nullptr; }

// Drag source.

namespace {
std::string gDragSource;
bool gDragPending = false;
void (*gDragCallback)(const char*) = nullptr;
SwellDragStart gLastDrag;

bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}
}  // namespace

void SWELL_FinishDragDrop() {
  gDragSource.clear();
  gDragPending = false;
  gDragCallback = nullptr;
}

const SwellDragStart& SWELL_LastDragStart() { return gLastDrag; }

void SWELL_InitiateDragDrop(HWND view, RECT* r, const char* srcfn, void (*callback)(const char*)) {
  SWELL_FinishDragDrop();
  if (!dynamic_cast<Swell_vTarnivex_hwnd*>(view) || !srcfn) return;
  gDragSource = srcfn;
  gDragPending = true;
  gDragCallback = callback;
  const char* dot = strrchr(srcfn, '.');
  gLastDrag = {};
  gLastDrag.promise = true;
  gLastDrag.types = {dot ? dot + 1 : ""};
  gLastDrag.files = {srcfn};
  if (r) gLastDrag.from = *r;
  gLastDrag.slideBack = true;
}

void SWELL_InitiateDragDropOfFileList(HWND view, RECT* r, const char** files, int count, HICON icon) {
  SWELL_FinishDragDrop();
  if (!dynamic_cast<Swell_vTarnivex_hwnd*>(view) || !files) return;
  gLastDrag = {};
  gLastDrag.types = {"NSFilenamesPboardType"};
  for (int i = 0; i < count; ++i)
    if (files[i]) gLastDrag.files.push_back(files[i]);
  if (r) gLastDrag.from = {r->left, r->top, r->left, r->top};
  gLastDrag.slideBack = true;
  gLastDrag.image = SWELL_GetGdiObjectImage(icon);
}

std::vector<std::string> Swell_vTarnivex_hwnd::namesOfPromisedFilesDroppedAtDestination(const std::string& folder) {
  std::vector<std::string> names;
  SWELL_DoDragDrop(folder.c_str(), &names);
  return names;
}

bool SWELL_DoDragDrop(const char* destFolder, std::vector<std::string>* names) {
  std::string src = gDragSource;
  void (*cb)(const char*) = gDragCallback;
  bool pending = gDragPending;
  SWELL_FinishDragDrop();
  if (!pending || !cb || !destFolder) return false;
  const char* slash = strrchr(src.c_str(), '/');
  std::string fileName = slash ? slash + 1 : src;
  std::string dest = std::string(destFolder) + "/" + fileName;
  if (exists(dest)) {
    winsys::Alert a;
    a.title = "Copy";
    a.message = "An item named \"" + fileName +
                "\" already exists in this location. Do you want to replace it with the one you're moving?";
    a.buttons = {"Keep Both Files", "Stop", "Replace"};
    int pressed = App().runAlert(a);
    if (pressed == 1) return false;
    if (pressed != 2) {
      // A free name with a three-digit number after the name's own trailing number.
      size_t dot = fileName.rfind('.');
      std::string base = dot == std::string::npos ? fileName : fileName.substr(0, dot);
      std::string ext = dot == std::string::npos ? "" : fileName.substr(dot);
      size_t d = base.size();
      while (d > 0 && isdigit(static_cast<unsigned char>(base[d - 1]))) --d;
      int n = d < base.size() ? atoi(base.c_str() + d) : 0;
      std::string prefix = base.substr(0, d);
      std::string found;
      for (int i = n + 1; i <= 999 && found.empty(); ++i) {
        char buf[32];
        snprintf(buf, sizeof buf, "%03d", i);
        std::string candidate = std::string(destFolder) + "/" + prefix + buf + ext;
        if (!exists(candidate)) found = candidate;
      }
      // No free name left: nothing is written, as for "Stop", rather than overwriting a file.
      if (found.empty()) return false;
      dest = found;
    }
  }
  cb(dest.c_str());
  if (!exists(dest)) return false;
  if (names) {
    const char* s = strrchr(dest.c_str(), '/');
    *names = {s ? s + 1 : dest};
  }
  return true;
}

// OpenGL bookkeeping.

namespace {
std::map<const View*, std::unique_ptr<winsys::GLContext>>& glContexts() {
  static std::map<const View*, std::unique_ptr<winsys::GLContext>> contexts;
  return contexts;
}
winsys::GLContext* gCurrentGL = nullptr;

void makeCurrent(winsys::GLContext* ctx) {
  if (gCurrentGL) gCurrentGL->current = false;
  gCurrentGL = ctx;
  if (ctx) ctx->current = true;
}
}  // namespace

void SWELL_SetViewGL(HWND h, bool on) {
  auto* v = dynamic_cast<Swell_vTarnivex_hwnd*>(h);
  if (!v || (v->m_glctx != nullptr) == on) return;
  if (on) {
    auto ctx = std::make_unique<winsys::GLContext>();
    ctx->allowsOfflineRenderers = App().systemVersion() >= 0x1050;
    v->m_glctx = ctx.get();
    glContexts()[v] = std::move(ctx);
  } else {
    if (gCurrentGL == v->m_glctx) makeCurrent(nullptr);
    v->m_glctx = nullptr;
    glContexts().erase(v);
  }
}

bool SWELL_GetViewGL(HWND h) {
  auto* v = dynamic_cast<Swell_vTarnivex_hwnd*>(h);
  return v && v->m_glctx;
}

bool SWELL_SetGLContextToView(HWND h) {
  if (!h) {
    makeCurrent(nullptr);
    return true;
  }
  auto* v = dynamic_cast<Swell_vTarnivex_hwnd*>(h);
  if (!v || !v->m_glctx) return false;
  makeCurrent(v->m_glctx);
  return true;
}

// Focus rectangle and window appearance.

void SWELL_DrawFocusRect(HWND parent, RECT* r, void** handle) {
  if (!handle) return;
  auto* overlay = static_cast<Window*>(*handle);
  if (!r) {
    if (overlay) {
      if (Window* p = overlay->parentWindow()) p->removeChildWindow(overlay);
      overlay->close();
    }
    *handle = nullptr;
    return;
  }
  POINT a{r->left, r->top}, b{r->right, r->bottom};
  ClientToScreen(parent, &a);
  ClientToScreen(parent, &b);
  Rectf f{double(std::min(a.x, b.x)), double(std::min(a.y, b.y)), double(std::abs(b.x - a.x)), double(std::abs(b.y - a.y))};
  View* pv = swell::viewOf(parent);
  Window* pw = pv ? pv->window() : swell::asWindow(parent);
  if (overlay && overlay->parentWindow() != pw) {
    if (Window* p = overlay->parentWindow()) p->removeChildWindow(overlay);
    overlay->close();
    overlay = nullptr;
  }
  if (!overlay) {
    overlay = new Window(f, 0);
    overlay->setAlpha(0.5f);
    overlay->excludedFromWindowsMenu = true;
    overlay->ignoresMouseEvents = true;
    auto* content = new Swell_vTarnivex_drawfocusrectwnd;
    overlay->setContentView(content);
    content->release();
    if (pw)
      pw->addChildWindow(overlay, 1);
    else
      overlay->setLevel(101);  // the pop-up menu level
    overlay->orderFront();
    *handle = overlay;
  }
  overlay->setFrame(f, true);
}

namespace {
Window* windowOf(HWND h) {
  if (Window* w = swell::asWindow(h)) return w;
  View* v = swell::asView(h);
  return v ? v->window() : nullptr;
}
}  // namespace

void SetOpaque(HWND h, bool opaque) {
  if (auto* v = dynamic_cast<Swell_vTarnivex_hwnd*>(h)) v->setOpaque(opaque);
}

void SetTransparent(HWND h) {
  if (Window* w = windowOf(h)) {
    w->clearBackground = true;
    w->isOpaqueWindow = false;
  }
}

void SWELL_SetWindowShadow(HWND h, bool shadow) {
  if (Window* w = windowOf(h)) w->hasShadow = shadow;
}

void SWELL_SetWindowRepre(HWND h, const char* filename, bool isDirty) {
  Window* w = windowOf(h);
  if (!w) return;
  if (w->contentView() && GetProp(w->contentView(), "SWELL_DisableWindowRepre")) return;
  w->documentEdited = isDirty;
  w->representedFilename = filename ? filename : "";
}

int SWELL_GetDefaultButtonID(HWND h, bool onlyIfEnabled) {
  Window* w = windowOf(h);
  View* b = w ? w->defaultButton : nullptr;
  if (!b) return 0;
  if (onlyIfEnabled && !b->isEnabled()) return 0;
  return b->tag() > 0 ? b->tag() : 0;
}

BOOL EnumChildWindows(HWND h, BOOL (*proc)(HWND, LPARAM), LPARAM lp) {
  View* v = swell::asView(h);
  if (!v || !proc) return 1;
  std::vector<View*> subs = v->subviews();
  for (View* s : subs) {
    if (!proc(s, lp)) return 0;
    if (!EnumChildWindows(s, proc, lp)) return 0;
  }
  return 1;
}

void SWELL_GetDesiredControlSize(HWND h, RECT* r) {
  auto* c = dynamic_cast<winsys::Control*>(h);
  if (!c || !r) return;
  Rectf old = c->frame();
  c->sizeToFit();
  Rectf f = c->frame();
  c->setFrame(old);
  *r = {0, 0, int(f.width), int(f.height)};
}

bool SWELL_IsGroupBox(HWND h) { return dynamic_cast<Swell_vTarnivex_box*>(h) != nullptr; }
bool SWELL_IsButton(HWND h) { return dynamic_cast<Swell_vTarnivex_button*>(h) != nullptr; }
bool SWELL_IsStaticText(HWND h) { return dynamic_cast<winsys::TextField*>(h) != nullptr; }

bool SWELL_HandleMouseEvent(const winsys::Event& e) {
  using winsys::EventType;
  switch (e.type) {
    case EventType::kLeftMouseDown:
    case EventType::kLeftMouseUp:
    case EventType::kRightMouseDown:
    case EventType::kRightMouseUp:
    case EventType::kMouseMoved:
    case EventType::kLeftMouseDragged:
    case EventType::kRightMouseDragged: break;
    default: return false;
  }
  if (m_fakeCapture || !e.window || !e.window->contentView()) return false;
  View* content = e.window->contentView();
  View* hit = content->hitTest(e.locationInWindow);
  winsys::Pointf s = e.window->convertBaseToScreen(e.locationInWindow);
  LPARAM pos = LPARAM((int(s.y) << 16) | (int(s.x) & 0xFFFF));
  View* outer = nullptr;
  for (View* v = hit; v; v = v->superview()) {
    if (v->answersOnSwellMessage() && v->onSwellMessage(WM_NCHITTEST, 0, pos) > 1) outer = v;
    if (v == content) break;
  }
  if (!outer) return false;
  switch (e.type) {
    case EventType::kLeftMouseDown: outer->mouseDown(e); break;
    case EventType::kLeftMouseUp: outer->mouseUp(e); break;
    case EventType::kRightMouseDown: outer->rightMouseDown(e); break;
    case EventType::kRightMouseUp: outer->rightMouseUp(e); break;
    case EventType::kMouseMoved: outer->mouseMoved(e); break;
    case EventType::kLeftMouseDragged: outer->mouseDragged(e); break;
    default: outer->rightMouseDragged(e); break;
  }
  return true;
}

int ShellExecute(HWND, const char*, const char* file, const char* parameters, const char*, int) {
  std::string f = file ? file : "", p = parameters ? parameters : "";
  if (!strncasecmp(f.c_str(), "http://", 7)) return App().workspace("openURL", f);
  std::string app = f;
  if (f == "explorer.exe") app.clear();
  else if (f == "notepad.exe" || f == "notepad") app = "TextEdit.app";
  if (p == "explorer.exe") p.clear();
  if (!app.empty() && !p.empty()) return App().workspace("openFileWithApplication", p, app);
  std::string one = !app.empty() ? app : p;
  if (one.empty()) return 0;
  if (one.size() >= 5 && !strcasecmp(one.c_str() + one.size() - 4, ".app")) return App().workspace("launchApplication", one);
  return App().workspace("openFile", one);
}

bool SWELL_SetAppAutoHideMenuAndDock(int mode) {
  static bool remembered = false;
  static unsigned saved = 0;
  if (App().systemVersion() < 0x1060) return false;
  if (!remembered) {
    saved = App().presentationOptions;
    remembered = true;
  }
  App().presentationOptions = mode < 1 ? saved : mode == 1 ? 5u : 6u;
  return true;
}

int SWELL_GetButtonTextColor(HWND button) {
  auto* b = dynamic_cast<winsys::Button*>(button);
  return b && b->textColor() >= 0 ? b->textColor() : 0;
}

void SWELL_SetButtonTextColor(HWND button, int rgb) {
  if (auto* b = dynamic_cast<winsys::Button*>(button)) b->setTextColor(rgb & 0xFFFFFF);
}
