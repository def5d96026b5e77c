#include "ControlLayer.h"

#include "IGraphics.h"

bool MergeDirtyControl(IControl* control, IRECT* r, PassBudget* budget) {
  const int place = budget ? budget->seen++ : 0;
  if (control->IsHidden() && !control->GetDirtyWhenHidden()) return false;
  if (!control->IsDirty()) return false;
  if (budget && (place < budget->from || place >= budget->to)) return false;
  const IRECT merged = r->Union(*control->GetRECT());
  if (budget && budget->maxArea > 0 && !r->Empty() &&
      static_cast<long long>(merged.W()) * merged.H() > budget->maxArea) {
    if (budget->stoppedAt < 0) budget->stoppedAt = place;
    return false;
  }
  *r = merged;
  return true;
}

bool PassCovers(const IRECT& c, const IRECT& r, const IRECT& window) {
  const IRECT shown = c.Intersect(window);
  return shown.Empty() || (shown.L >= r.L && shown.T >= r.T && shown.R <= r.R && shown.B <= r.B);
}

bool ControlMeetsDrawRect(const IRECT& c, const IRECT& r) {
  return !r.Empty() && !c.Empty() && c.L <= r.R && r.L < c.R && c.T <= r.B && r.T < c.B;
}

ControlLayer::~ControlLayer() {
  while (!mControls.empty()) mControls.pop_back();
  while (!mLayers.empty()) mLayers.pop_back();
}

IControl* ControlLayer::AttachControl(std::unique_ptr<IControl> control) {
  mControls.push_back(std::move(control));
  if (mGraphics) mGraphics->ControlAttachedToLayer(mControls.back().get());
  return mControls.back().get();
}

ControlLayer* ControlLayer::AttachLayer(std::unique_ptr<ControlLayer> layer) {
  mLayers.push_back(std::move(layer));
  ControlLayer* attached = mLayers.back().get();
  if (mGraphics && attached) {
    attached->SetGraphics(mGraphics);
    mGraphics->LayerAttachedToLayer(*attached);
  }
  return attached;
}

void ControlLayer::SetGraphics(IGraphics* graphics) {
  mGraphics = graphics;
  for (auto& layer : mLayers) layer->SetGraphics(graphics);
}

IRECT ControlLayer::ShownArea() const {
  IRECT area;
  if (!mVisible) return area;
  for (const auto& control : mControls)
    if (!control->IsHidden()) area = area.Union(*control->GetRECT());
  for (const auto& layer : mLayers) area = area.Union(layer->ShownArea());
  return area;
}

void ControlLayer::Hide(bool hide) {
  if (hide && mVisible) {
    const IRECT shown = ShownArea();
    std::lock_guard<std::mutex> lock(mVacatedMutex);
    mVacated = mVacated.Union(shown);
  }
  mVisible = !hide;
  setControlsDirty();
  for (auto& control : mControls) control->Hide(hide);
  for (auto& layer : mLayers)
    if (hide) layer->Hide(true);
    else if (layer->GetID() == selectedNumber) layer->Hide(false);
}

void ControlLayer::GrayOut(bool gray) {
  for (auto& control : mControls) control->GrayOut(gray);
  for (auto& layer : mLayers)
    if (gray) layer->GrayOut(true);
    else if (layer->GetID() == selectedNumber) layer->GrayOut(false);
}

void ControlLayer::GrayOutCustomZone(bool gray, int id) {
  selectedNumber = id;
  if (id < 10 || id > 152) return;
  for (auto& layer : mLayers)
    if (layer->GetID() == id) layer->GrayOut(gray);
}

void ControlLayer::GrayOutUserArp(bool, int selected, int limit) {
  selectedNumber = selected;
  if (selected < 120 || selected > 152) return;
  for (auto& layer : mLayers)
    if (layer->GetID() > limit && layer->GetID() <= 152) layer->GrayOut(true);
}

void ControlLayer::setControlsDirty() {
  for (auto& control : mControls) control->SetDirty(false);
  for (auto& layer : mLayers) layer->setControlsDirty();
}

