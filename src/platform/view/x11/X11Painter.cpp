#include "X11Painter.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <mutex>
#include <utility>

namespace {
int LowBit(unsigned long mask) {
  int shift = 0;
  while (mask && !(mask & 1)) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}
}  // namespace

namespace {
// The stage of the last painter that went, kept for the next.
std::mutex gSpareMutex;
std::unique_ptr<unsigned[]> gSpareStage;
size_t gSpareSize = 0;
}  // namespace

X11Painter::~X11Painter() {
  std::lock_guard<std::mutex> lock(gSpareMutex);
  if (mStageSize > gSpareSize) {
    gSpareStage = std::move(mStage);
    gSpareSize = mStageSize;
  }
}

void X11Painter::ReleaseSpare() {
  std::lock_guard<std::mutex> lock(gSpareMutex);
  gSpareStage.reset();
  gSpareSize = 0;
}

void X11Painter::PrepareSpare(int width, int height) {
  const size_t pixels = static_cast<size_t>(std::max(width, 0)) * static_cast<size_t>(std::max(height, 0));
  {
    std::lock_guard<std::mutex> lock(gSpareMutex);
    if (gSpareSize >= pixels) return;
  }
  auto stage = std::make_unique_for_overwrite<unsigned[]>(pixels);
  std::fill_n(stage.get(), pixels, 0u);  // the kernel gives the pages now, on this thread
  std::lock_guard<std::mutex> lock(gSpareMutex);
  if (gSpareSize < pixels) {
    gSpareStage = std::move(stage);
    gSpareSize = pixels;
  }
}

X11Painter::X11Painter(Display* display, int screen)
    : mDisplay(display), mVisual(DefaultVisual(display, screen)), mDepth(DefaultDepth(display, screen)) {
  {
    std::lock_guard<std::mutex> lock(gSpareMutex);
    mStage = std::move(gSpareStage);
    mStageSize = std::exchange(gSpareSize, 0);
  }
  mMasks[0] = mVisual->red_mask;
  mMasks[1] = mVisual->green_mask;
  mMasks[2] = mVisual->blue_mask;
  for (int i = 0; i < 3; ++i) mShifts[i] = LowBit(mMasks[i]);
  int formats = 0;
  int bitsPerPixel = 0;
  if (XPixmapFormatValues* list = XListPixmapFormats(display, &formats)) {
    for (int i = 0; i < formats; ++i)
      if (list[i].depth == mDepth) bitsPerPixel = list[i].bits_per_pixel;
    XFree(list);
  }
  mDirect = bitsPerPixel == 32 && ImageByteOrder(display) == LSBFirst && mMasks[0] == 0xFF0000 &&
            mMasks[1] == 0xFF00 && mMasks[2] == 0xFF;
}

unsigned long X11Painter::PixelFor(unsigned argb) const {
  const unsigned channels[3] = {(argb >> 8) & 0xFF, (argb >> 16) & 0xFF, argb >> 24};
  unsigned long pixel = 0;
  for (int i = 0; i < 3; ++i) {
    const unsigned long max = mMasks[i] >> mShifts[i];
    pixel |= ((channels[i] * max + 127) / 255) << mShifts[i];
  }
  return pixel;
}

void X11Painter::Put(Drawable window, GC gc, const unsigned* bits, int rowSpan, int frameWidth, int frameHeight,
                     const ViewRect& area) {
  const ViewRect r = area.Intersect({0, 0, frameWidth, frameHeight});
  if (r.Empty() || !bits) return;
  const int w = r.W(), h = r.H();
  const size_t pixels = static_cast<size_t>(w) * h;
  if (mStageSize < pixels) {
    // A stage readied since this painter was made (the first frame of an
    // editor opened at once after create).
    std::lock_guard<std::mutex> lock(gSpareMutex);
    if (gSpareSize >= pixels) {
      mStage = std::move(gSpareStage);
      mStageSize = std::exchange(gSpareSize, 0);
    }
  }
  if (mStageSize < pixels) {
    mStage = std::make_unique_for_overwrite<unsigned[]>(pixels);
    mStageSize = pixels;
  }
  XImage* image = XCreateImage(mDisplay, mVisual, mDepth, ZPixmap, 0, reinterpret_cast<char*>(mStage.get()),
                               w, h, 32, w * 4);
  if (!image) return;
  for (int y = 0; y < h; ++y) {
    const unsigned* src = bits + static_cast<size_t>(r.T + y) * rowSpan + r.L;
    if (mDirect) {
      unsigned* dst = mStage.get() + static_cast<size_t>(y) * w;
      for (int x = 0; x < w; ++x) dst[x] = __builtin_bswap32(src[x]);
    } else {
      for (int x = 0; x < w; ++x) XPutPixel(image, x, y, PixelFor(src[x]));
    }
  }
  XPutImage(mDisplay, window, gc, image, 0, 0, r.L, r.T, w, h);
  image->data = nullptr;  // the stage owns the pixels
  XDestroyImage(image);
}
