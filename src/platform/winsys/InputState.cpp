// Pointer, key and menu state the view class reads from the keyboard, cursor
// and menu services.
#include <cmath>

#include "Internal.h"
#include "model/Application.h"
#include "model/Event.h"
#include "model/Menu.h"

namespace {
bool gRightClickEmulate = true;
}

void SWELL_SetRightClickEmulate(bool on) { gRightClickEmulate = on; }
bool SWELL_GetRightClickEmulate() { return gRightClickEmulate; }

int SWELL_MacKeyToWindowsKey(const void* event, int* flags) {
  auto* e = static_cast<const winsys::Event*>(event);
  if (!e) return 0;
  int f = 0;
  unsigned m = e->modifierFlags;
  if (m & winsys::kShiftKeyMask) f |= 4;
  if (m & winsys::kCommandKeyMask) f |= 8;
  if (m & winsys::kAlternateKeyMask) f |= 16;
  if ((m & winsys::kControlKeyMask) && !gRightClickEmulate) f |= 32;
  int code = e->keyCode;
  if (!e->characters.empty()) {
    unsigned char c = static_cast<unsigned char>(e->characters[0]);
    code = c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
  } else {
    f |= 1;  // a virtual key
  }
  if (flags) *flags = f;
  return code;
}

POINT SWELL_GetCursorPosition() {
  winsys::Pointf p = winsys::App().mouseLocation();
  return {int(std::floor(p.x)), int(std::ceil(p.y))};
}

DWORD GetMessagePos() {
  POINT p = SWELL_GetCursorPosition();
  return DWORD(p.y * 65536 + (p.x & 0xFFFF));
}

void SWELL_SetMenuDestination(HMENU menu, HWND hwnd) {
  if (!menu) return;
  winsys::View* v = swell::asView(hwnd);
  if (hwnd && !(v && v->answersCommand())) return;
  menu->destination = hwnd;
}
