#include "GraphicsViewClient.h"

#include "Bitmap.h"
#include "IGraphicsLinux.h"

namespace {
IMouseMod ToMod(const ViewMouseMod& m) { return IMouseMod(m.L, m.R, m.S, m.C, m.A); }
}  // namespace

bool GraphicsViewClient::IsDirty(ViewRect* r) {
  IRECT dirty;
  const bool any = mGraphics.IsDirty(&dirty);
  if (any && r) *r = r->Union({dirty.L, dirty.T, dirty.R, dirty.B});
  return any;
}

void GraphicsViewClient::Draw(const ViewRect& r) {
  IRECT area(r.L, r.T, r.R, r.B);
  mGraphics.Draw(&area);
}

const unsigned* GraphicsViewClient::FrameBits(int* rowSpan) {
  LICE_SysBitmap* surface = mGraphics.GetDrawBitmap();
  if (!surface) return nullptr;
  if (rowSpan) *rowSpan = surface->getRowSpan();
  return surface->getBits();
}

void GraphicsViewClient::OnMouseDown(int x, int y, const ViewMouseMod& mod) {
  Track(x, y);
  IMouseMod m = ToMod(mod);
  mGraphics.OnMouseDown(x, y, &m);
}

void GraphicsViewClient::OnMouseUp(int x, int y, const ViewMouseMod& mod) {
  Track(x, y);
  IMouseMod m = ToMod(mod);
  mGraphics.OnMouseUp(x, y, &m);
}

void GraphicsViewClient::OnMouseDrag(int x, int y, const ViewMouseMod& mod) {
  Track(x, y);
  IMouseMod m = ToMod(mod);
  mGraphics.OnMouseDrag(x, y, &m);
}

bool GraphicsViewClient::OnMouseDblClick(int x, int y, const ViewMouseMod& mod) {
  Track(x, y);
  IMouseMod m = ToMod(mod);
  return mGraphics.OnMouseDblClick(x, y, &m);
}

void GraphicsViewClient::OnMouseWheel(int x, int y, const ViewMouseMod& mod, int delta) {
  Track(x, y);
  IMouseMod m = ToMod(mod);
  mGraphics.OnMouseWheel(x, y, &m, delta);
}

bool GraphicsViewClient::OnMouseOver(int x, int y, const ViewMouseMod& mod) {
  Track(x, y);
  IMouseMod m = ToMod(mod);
  return mGraphics.OnMouseOver(x, y, &m);
}

bool GraphicsViewClient::OnKeyDown(int x, int y, int key) { return mGraphics.OnKeyDown(x, y, key); }

void GraphicsViewClient::OnTextEntryEnd(const std::string* text) { mGraphics.TextEntryEnded(text); }