void ControlLayer::setIgnoreHiddenWhenUpdatingScreen(bool ignore) {
  mIgnoreHidden = ignore;
  if (!mControls.empty()) mControls.front()->SetDirtyWhenHidden(ignore);
  for (auto& layer : mLayers) layer->setIgnoreHiddenWhenUpdatingScreen(ignore);
}

bool ControlLayer::isDirty(IRECT* r, PassBudget* budget) {
  bool dirty = false;
  {
    std::lock_guard<std::mutex> lock(mVacatedMutex);
    if (!mVacated.Empty()) {
      *r = r->Union(mVacated);
      dirty = true;
    }
  }
  if (!mVisible && !mIgnoreHidden) return dirty;
  for (auto& control : mControls) dirty |= MergeDirtyControl(control.get(), r, budget);
  for (auto& layer : mLayers) dirty |= layer->isDirty(r, budget);
  return dirty;
}

void ControlLayer::Draw(IGraphics* graphics, IRECT* r) { Draw(graphics, r, true); }

void ControlLayer::Draw(IGraphics* graphics, IRECT* r, bool shown) {
  shown = shown && mVisible;
  {
    // Kept until a pass covers it: a layer hidden between the dirty question
    // and the pass is painted over by the next one.
    std::lock_guard<std::mutex> lock(mVacatedMutex);
    if (!mVacated.Empty() && mVacated.L >= r->L && mVacated.T >= r->T && mVacated.R <= r->R && mVacated.B <= r->B)
      mVacated.Clear();
  }
  for (auto& control : mControls) {
    const bool drawn = shown && !control->IsHidden() && ControlMeetsDrawRect(*control->GetRECT(), *r) &&
                       !graphics->IsCoveredInPass(control.get());
    if (drawn) {
      graphics->TakeStaleValues(control.get());
      control->Draw(graphics);
      graphics->AfterPass(control.get(), *r);
    } else if (!graphics || PassCovers(*control->GetRECT(), *r, IRECT(0, 0, graphics->Width(), graphics->Height()))) {
      control->SetClean();
    }
  }
  for (auto& layer : mLayers) layer->Draw(graphics, r, shown);
}

void ControlLayer::ForEachDrawn(const IRECT& r, const std::function<void(IControl*)>& f) const {
  if (!mVisible) return;
  for (auto& control : mControls)
    if (!control->IsHidden() && ControlMeetsDrawRect(*control->GetRECT(), r)) f(control.get());
  for (auto& layer : mLayers) layer->ForEachDrawn(r, f);
}

IControl* ControlLayer::isHit(int x, int y) {
  if (!mVisible) return nullptr;
  for (auto it = mLayers.rbegin(); it != mLayers.rend(); ++it)
    if (IControl* hit = (*it)->isHit(x, y)) return hit;
  for (auto it = mControls.rbegin(); it != mControls.rend(); ++it)
    if (!(*it)->IsHidden() && (*it)->IsHit(x, y)) return it->get();
  return nullptr;
}

IControl* ControlLayer::getControlFromParam(int paramIdx) {
  if (!mVisible) return nullptr;
  for (auto it = mLayers.rbegin(); it != mLayers.rend(); ++it)
    if (IControl* found = (*it)->getControlFromParam(paramIdx)) return found;
  for (auto it = mControls.rbegin(); it != mControls.rend(); ++it)
    if ((*it)->ParamIdx() == paramIdx) return it->get();
  return nullptr;
}

void ControlLayer::SetParameterFromPlug(int paramIdx, double value, bool normalized) {
  for (auto& control : mControls) {
    if (control->ParamIdx() == paramIdx) control->SetValueFromPlug(value);
    const int aux = control->AuxParamIdx(paramIdx);
    if (aux >= 0) control->SetAuxParamValueFromPlug(aux, value);
  }
  for (auto& layer : mLayers) layer->SetParameterFromPlug(paramIdx, value, normalized);
}
