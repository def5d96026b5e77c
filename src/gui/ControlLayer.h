// One node of the control-layer tree: its controls, its sub-layers and the
// selected sub-layer id, the one that showing or un-greying the layer brings
// back. A layer owns what is attached to it and is created not visible.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "IControl.h"

class IGraphics;
struct PassBudget;

class ControlLayer {
 public:
  ControlLayer(int id, std::string name) : mId(id), mName(std::move(name)) {}
  ControlLayer(const ControlLayer&) = delete;
  ControlLayer& operator=(const ControlLayer&) = delete;
  // Controls go last to first, then the sub-layers last to first.
  ~ControlLayer();

  int GetID() const { return mId; }
  const std::string& GetName() const { return mName; }
  bool IsVisible() const { return mVisible; }
  bool IsHidden() const { return !mVisible; }
  bool GetIgnoreHiddenWhenUpdatingScreen() const { return mIgnoreHidden; }
  int selectedNumber = 0;

  void Hide(bool hide);
  void GrayOut(bool gray);
  // Greys the sub-layers numbered id (10..152) and selects id.
  void GrayOutCustomZone(bool gray, int id);
  void GrayOutUserArp(bool gray, int selected, int limit);
  void setControlsDirty();
  // Lets the layer report the area of its first control while hidden.
  void setIgnoreHiddenWhenUpdatingScreen(bool ignore);

  // Also reports, once, the area a layer covered before it was hidden, so the
  // next pass paints over what it left on screen.
  bool isDirty(IRECT* r, PassBudget* budget = nullptr);
  // Sub-layers of a hidden layer draw nothing, as they take no clicks.
  void Draw(IGraphics* graphics, IRECT* r);
  // Calls f with every control Draw over r would draw, in drawing order.
  void ForEachDrawn(const IRECT& r, const std::function<void(IControl*)>& f) const;
  IControl* isHit(int x, int y);
  IControl* getControlFromParam(int paramIdx);
  void SetParameterFromPlug(int paramIdx, double normalizedValue, bool normalized);

  IControl* AttachControl(std::unique_ptr<IControl> control);
  IControl* AttachControl(IControl* control) { return AttachControl(std::unique_ptr<IControl>(control)); }
  // Selects sub-page n among the sub-layers of n's band of ids.
  void showMultiLayers(int n);
  ControlLayer* AttachLayer(std::unique_ptr<ControlLayer> layer);
  ControlLayer* AttachLayer(ControlLayer* layer) { return AttachLayer(std::unique_ptr<ControlLayer>(layer)); }
  const std::vector<std::unique_ptr<ControlLayer>>& subLayers() const { return mLayers; }
  const std::vector<std::unique_ptr<IControl>>& controls() const { return mControls; }
  // The graphics context the tree hangs under, told to this layer and every
  // sub-layer; what is attached from then on is reported to it.
  void SetGraphics(IGraphics* graphics);

 private:
  void Draw(IGraphics* graphics, IRECT* r, bool shown);
  // What the layer shows now: its shown controls and shown sub-layers.
  IRECT ShownArea() const;

  int mId;
  // Workers show and hide the progress layers while the window reads them.
  std::atomic<bool> mVisible{false};
  std::vector<std::unique_ptr<IControl>> mControls;
  std::vector<std::unique_ptr<ControlLayer>> mLayers;
  std::string mName;
  bool mIgnoreHidden = false;
  IGraphics* mGraphics = nullptr;  // not owned
  // Left by hiding until a drawing pass repaints it; parameter handlers hide
  // layers off the GUI thread.
  std::mutex mVacatedMutex;
  IRECT mVacated;
};

// The dirty-union rule shared by the graphics context and the layers: a
// hidden control counts only with its dirty-when-hidden flag.
// What a bounded pass takes: the area it may span, and the controls (by
// their place in the order they are asked in) it may take from. A control
// that would grow a non-empty area past maxArea is left for a later pass (it
// stays dirty), and the first one left is where the next pass starts, so
// that controls changed again and again early in the order starve none.
struct PassBudget {
  long long maxArea = 0;
  int from = 0, to = 0;
  int seen = 0;
  int stoppedAt = -1;
};
bool MergeDirtyControl(IControl* control, IRECT* r, PassBudget* budget = nullptr);
// Whether a control's rectangle meets the area being drawn.
bool ControlMeetsDrawRect(const IRECT& c, const IRECT& r);
// Whether a pass over r leaves the control clean: all of it that lies in the
// window was drawn. One drawn only in part, or not at all (an exposed area
// repainted while it changed), stays dirty for the next pass.
bool PassCovers(const IRECT& c, const IRECT& r, const IRECT& window);
