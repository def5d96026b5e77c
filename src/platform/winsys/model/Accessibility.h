// An accessibility element that a program makes for a view drawing parts of
// its own, handed to the platform through WM_GETOBJECT. The platform asks it
// before it answers for the view; a null answer leaves the question to the view.
#pragma once

#include "../SwellTypes.h"
#include "Geometry.h"

namespace winsys {

class AccessibilityElement : public HWND__ {
 public:
  virtual HWND__* accessibilityHitTest(Pointf /*screenPoint*/) { return nullptr; }
  virtual HWND__* accessibilityFocusedUIElement() { return nullptr; }
};

}  // namespace winsys
