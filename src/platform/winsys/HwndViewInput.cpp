// The view class's input: mouse, keys, gestures and dropped files turned into window messages.
#include <cmath>
#include <cstring>

#include "Cursors.h"
#include "HwndView.h"
#include "Internal.h"
#include "ListBox.h"
#include "WindowExtras.h"
#include "model/Application.h"

using winsys::App;
using winsys::Event;
using winsys::Rectf;
using winsys::View;

// Mouse input.

LRESULT swell::sendMouseMessage(View* view, UINT msg, const Event& e) {
  if (auto* cap = swell::asView(m_fakeCapture); cap && cap != view && cap->window() == view->window() &&
                                                  dynamic_cast<Swell_vTarnivex_hwnd*>(cap))
    view = cap;
  auto* hv = dynamic_cast<Swell_vTarnivex_hwnd*>(view);
  if (!hv || hv->m_hashaddestroy || !hv->m_wndproc) return -1;
  // The cursor services give the position (the virtual one while the mouse moves relatively).
  POINT pos = swellProcessMouseEvent(msg, view, e);
  int x = pos.x, y = pos.y;
  bool wheel = msg == WM_MOUSEWHEEL || msg == WM_MOUSEHWHEEL;
  if (!wheel && !m_fakeCapture) {
    LRESULT hit = hv->m_wndproc(view, WM_NCHITTEST, 0, LPARAM(GetMessagePos()));
    if (hit != HTCLIENT && msg >= 0x200 && msg <= 0x209)
      return hv->m_wndproc(view, msg - 0x160, WPARAM(hit), LPARAM(GetMessagePos()));
  }
  LRESULT r;
  if (wheel) {
    double d = msg == WM_MOUSEWHEEL ? e.deltaY : e.deltaX;
    POINT sp;
    GetCursorPos(&sp);
    r = hv->m_wndproc(view, msg, WPARAM(uint32_t(int(d * 60)) << 16),
                      LPARAM((sp.y << 16) | (sp.x & 0xFFFF)));
  } else {
    r = hv->m_wndproc(view, msg, 0, LPARAM((y << 16) | (x & 0xFFFF)));
  }
  if (!m_fakeCapture && (msg == WM_MOUSEMOVE || msg == WM_LBUTTONUP || msg == WM_RBUTTONUP || msg == WM_MBUTTONUP)) {
    LRESULT set = hv->m_hashaddestroy ? 0 : hv->m_wndproc(view, WM_SETCURSOR, WPARAM(static_cast<HWND>(view)),
                                                            LPARAM(HTCLIENT | (msg << 16)));
    if (!set && !App().arrowCursorIsCurrent()) App().setArrowCursor();
  }
  return r;
}

void Swell_vTarnivex_hwnd::mouseDown(const Event& e) {
  SWELL_FinishDragDrop();  // a press ends any drag this view was a source of
  if (!m_enabled) return;
  if ((e.modifierFlags & winsys::kControlKeyMask) && IsRightClickEmulateEnabled()) {
    if (e.clickCount < 2) m_isfakerightmouse = 1;
    rightMouseDown(e);
    return;
  }
  swell::sendMouseMessage(this, e.clickCount >= 2 ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN, e);
}

void Swell_vTarnivex_hwnd::mouseUp(const Event& e) {
  if (m_isfakerightmouse)
    rightMouseUp(e);
  else
    swell::sendMouseMessage(this, WM_LBUTTONUP, e);
}

void Swell_vTarnivex_hwnd::mouseDragged(const Event& e) { swell::sendMouseMessage(this, WM_MOUSEMOVE, e); }
void Swell_vTarnivex_hwnd::rightMouseDragged(const Event& e) { swell::sendMouseMessage(this, WM_MOUSEMOVE, e); }
void Swell_vTarnivex_hwnd::otherMouseDragged(const Event& e) { swell::sendMouseMessage(this, WM_MOUSEMOVE, e); }

void Swell_vTarnivex_hwnd::rightMouseDown(const Event& e) {
  if (window() && !window()->isKeyWindow()) SetFocus(window());
  swell::sendMouseMessage(this, e.clickCount >= 2 ? WM_RBUTTONDBLCLK : WM_RBUTTONDOWN, e);
}

void Swell_vTarnivex_hwnd::rightMouseUp(const Event& e) {
  m_isfakerightmouse = 0;
  swell::sendMouseMessage(this, WM_RBUTTONUP, e);
}

void Swell_vTarnivex_hwnd::otherMouseDown(const Event& e) {
  if (window() && !window()->isKeyWindow()) SetFocus(window());
  swell::sendMouseMessage(this, e.clickCount >= 2 ? WM_MBUTTONDBLCLK : WM_MBUTTONDOWN, e);
}

void Swell_vTarnivex_hwnd::otherMouseUp(const Event& e) { swell::sendMouseMessage(this, WM_MBUTTONUP, e); }

