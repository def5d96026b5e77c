// A per-view OpenGL context as bookkeeping only: which drawing context it is
// attached to, whether it is current, and how often it was updated.
#pragma once

#include "../SwellTypes.h"

namespace winsys {

struct GLContext {
  HDC attachedTo = nullptr;
  bool current = false;
  int updates = 0;
  // The pixel format allowed offline renderers.
  bool allowsOfflineRenderers = false;
};

}  // namespace winsys
