#include "GraphicsViewClient.h"

#include "Bitmap.h"
#include "Fill.h"
#include "IGraphicsLinux.h"

namespace {
// The panel behind everything the editor draws.
constexpr LICE_pixel kPanel = LICE_RGBA(0x2B, 0x2D, 0x31, 255);
}  // namespace

// The controls report their own changes once the graphics context collects
// them; until then only the window system asks for paint.
bool GraphicsViewClient::IsDirty(ViewRect*) { return false; }

void GraphicsViewClient::Draw(const ViewRect& r) {
  LICE_SysBitmap* surface = mGraphics.GetDrawBitmap();
  if (!surface) return;
  LICE_FillRect(surface, r.L, r.T, r.W(), r.H(), kPanel, 1.0f, 0);
}

const unsigned* GraphicsViewClient::FrameBits(int* rowSpan) {
  LICE_SysBitmap* surface = mGraphics.GetDrawBitmap();
  if (!surface) return nullptr;
  if (rowSpan) *rowSpan = surface->getRowSpan();
  return surface->getBits();
}

void GraphicsViewClient::OnMouseDown(int x, int y, const ViewMouseMod&) { Track(x, y); }
void GraphicsViewClient::OnMouseUp(int x, int y, const ViewMouseMod&) { Track(x, y); }
void GraphicsViewClient::OnMouseDrag(int x, int y, const ViewMouseMod&) { Track(x, y); }
bool GraphicsViewClient::OnMouseDblClick(int x, int y, const ViewMouseMod&) {
  Track(x, y);
  return false;
}
void GraphicsViewClient::OnMouseWheel(int x, int y, const ViewMouseMod&, int) { Track(x, y); }
bool GraphicsViewClient::OnMouseOver(int x, int y, const ViewMouseMod&) {
  Track(x, y);
  return false;
}
bool GraphicsViewClient::OnKeyDown(int, int, int) { return false; }
void GraphicsViewClient::OnTextEntryEnd(const std::string*) {}