void Swell_vTarnivex_hwnd::scrollWheel(const Event& e) {
  if (e.deltaY != 0) swell::sendMouseMessage(this, WM_MOUSEWHEEL, e);
  if (e.deltaX != 0) swell::sendMouseMessage(this, WM_MOUSEHWHEEL, e);
}

void Swell_vTarnivex_hwnd::mouseMoved(const Event& e) {
  if (!e.handedOver && !m_fakeCapture && e.window) {
    winsys::Pointf screen = e.window->convertBaseToScreen(e.locationInWindow);
    winsys::Window* under = nullptr;
    winsys::Window* key = App().keyWindow();
    const auto& ordered = App().orderedWindows();
    if (key && std::find(ordered.begin(), ordered.end(), key) == ordered.end() && key->isVisible() &&
        key->frame().contains(screen))
      under = key;
    for (size_t i = 0; !under && i < ordered.size(); ++i)
      if (ordered[i]->isVisible() && ordered[i]->frame().contains(screen)) under = ordered[i];
    if (under && under != e.window && !App().modalWindow()) {
      View* target = nullptr;
      if (dynamic_cast<Swell_vTarnivex_hwnd*>(under->contentView()))
        target = under->contentView()->hitTest(under->convertScreenToBase(screen));
      if (target) {
        Event handed = e;
        handed.window = under;
        handed.locationInWindow = under->convertScreenToBase(screen);
        handed.handedOver = true;
        target->mouseMoved(handed);
      } else if (!App().arrowCursorIsCurrent()) {
        App().setArrowCursor();
      }
      return;
    }
    if (View* other = e.window->contentView() ? e.window->contentView()->hitTest(e.locationInWindow) : nullptr;
        other && other != this) {
      Event handed = e;
      handed.handedOver = true;
      other->mouseMoved(handed);
      return;
    }
  }
  if (m_enabled && (!m_fakeCapture || m_fakeCapture == this)) swell::sendMouseMessage(this, WM_MOUSEMOVE, e);
}

bool Swell_vTarnivex_hwnd::keyDown(const Event& e) {
  if (m_hashaddestroy || !m_wndproc) return false;
  int flags = 0;
  int code = SWELL_MacKeyToWindowsKey(&e, &flags);
  return m_wndproc(this, WM_KEYDOWN, WPARAM(code), LPARAM(flags)) != 69;
}

bool Swell_vTarnivex_hwnd::keyUp(const Event& e) {
  if (m_hashaddestroy || !m_wndproc) return false;
  int flags = 0;
  int code = SWELL_MacKeyToWindowsKey(&e, &flags);
  return m_wndproc(this, WM_KEYUP, WPARAM(code), LPARAM(flags)) != 69;
}

// Gestures: a begin and an end record each.

void Swell_vTarnivex_hwnd::sendGesture(int id, const Event& e, uint64_t beginArg, uint64_t endArg, POINT endPt) {
  if (!m_wndproc || m_hashaddestroy) return;
  winsys::Pointf s = e.window ? e.window->convertBaseToScreen(e.locationInWindow) : e.locationInWindow;
  GESTUREINFO gi{};
  gi.cbSize = sizeof gi;
  gi.dwID = DWORD(id);
  gi.hwndTarget = this;
  gi.x = short(s.x);
  gi.y = short(s.y);
  gi.dwFlags = 1;
  gi.ullArguments = beginArg;
  m_wndproc(this, WM_GESTURE, WPARAM(gi.ullArguments), LPARAM(&gi));
  gi.dwFlags = 4;
  gi.ullArguments = endArg;
  gi.x = short(endPt.x);
  gi.y = short(endPt.y);
  m_wndproc(this, WM_GESTURE, WPARAM(gi.ullArguments), LPARAM(&gi));
}

void Swell_vTarnivex_hwnd::magnifyWithEvent(const Event& e) {
  int r = int(e.deltaZ * 1024 + 0.5);
  if (!r) r = e.deltaZ < 0 ? -1 : 1;
  int end = std::clamp(r + 1024, 512, 2048);
  winsys::Pointf s = e.window ? e.window->convertBaseToScreen(e.locationInWindow) : e.locationInWindow;
  sendGesture(3, e, 1024, uint64_t(end), {int(s.x), int(s.y)});
}

void Swell_vTarnivex_hwnd::swipeWithEvent(const Event& e) {
  winsys::Pointf s = e.window ? e.window->convertBaseToScreen(e.locationInWindow) : e.locationInWindow;
  POINT p{short(s.x), short(s.y)};
  if (e.deltaX < 0)
    p.x -= int(frame().width);
  else if (e.deltaX > 0)
    p.x += int(frame().width);
  else if (e.deltaY < 0)
    p.y += int(frame().height);
  else if (e.deltaY > 0)
    p.y -= int(frame().height);
  sendGesture(4, e, 0, 0, p);
}

