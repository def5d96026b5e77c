// Creating controls from dialog-unit rectangles: the creation state, the
// dialog coordinate transform with right-edge tracking, the makers, the
// class table of SWELL_MakeControl and the custom creator registry.
#pragma once

#include <string>

#include "HwndView.h"
#include "Swell.h"

// The multi-line text view of edit fields with scroll bars.
class Swell_vTarnivex_textview : public winsys::TextView {
 public:
  using TextView::TextView;
  bool answersSetTag() const override { return true; }
  int tag() const override { return m_tag; }
  void setTag(int t) override { m_tag = t; }
  bool answersOnSwellMessage() const override { return true; }
  LRESULT onSwellMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void setNeedsDisplay(bool needs) override;
  void setNeedsDisplayInRect(winsys::Rectf r) override;
  int m_tag = 0;
  void* platformFont = nullptr;
};

typedef HWND (*SWELL_ControlCreatorProc)(HWND parent, const char* text, int id, const char* className, int style,
                                         int x, int y, int w, int h);

extern int g_swell_want_nice_style;

void SWELL_MakeSetCurParms(float xscale, float yscale, float xtrans, float ytrans, HWND parent, bool doauto,
                           bool dosizetofit);
HWND SWELL_MakeButton(int def, const char* label, int id, int x, int y, int w, int h, int style);
HWND SWELL_MakeEditField(int id, int x, int y, int w, int h, int style);
HWND SWELL_MakeLabel(int align, const char* label, int id, int x, int y, int w, int h, int style);
HWND SWELL_MakeCheckBox(const char* label, int id, int x, int y, int w, int h, int style);
HWND SWELL_MakeListBox(int id, int x, int y, int w, int h, int style);
HWND SWELL_MakeControl(const char* text, int id, const char* className, int style, int x, int y, int w, int h,
                       int exstyle);
HWND SWELL_MakeGroupBox(const char* name, int id, int x, int y, int w, int h, int style);
HWND SWELL_MakeCombo(int id, int x, int y, int w, int h, int flags);
void SWELL_RegisterCustomControlCreator(SWELL_ControlCreatorProc proc);
void SWELL_UnregisterCustomControlCreator(SWELL_ControlCreatorProc proc);

namespace swell {
// The frame of a dialog-unit rectangle in the parent being built.
winsys::Rectf MakeCoords(int x, int y, int w, int h, bool wantauto, bool unscaledHeight = false);
// After a tracked control took its final frame: the shift for the next control on its row.
void UpdateAutoCoords(winsys::Rectf frame);
// The parent that receives new controls, and the x scale the font rule reads.
winsys::View* makeOwner();
bool autoRightOn();
// The shown text: every '&' dropped and the character after it kept.
std::string stripMnemonic(const char* text);
}  // namespace swell
