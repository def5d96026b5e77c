#include "X11Painter.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <mutex>
#include <utility>

#include "XErrorTrap.h"

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
std::unique_ptr<X11Stage> gSpare;
bool gSpareMaking = false;  // one thread makes it; instances made together do not each
unsigned gSpareReleases = 0;  // a release while one is made drops what it made

std::unique_ptr<X11Stage> TakeSpare(size_t pixels) {
  std::lock_guard<std::mutex> lock(gSpareMutex);
  return gSpare && gSpare->Size() >= pixels ? std::move(gSpare) : nullptr;
}
}  // namespace

X11Painter::~X11Painter() {
  Detach();
  std::lock_guard<std::mutex> lock(gSpareMutex);
  if (mStage && (!gSpare || mStage->Size() > gSpare->Size())) gSpare = std::move(mStage);
}

void X11Painter::ReleaseSpare() {
  std::lock_guard<std::mutex> lock(gSpareMutex);
  ++gSpareReleases;
  gSpare.reset();
}

void X11Painter::PrepareSpare(int width, int height) {
  unsigned since = 0;
  const size_t pixels = static_cast<size_t>(std::max(width, 0)) * static_cast<size_t>(std::max(height, 0));
  {
    std::lock_guard<std::mutex> lock(gSpareMutex);
    if ((gSpare && gSpare->Size() >= pixels) || gSpareMaking) return;
    gSpareMaking = true;
    since = gSpareReleases;
  }
  std::unique_ptr<X11Stage> stage = X11Stage::Make(pixels, true);  // the pages given now, on this thread
  std::lock_guard<std::mutex> lock(gSpareMutex);
  gSpareMaking = false;
  // Released meanwhile (the last instance closed): not kept.
  if (gSpareReleases == since && (!gSpare || gSpare->Size() < pixels)) gSpare = std::move(stage);
}

X11Painter::X11Painter(Display* display, int screen)
    : mDisplay(display), mVisual(DefaultVisual(display, screen)), mDepth(DefaultDepth(display, screen)) {
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

void X11Painter::ReadyStage(size_t pixels) {
  // The server reads a sent frame when it gets to it: not a pixel is written
  // before it has. Its notice has usually come long before the next frame;
  // only when it has not (or a menu's loop took it) is it waited for.
  for (XEvent event; mSentUnread > 0 && XCheckTypedEvent(mDisplay, mCompletionType, &event);) TakeCompletion(event);
  if (mSentUnread > 0) {
    XSync(mDisplay, False);
    mSentUnread = 0;
  }
  if (mStage && mStage->Size() >= pixels) return;
  Detach();
  // A stage readied since this painter was made (the first frame of an
  // editor opened at once after create), or a new one.
  mStage = TakeSpare(pixels);
  if (!mStage) mStage = X11Stage::Make(pixels, false);
}

bool X11Painter::Attached() {
  if (mAttached) return true;
  if (mSharedRefused || !mStage || mStage->SharedId() < 0 || !mDirect) return false;
  // A server elsewhere on the network, or one without the extension, cannot
  // read this process's memory: the socket it is.
  mSharedRefused = true;
  if (!XShmQueryExtension(mDisplay)) return false;
  mSegment.shmid = mStage->SharedId();
  mSegment.shmaddr = reinterpret_cast<char*>(mStage->Pixels());
  mSegment.readOnly = True;
  XErrorTrap trap(mDisplay);
  if (!XShmAttach(mDisplay, &mSegment) || !trap.Sync()) return false;
  mCompletionType = XShmGetEventBase(mDisplay) + ShmCompletion;
  mSharedRefused = false;
  mAttached = true;
  return true;
}

void X11Painter::Detach() {
  if (!mAttached) return;
  XErrorTrap trap(mDisplay);
  XShmDetach(mDisplay, &mSegment);
  trap.Sync();
  mAttached = false;
  mSentUnread = 0;
}

bool X11Painter::TakeCompletion(const XEvent& event) {
  if (mCompletionType < 0 || event.type != mCompletionType) return false;
  if (mSentUnread > 0) --mSentUnread;
  return true;
}

void X11Painter::Put(Drawable window, GC gc, const unsigned* bits, int rowSpan, int frameWidth, int frameHeight,
                     const ViewRect& area) {
  const ViewRect r = area.Intersect({0, 0, frameWidth, frameHeight});
  if (r.Empty() || !bits) return;
  const int w = r.W(), h = r.H();
  ReadyStage(static_cast<size_t>(frameWidth) * frameHeight);
  unsigned* stage = mStage->Pixels();
  const bool shared = Attached();
  XImage* image = shared ? XShmCreateImage(mDisplay, mVisual, mDepth, ZPixmap, reinterpret_cast<char*>(stage),
                                           &mSegment, frameWidth, frameHeight)
                         : XCreateImage(mDisplay, mVisual, mDepth, ZPixmap, 0, reinterpret_cast<char*>(stage),
                                        frameWidth, frameHeight, 32, frameWidth * 4);
  if (!image) return;
  for (int y = r.T; y < r.B; ++y) {
    const unsigned* src = bits + static_cast<size_t>(y) * rowSpan;
    if (mDirect) {
      unsigned* dst = stage + static_cast<size_t>(y) * frameWidth;
      for (int x = r.L; x < r.R; ++x) dst[x] = __builtin_bswap32(src[x]);
    } else {
      for (int x = r.L; x < r.R; ++x) XPutPixel(image, x, y, PixelFor(src[x]));
    }
  }
  if (shared) {
    XShmPutImage(mDisplay, window, gc, image, r.L, r.T, r.L, r.T, static_cast<unsigned>(w), static_cast<unsigned>(h),
                 True);
    ++mSentUnread;
  } else {
    XPutImage(mDisplay, window, gc, image, r.L, r.T, r.L, r.T, static_cast<unsigned>(w), static_cast<unsigned>(h));
  }
  image->data = nullptr;  // the stage owns the pixels
  XDestroyImage(image);
}
