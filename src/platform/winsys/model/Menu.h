// A menu of the window model: reference counted, with the window that
// receives its commands. Items belong to the menu services built over it.
#pragma once

#include <atomic>

#include "../SwellTypes.h"

struct HMENU__ {
  HMENU__() = default;
  HMENU__(const HMENU__&) = delete;
  HMENU__& operator=(const HMENU__&) = delete;
  virtual ~HMENU__() = default;

  void retain() { mRefs.fetch_add(1, std::memory_order_relaxed); }
  void release() {
    if (mRefs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
  }
  int retainCount() const { return mRefs.load(); }

  HWND destination = nullptr;

 private:
  std::atomic<int> mRefs{1};
};
