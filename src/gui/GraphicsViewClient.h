// The graphics context as the editor view sees it: the view asks it for
// dirty areas and frames and hands it the user's input.
#pragma once

#include "ViewRecords.h"

class IGraphicsLinux;

class GraphicsViewClient : public EditorViewClient {
 public:
  explicit GraphicsViewClient(IGraphicsLinux& graphics) : mGraphics(graphics) {}

  bool IsDirty(ViewRect* r) override;
  void Draw(const ViewRect& r) override;
  const unsigned* FrameBits(int* rowSpan) override;
  void OnMouseDown(int x, int y, const ViewMouseMod& mod) override;
  void OnMouseUp(int x, int y, const ViewMouseMod& mod) override;
  void OnMouseDrag(int x, int y, const ViewMouseMod& mod) override;
  bool OnMouseDblClick(int x, int y, const ViewMouseMod& mod) override;
  void OnMouseWheel(int x, int y, const ViewMouseMod& mod, int delta) override;
  bool OnMouseOver(int x, int y, const ViewMouseMod& mod) override;
  bool OnKeyDown(int x, int y, int key) override;
  void OnTextEntryEnd(const std::string* text) override;

  // Where the mouse last was, for keys that come through the host.
  int PrevX() const { return mPrevX; }
  int PrevY() const { return mPrevY; }

 private:
  void Track(int x, int y) {
    mPrevX = x;
    mPrevY = y;
  }

  IGraphicsLinux& mGraphics;
  int mPrevX = -1, mPrevY = -1;
};