void Swell_vTarnivex_hwnd::rotateWithEvent(const Event& e) {
  int r = int(32767.0 * e.rotation / 60.0);
  if (!r) r = e.rotation < 0 ? -1 : 1;
  int end = std::clamp(r + 32767, 0, 65535);
  winsys::Pointf s = e.window ? e.window->convertBaseToScreen(e.locationInWindow) : e.locationInWindow;
  sendGesture(5, e, 0, uint64_t(end), {int(s.x), int(s.y)});
}

bool SWELL_GetGestureInfo(LPARAM lParam, GESTUREINFO* out) {
  if (!lParam || !out) return false;
  memcpy(out, reinterpret_cast<const GESTUREINFO*>(lParam), sizeof *out);
  return true;
}

// Drop target.

HGLOBAL Swell_vTarnivex_hwnd::swellExtendedDragOp(const winsys::DragInfo& drag, bool onDrop) {
  if (!m_supports_ddrop) return nullptr;
  std::vector<std::string> names;
  if (!drag.files.empty()) {
    names = drag.files;
  } else if (!onDrop) {
    for (auto& n : drag.promisedNames) names.push_back("tmp." + n);
  } else if (!drag.promisedNames.empty()) {
    const char* folder = SWELL_DDrop_getDroppedFileTargetPath
                             ? SWELL_DDrop_getDroppedFileTargetPath(drag.promisedNames[0].c_str())
                             : nullptr;
    std::string dir = folder && *folder ? folder : "/tmp/";
    if (dir.back() != '/') dir += '/';
    if (drag.writePromisedFiles)
      for (auto& n : drag.writePromisedFiles(dir)) names.push_back(dir + n);
  }
  size_t size = 16 + 1;
  for (auto& n : names) size += n.size() + 1;
  HGLOBAL h = GlobalAlloc(0, long(size));
  if (!h) return nullptr;
  winsys::Pointf base = window() ? window()->convertScreenToBase(drag.screenLocation) : drag.screenLocation;
  winsys::Pointf p = convertPointFromBase(base);
  auto* words = static_cast<int32_t*>(h);
  words[0] = 16;
  words[1] = int32_t(std::floor(p.x + 0.5));
  words[2] = int32_t(std::floor(p.y + 0.5));
  words[3] = 0;
  char* out = static_cast<char*>(h) + 16;
  for (auto& n : names) {
    memcpy(out, n.c_str(), n.size() + 1);
    out += n.size() + 1;
  }
  *out = 0;
  return h;
}

int Swell_vTarnivex_hwnd::draggingEntered(const winsys::DragInfo& drag) {
  if (!m_supports_ddrop) return winsys::kDragOperationNone;
  HGLOBAL block = swellExtendedDragOp(drag, false);
  if (SWELL_DDrop_onDragEnter)
    SWELL_DDrop_onDragEnter(block, int(std::floor(drag.screenLocation.x + 0.5)),
                            int(std::floor(drag.screenLocation.y + 0.5)));
  GlobalFree(block);
  return winsys::kDragOperationCopy;
}

int Swell_vTarnivex_hwnd::draggingUpdated(const winsys::DragInfo& drag) {
  if (!m_supports_ddrop) return winsys::kDragOperationNone;
  if (SWELL_DDrop_onDragOver)
    SWELL_DDrop_onDragOver(int(std::floor(drag.screenLocation.x + 0.5)), int(std::floor(drag.screenLocation.y + 0.5)));
  return winsys::kDragOperationCopy;
}

void Swell_vTarnivex_hwnd::draggingExited(const winsys::DragInfo&) {
  if (m_supports_ddrop && SWELL_DDrop_onDragLeave) SWELL_DDrop_onDragLeave();
}

bool Swell_vTarnivex_hwnd::performDragOperation(const winsys::DragInfo& drag) {
  if (!m_supports_ddrop) return false;
  if (SWELL_DDrop_onDragLeave) SWELL_DDrop_onDragLeave();
  View* content = window() ? window()->contentView() : nullptr;
  bool sameWindow = drag.sourceView && window() && drag.sourceView->window() == window() && content;
  if (sameWindow) content->swellSetProp("SWELL_DisableWindowRepre", reinterpret_cast<void*>(1));
  // The innermost view under the drop point that takes files handles it.
  Swell_vTarnivex_hwnd* handler = this;
  if (window() && content) {
    View* hit = content->hitTest(window()->convertScreenToBase(drag.screenLocation));
    for (View* v = hit; v && v != this; v = v->superview())
      if (auto* h = dynamic_cast<Swell_vTarnivex_hwnd*>(v); h && h->m_supports_ddrop) {
        handler = h;
        break;
      }
  }
  HGLOBAL block = handler->swellExtendedDragOp(drag, true);
  if (block && handler->m_wndproc && !handler->m_hashaddestroy)
    handler->m_wndproc(handler, WM_DROPFILES, WPARAM(block), 0);
  GlobalFree(block);
  if (sameWindow) content->swellGetProp("SWELL_DisableWindowRepre", true);
  return block != nullptr;
}
