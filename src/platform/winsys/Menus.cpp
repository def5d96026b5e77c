#include "Internal.h"
#include "model/Menu.h"

void SWELL_SetMenuDestination(HMENU menu, HWND hwnd) {
  if (!menu) return;
  winsys::View* v = swell::asView(hwnd);
  if (hwnd && !(v && v->answersCommand())) return;
  menu->destination = hwnd;
}
