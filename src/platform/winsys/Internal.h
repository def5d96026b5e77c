// State the layer's files share among themselves.
#pragma once

#include "Swell.h"
#include "model/View.h"
#include "model/Window.h"

namespace winsys {
class ScrollView;
}

// The view holding the mouse capture, and whether it wants to hear that it lost it.
extern HWND m_fakeCapture;
extern bool m_capChangeNotify;

namespace swell {

inline winsys::View* asView(HWND h) { return h && h->isView() ? static_cast<winsys::View*>(h) : nullptr; }
inline winsys::Window* asWindow(HWND h) { return h && h->isWindow() ? static_cast<winsys::Window*>(h) : nullptr; }
// A window stands for its content view.
winsys::View* viewOf(HWND h);
// The scroll view around a control placed in one, else the view itself.
winsys::View* outerView(winsys::View* v);
bool isContentView(const winsys::View* v);
// The rounding rule from floating-point geometry to a RECT.
RECT roundRect(winsys::Rectf r);
LRESULT sendMouseMessage(winsys::View* view, UINT msg, const winsys::Event& e);

}  // namespace swell
