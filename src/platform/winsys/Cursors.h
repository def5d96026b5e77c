// Cursor resources and the cursor services' helpers.
#pragma once

#include <memory>

#include "Swell.h"
#include "model/Event.h"
#include "model/Image.h"

struct SWELL_CursorResourceIndex {
  int id;
  const char* resname;
  POINT hotspot;
  HCURSOR cachedCursor;
  SWELL_CursorResourceIndex* next;
};
extern SWELL_CursorResourceIndex* SWELL_curmodule_cursorresource_head;

// The picture of a cursor resource name, cursor file or image file; fills the hot spot from a cursor file.
std::shared_ptr<winsys::Image> swell_imageFromCursorString(const char* name, POINT* hotspot);
// The position a mouse message carries in the view (the virtual position while in relative mode).
POINT swellProcessMouseEvent(UINT msg, HWND view, const winsys::Event& e);
