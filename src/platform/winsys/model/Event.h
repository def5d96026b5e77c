// A synthetic input event, as the platform would deliver it to a view.
#pragma once

#include <string>

#include "Geometry.h"

namespace winsys {

class Window;

enum class EventType {
  kLeftMouseDown, kLeftMouseUp, kRightMouseDown, kRightMouseUp, kOtherMouseDown, kOtherMouseUp,
  kMouseMoved, kLeftMouseDragged, kRightMouseDragged, kOtherMouseDragged, kScrollWheel,
  kKeyDown, kKeyUp, kMagnify, kSwipe, kRotate, kAppDefined, kFlagsChanged
};

// Modifier flags with the platform's values.
enum : unsigned {
  kShiftKeyMask = 1u << 17,
  kControlKeyMask = 1u << 18,
  kAlternateKeyMask = 1u << 19,
  kCommandKeyMask = 1u << 20,
};

struct Event {
  EventType type = EventType::kMouseMoved;
  Window* window = nullptr;
  Pointf locationInWindow;
  int clickCount = 1;
  unsigned modifierFlags = 0;
  int keyCode = 0;
  std::string characters;
  // The characters without the effect of modifiers; empty means the same as characters.
  std::string charactersIgnoringModifiers;
  // Pressed mouse buttons: bit 1 left, 2 right, 4 middle.
  unsigned buttonState = 0;
  double deltaX = 0, deltaY = 0, deltaZ = 0, rotation = 0;
  // Set on a mouse-moved event one view hands to another, so it is not handed on again.
  bool handedOver = false;
};

}  // namespace winsys
