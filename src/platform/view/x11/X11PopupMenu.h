// A popup menu the editor draws itself: one override-redirect window for
// each open level, run modally with the pointer and keyboard grabbed until
// an item is chosen or the menu is dismissed.
#pragma once

#include <X11/Xlib.h>

#include "ViewRecords.h"

class X11Painter;
class ViewText;

// Opens the menu under r (editor coordinates of the editor window); true
// with the chosen level and index when an item was chosen.
bool RunPopupMenu(Display* display, Window editor, X11Painter& painter, const ViewText& text, const ViewMenu& menu,
                  const ViewRect& r, ViewMenuChoice* choice);
