// Memory for the pixels a painter sends to the X server: a System V shared
// segment, which a local server reads in place, or plain memory where there
// is none. The segment is marked for removal at once, so it goes with the
// last process that has it attached, however that process ends.
#pragma once

#include <cstddef>
#include <memory>

class X11Stage {
 public:
  // At least pixels; with touch, the kernel gives every page now.
  static std::unique_ptr<X11Stage> Make(size_t pixels, bool touch);
  ~X11Stage();
  X11Stage(const X11Stage&) = delete;
  X11Stage& operator=(const X11Stage&) = delete;

  unsigned* Pixels() const { return mPixels; }
  size_t Size() const { return mSize; }
  // The segment's id; -1 for plain memory.
  int SharedId() const { return mSharedId; }

 private:
  X11Stage() = default;

  unsigned* mPixels = nullptr;
  size_t mSize = 0;
  int mSharedId = -1;
  std::unique_ptr<unsigned[]> mPlain;
};
