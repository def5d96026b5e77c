// Puts parts of a 32-bit frame (bytes A, R, G, B in memory) into an X
// window, in whatever pixel layout the screen's visual has.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <cstddef>
#include <memory>

#include "ViewRecords.h"
#include "X11Stage.h"

class X11Painter {
 public:
  X11Painter(Display* display, int screen);
  ~X11Painter();
  // Leaves a stage for a frame of that size, its pages touched, for the next painter.
  static void PrepareSpare(int width, int height);
  static void ReleaseSpare();
  X11Painter(const X11Painter&) = delete;
  X11Painter& operator=(const X11Painter&) = delete;

  // Copies r of the frame to the same place in the window; r is clipped to
  // frameWidth x frameHeight.
  void Put(Drawable window, GC gc, const unsigned* bits, int rowSpan, int frameWidth, int frameHeight,
           const ViewRect& r);
  // The server lets go of the stage; called before the connection closes.
  void Detach();
  // True for the server's notice that it has read a frame sent from the
  // stage; the view hands every event here first.
  bool TakeCompletion(const XEvent& event);

 private:
  unsigned long PixelFor(unsigned argbBytes) const;
  // A stage for a whole frame of that many pixels, free to be written.
  void ReadyStage(size_t pixels);
  // Whether the server reads the stage in place from now on.
  bool Attached();

  Display* mDisplay;
  Visual* mVisual;
  int mDepth;
  bool mDirect = false;  // 32-bit pixels with 8-bit channels where a byte swap puts them
  unsigned long mMasks[3];
  int mShifts[3];
  // Laid out as the frame is. Every pixel of it is written before it is
  // sent, so it is never cleared; a closed view leaves it to the next one,
  // whose first frame then finds its pages in place instead of having the
  // kernel zero fresh ones.
  std::unique_ptr<X11Stage> mStage;
  // The stage as the server knows it, when it is a segment the server could
  // attach: sent frames are read from it in place, not through the socket.
  XShmSegmentInfo mSegment{};
  bool mAttached = false;
  bool mSharedRefused = false;
  // Frames sent from the segment whose reading the server has not yet
  // confirmed, and the event type of that confirmation.
  int mSentUnread = 0;
  int mCompletionType = -1;
};
