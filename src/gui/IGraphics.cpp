#include "IGraphics.h"

#include <pthread.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <list>
#include <memory>
#include <mutex>
#include <utility>

#include "Bitmap.h"
#include "IControls.h"
#include "IParam.h"
#include "IPlugBase.h"
#include "IPopupMenu.h"
#include "KeepLoaded.h"
#include "SwellGdi.h"

IGraphics::IGraphics(IPlugBase* plug, int width, int height, int fps)
    : mPlug(plug), mWidth(width), mHeight(height), mFPS(fps > 0 ? fps : 25) {
  if (plug) mParamControls.reserve(plug->NParams());
}

IGraphics::~IGraphics() {
  StopPredecoding();
  mParamControls.clear();
  ReleaseMouseCapture();
  mMouseOver = nullptr;
  mKeyCatcher.reset();
  while (!mControls.empty()) mControls.pop_back();
  while (!mLayers.empty()) mLayers.pop_back();
}

namespace {
// A frame bitmap whose pages a decoding thread already had the kernel give,
// so that the first frame does not fault them in on the host's thread.
// Made after the drawing contexts' own state, so freed before it at exit.
struct SpareDraw {
  SpareDraw() { SWELL_GdiInit(); }
  std::mutex mutex;
  std::unique_ptr<LICE_SysBitmap> bitmap;
  bool making = false;  // one thread makes it; instances made together do not each
  unsigned releases = 0;  // a release while one is made drops what it made

  bool fits(int width, int height) const {
    return bitmap && bitmap->getWidth() == width && bitmap->getHeight() == height;
  }
};
SpareDraw& TheSpareDraw() {
  static SpareDraw spare;
  return spare;
}

std::unique_ptr<LICE_SysBitmap> TakeSpareDrawBitmap(int width, int height) {
  SpareDraw& spare = TheSpareDraw();
  std::lock_guard<std::mutex> lock(spare.mutex);
  return spare.fits(width, height) ? std::move(spare.bitmap) : nullptr;
}
}  // namespace

void IGraphics::ReleasePreparedFrame() {
  SpareDraw& spare = TheSpareDraw();
  std::lock_guard<std::mutex> lock(spare.mutex);
  ++spare.releases;
  spare.bitmap.reset();
}

void IGraphics::PrepareFirstFrame() { PrepareSpareFrame(mWidth, mHeight); }

void IGraphics::PrepareSpareFrame(int width, int height) {
  SpareDraw& spare = TheSpareDraw();
  unsigned since = 0;
  {
    std::lock_guard<std::mutex> lock(spare.mutex);
    if (spare.fits(width, height) || spare.making) return;
    spare.making = true;
    since = spare.releases;
  }
  auto made = std::make_unique<LICE_SysBitmap>(width, height);
  if (LICE_pixel* bits = made->getBits())
    std::fill_n(bits, size_t(made->getRowSpan()) * size_t(std::max(height, 0)), LICE_pixel(0));
  std::lock_guard<std::mutex> lock(spare.mutex);
  if (spare.releases == since) spare.bitmap = std::move(made);
  spare.making = false;
}

void IGraphics::PrepDraw() {
  mDrawBitmap = std::make_unique<LICE_SysBitmap>(mWidth, mHeight);
  mTmpBitmap = std::make_unique<LICE_MemBitmap>(0, 0, 4);
}

unsigned* IGraphics::GetBits() { return mDrawBitmap ? mDrawBitmap->getBits() : nullptr; }

void IGraphics::Resize(int width, int height) {
  mWidth = width;
  mHeight = height;
  ReleaseMouseCapture();
  mMouseOver = nullptr;
  while (!mControls.empty()) mControls.pop_back();
  ReindexParamControls();
  mDrawBitmap.reset();
  mTmpBitmap.reset();
  PrepDraw();
  if (mPlug) mPlug->ResizeGraphics(width, height);
}

int IGraphics::AttachControl(IControl* control) {
  mControls.emplace_back(control);
  mParamControls.addListControl(control);
  return NControls() - 1;
}

int IGraphics::AttachLayer(ControlLayer* layer) {
  mLayers.emplace_back(layer);
  if (layer) {
    layer->SetGraphics(this);
    mParamControls.addTree(*layer);
  }
  return NLayers() - 1;
}

void IGraphics::ReindexParamControls() {
  mParamControls.clear();
  for (auto& control : mControls) mParamControls.addListControl(control.get());
  for (auto& layer : mLayers) mParamControls.addTree(*layer);
}

void IGraphics::AttachPanelBackground(const IColor* color) {
  IRECT r(0, 0, mWidth, mHeight);
  mControls.insert(mControls.begin(), std::make_unique<IPanelControl>(mPlug, &r, color));
  ReindexParamControls();
}

void IGraphics::HideControl(int paramIdx, bool hide) {
  for (auto& control : mControls)
    if (control->ParamIdx() == paramIdx) control->Hide(hide);
}

void IGraphics::GrayOutControl(int paramIdx, bool gray) {
  for (auto& control : mControls)
    if (control->ParamIdx() == paramIdx) control->GrayOut(gray);
}

void IGraphics::ClampControl(int paramIdx, double lo, double hi, bool normalized) {
  if (!normalized) {
    IParam* param = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
    if (!param) return;
    lo = param->GetNormalized(lo);
    hi = param->GetNormalized(hi);
  }
  for (auto& control : mControls)
    if (control->ParamIdx() == paramIdx) control->Clamp(lo, hi);
}

void IGraphics::SetParameterFromPlug(int paramIdx, double value, bool normalized) {
  if (!normalized) {
    IParam* param = mPlug ? mPlug->GetParam(paramIdx) : nullptr;
    if (!param) return;
    value = param->GetNormalized(value);
    param->SetNormalized(value);
  }
  if (paramIdx < 0) {
    // Unbound controls carry -1; only a walk finds them all.
    for (auto& control : mControls) {
      if (control->ParamIdx() == paramIdx) control->SetValueFromPlug(value);
      const int aux = control->AuxParamIdx(paramIdx);
      if (aux >= 0) control->SetAuxParamValueFromPlug(aux, value);
    }
    for (auto& layer : mLayers) layer->SetParameterFromPlug(paramIdx, value, true);
    return;
  }
  mParamControls.forEach(paramIdx, [value](const ParamControlIndex::Binding& b) {
    if (b.auxIndex < 0) b.control->SetValueFromPlug(value);
    else b.control->SetAuxParamValueFromPlug(b.auxIndex, value);
  });
}

void IGraphics::RefreshParamControls() {
  if (!mPlug) return;
  for (int i = 0; i < mPlug->NParams(); ++i) {
    IParam* param = mPlug->GetParam(i);
    param->SetNormalized(param->GetNormalized());
  }
  // Only what the open page shows is told now: a restore with the editor open
  // costs the shown controls, not every one.
  for (size_t i = 0; i < mControls.size(); ++i) {
    IControl* control = mControls[i].get();
    if (i == 0 || !control->IsHidden()) RefreshFromPlug(control);
    else control->SetValueStale(true);
  }
  for (auto& layer : mLayers) RefreshTree(*layer, true);
}

void IGraphics::RefreshTree(const ControlLayer& layer, bool shown) {
  shown = shown && layer.IsVisible();
  for (const auto& control : layer.controls()) {
    if (control->ParamIdx() < 0 && control->NAuxParams() == 0) continue;
    if (shown && !control->IsHidden()) RefreshFromPlug(control.get());
    else control->SetValueStale(true);
  }
  for (const auto& sub : layer.subLayers()) RefreshTree(*sub, shown);
}

void IGraphics::RefreshFromPlug(IControl* control) {
  control->SetValueStale(false);
  if (IParam* param = control->GetParam()) control->SetValueFromPlug(param->GetNormalized());
  for (int a = 0; a < control->NAuxParams(); ++a)
    if (IParam* aux = mPlug ? mPlug->GetParam(control->GetAuxParam(a)->mParamIdx) : nullptr)
      control->SetAuxParamValueFromPlug(a, aux->GetNormalized());
}

void IGraphics::SetControlFromPlug(int controlIdx, double normalizedValue) {
  if (IControl* control = GetControl(controlIdx)) control->SetValueFromPlug(normalizedValue);
}

void IGraphics::SetAllControlsDirty() {
  for (auto& control : mControls) control->SetDirty(false);
}

void IGraphics::SetParameterFromGUI(int paramIdx, double normalizedValue) {
  for (auto& control : mControls)
    if (control->ParamIdx() == paramIdx) control->SetValueFromUserInput(normalizedValue);
}

void IGraphics::SetStrictDrawing(bool strict) {
  mStrict = strict;
  SetAllControlsDirty();
}

bool IGraphics::IsDirty(IRECT* r) {
  const auto sweep = [&](PassBudget* budget) {
    bool dirty = false;
    if (mControls.size() >= 2)
      for (size_t i = 1; i < mControls.size(); ++i) dirty |= MergeDirtyControl(mControls[i].get(), r, budget);
    for (auto& layer : mLayers) dirty |= layer->isDirty(r, budget);
    return dirty;
  };
  if (mPassArea <= 0) return sweep(nullptr);
  // From where the last pass stopped to the end, then from the start.
  PassBudget later{mPassArea, mPassCursor, std::numeric_limits<int>::max()};
  bool dirty = sweep(&later);
  PassBudget earlier{mPassArea, 0, mPassCursor};
  if (mPassCursor > 0) dirty |= sweep(&earlier);
  mPassCursor = later.stoppedAt >= 0 ? later.stoppedAt : std::max(earlier.stoppedAt, 0);
  if (dirty) WholeControlsIn(r);
  return dirty;
}

void IGraphics::WholeControlsIn(IRECT* r) {
  // A bounded pass takes whole controls: one it cut would have its text
  // (drawn past its box) put over pixels the pass does not draw again.
  // Backgrounds it lies in, controls larger than a pass and what would grow
  // it past kPassGrowth passes stay cut.
  const IRECT window(0, 0, mWidth, mHeight);
  for (int round = 0; round < 4; ++round) {
    IRECT grown = *r;
    ForEachDrawn(*r, [&](IControl* control) {
      const IRECT c = control->GetRECT()->Intersect(window);
      if (c.Intersect(*r).Empty()) return;  // touching is not cutting
      const bool holdsArea = c.L <= r->L && c.T <= r->T && c.R >= r->R && c.B >= r->B;
      const IRECT with = grown.Union(c);
      if (!holdsArea && static_cast<long long>(c.W()) * c.H() <= mPassArea &&
          static_cast<long long>(with.W()) * with.H() <= kPassGrowth * mPassArea)
        grown = with;
    });
    if (grown == *r) return;
    *r = grown;
  }
}

bool IGraphics::Draw(IRECT* r) {
  if (mControls.empty() && mLayers.empty()) return true;
  if (!mDrawBitmap) PrepDraw();
  if (!mFrameDrawn) {
    // The frame made at attach has no pages yet; one readied ahead has them
    // all. An instance whose editor never opens holds no frame's pages.
    if (auto spare = TakeSpareDrawBitmap(mWidth, mHeight)) mDrawBitmap = std::move(spare);
    mFrameDrawn = true;
  }
  if (mStrict) DrawStrict(*r);
  else DrawDirtyControls();
  for (auto& layer : mLayers) layer->Draw(this, &mDrawRECT);
  mCoveredInPass.clear();  // a layer drawn outside a pass leaves nothing out
  // The pass is done whether or not a view took the frame.
  DrawScreen(&mDrawRECT);
  return true;
}

void IGraphics::DrawStrict(const IRECT& r) {
  mDrawRECT = r;
  // What a later control paints over entirely is not drawn: the result is
  // the same, and a page's background hidden under another page's is never
  // decoded. The layers' pass below asks too.
  mCoveredInPass = CoveredControls(r);
  if (!mControls.empty() && !IsCoveredInPass(mControls[0].get())) mControls[0]->Draw(this);
  for (size_t i = 1; i < mControls.size(); ++i) {
    IControl* control = mControls[i].get();
    if (!control->IsHidden() && ControlMeetsDrawRect(*control->GetRECT(), r) && !IsCoveredInPass(control)) {
      TakeStaleValues(control);
      control->Draw(this);
      AfterPass(control, r);
    } else if (PassCovers(*control->GetRECT(), r, IRECT(0, 0, mWidth, mHeight))) {
      control->SetClean();
    }
  }
}

void IGraphics::AfterPass(IControl* control, const IRECT& r) {
  const IRECT window(0, 0, mWidth, mHeight);
  const IRECT c = *control->GetRECT();
  if (PassCovers(c, r, window)) {
    control->SetClean();
    return;
  }
  const IRECT shown = c.Intersect(window);
  if (mPassArea > 0 && !shown.Intersect(r).Empty() && static_cast<long long>(shown.W()) * shown.H() <= mPassArea)
    control->SetDirty(false);
}

void IGraphics::ForEachDrawn(const IRECT& r, const std::function<void(IControl*)>& f) {
  if (!mControls.empty()) f(mControls[0].get());
  for (size_t i = 1; i < mControls.size(); ++i) {
    IControl* control = mControls[i].get();
    if (!control->IsHidden() && ControlMeetsDrawRect(*control->GetRECT(), r)) f(control);
  }
  for (auto& layer : mLayers) layer->ForEachDrawn(r, f);
}

std::vector<const IControl*> IGraphics::CoveredControls(const IRECT& r) {
  std::vector<IControl*> drawn;
  ForEachDrawn(r, [&](IControl* control) { drawn.push_back(control); });
  // From the last drawn back: each control is covered when one drawn after
  // it paints all of its part of r.
  std::vector<IRECT> covers;
  std::vector<const IControl*> covered;
  for (auto it = drawn.rbegin(); it != drawn.rend(); ++it) {
    const IRECT area = (*it)->GetRECT()->Intersect(r);
    const bool hidden = !area.Empty() && std::any_of(covers.begin(), covers.end(), [&](const IRECT& c) {
      return c.L <= area.L && c.T <= area.T && c.R >= area.R && c.B >= area.B;
    });
    if (hidden) covered.push_back(*it);
    else if ((*it)->CoversItsRect() && !area.Empty()) covers.push_back(area);
  }
  std::sort(covered.begin(), covered.end());
  return covered;
}

bool IGraphics::IsCoveredInPass(const IControl* control) const {
  return std::binary_search(mCoveredInPass.begin(), mCoveredInPass.end(), control);
}

// What one context handed to the readiness threads: its stop flag and how
// many of its threads still run.
struct IGraphics::ReadinessBatch {
  std::atomic<bool> stop{false};
  std::mutex mutex;
  std::condition_variable ended;
  int running = 0;
};

namespace {
// The readiness threads of every context in the process. A context's close
// does not join them: each ends on its own once its task is done, and is
// joined by the next start or when the process ends. The plug-in stays
// loaded while any may run, so a host that unloads it after a scan does not
// take the code from under one.
class ReadinessThreads {
 public:
  static ReadinessThreads& Get() {
    static ReadinessThreads threads;
    return threads;
  }
  void Start(const std::shared_ptr<IGraphics::ReadinessBatch>& batch, std::function<void()> work) {
    std::lock_guard<std::mutex> lock(mMutex);
    Reap();
    {
      std::lock_guard<std::mutex> counting(batch->mutex);
      ++batch->running;
    }
    auto done = std::make_shared<std::atomic<bool>>(false);
    ++mRunning;
    mThreads.push_back({std::thread([this, batch, done, work = std::move(work)] {
                          pthread_setname_np(pthread_self(), "tvx images");
                          work();
                          {
                            std::lock_guard<std::mutex> counting(batch->mutex);
                            --batch->running;
                          }
                          batch->ended.notify_all();
                          --mRunning;
                          *done = true;
                        }),
                        done, batch});
  }
  int Running() const { return mRunning; }
  // At the process's end: the lists stop and the tasks under way end.
  ~ReadinessThreads() {
    std::lock_guard<std::mutex> lock(mMutex);
    for (Entry& e : mThreads) e.batch->stop = true;
    for (Entry& e : mThreads) e.thread.join();
  }

 private:
  ReadinessThreads() {
    // What the tasks use is made first, so that it is torn down after them.
    SWELL_GdiInit();
    TheSpareDraw();
    KeepLoaded(reinterpret_cast<const void*>(&ReadinessThreads::Get));
  }
  struct Entry {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
    std::shared_ptr<IGraphics::ReadinessBatch> batch;
  };
  void Reap() {
    for (auto it = mThreads.begin(); it != mThreads.end();)
      if (*it->done) {
        it->thread.join();
        it = mThreads.erase(it);
      } else {
        ++it;
      }
  }
  std::mutex mMutex;
  std::list<Entry> mThreads;
  std::atomic<int> mRunning{0};
};
}  // namespace

int IGraphics::RunningReadinessThreads() { return ReadinessThreads::Get().Running(); }

void IGraphics::StartReadiness(std::function<void(const std::atomic<bool>& stop)> work, bool usesThis) {
  if (!mReadiness) mReadiness = std::make_shared<ReadinessBatch>();
  mReadinessUsesThis = mReadinessUsesThis || usesThis;
  ReadinessThreads::Get().Start(mReadiness, [batch = mReadiness.get(), work = std::move(work)] { work(batch->stop); });
}

void IGraphics::PrepareAhead() {
  static std::atomic<bool> lookupReady{false};
  {
    // Ready already, or being readied by an instance made just before.
    SpareDraw& spare = TheSpareDraw();
    std::lock_guard<std::mutex> lock(spare.mutex);
    if (lookupReady && (spare.fits(mWidth, mHeight) || spare.making)) return;
  }
  // fontconfig's first look reads its whole configuration: the default
  // style's lookup has it done before any text is drawn or edited.
  const DetachedReadiness detached = Detached();
  const int width = mWidth, height = mHeight;
  if (detached.prepareFrame) {
    StartReadiness(
        [prepare = detached.prepareFrame, width, height](const std::atomic<bool>& stop) {
          if (!stop) PrepareFontLookup(IText());
          lookupReady = true;
          if (!stop) prepare(width, height);
        },
        false);
    return;
  }
  StartReadiness(
      [this](const std::atomic<bool>& stop) {
        if (!stop) PrepareFontLookup(IText());
        lookupReady = true;
        if (!stop) PrepareFirstFrame();
      },
      true);
}

void IGraphics::PredecodeShownImages() {
  struct Image {
    int id;
    long pixels;
  };
  std::vector<Image> images;
  std::vector<IText> texts;
  const IRECT all(0, 0, mWidth, mHeight);
  const std::vector<const IControl*> covered = CoveredControls(all);
  ForEachDrawn(all, [&](IControl* control) {
    if (std::binary_search(covered.begin(), covered.end(), control)) return;
    control->ForEachImage([&](const IBitmap& bitmap) {
      if (!bitmap.mData && bitmap.mId >= 0 && !ImageDecoded(bitmap.mId) && mPredecodeListed.insert(bitmap.mId).second)
        images.push_back({bitmap.mId, long(bitmap.W) * bitmap.H});
    });
    const IText& text = *control->GetIText();
    if (!text.mCached && !FontMade(text) && std::none_of(texts.begin(), texts.end(), [&](const IText& t) {
          return t.mSize == text.mSize && t.mStyle == text.mStyle && t.mOrientation == text.mOrientation &&
                 std::strcmp(t.mFont, text.mFont) == 0;
        }))
      texts.push_back(text);
  });
  // The largest first, so that the last to finish is a small one.
  std::stable_sort(images.begin(), images.end(), [](const Image& a, const Image& b) { return a.pixels > b.pixels; });
  // A further instance finds everything made: it starts no thread.
  const size_t tasks = images.size() + (texts.empty() ? 0 : 1);
  const size_t threads = std::min<size_t>({std::max(1u, std::thread::hardware_concurrency()), 3, tasks});
  // Task 0 makes the fonts, the others decode one image each.
  const DetachedReadiness detached = Detached();
  BitmapLoader load;
  if (detached.loadBitmap) load = detached.loadBitmap;
  else load = [this](int id, const char* name) { return OSLoadBitmap(id, name); };
  auto next = std::make_shared<std::atomic<size_t>>(0);
  auto list = std::make_shared<const std::pair<std::vector<Image>, std::vector<IText>>>(std::move(images), std::move(texts));
  auto work = [next, list, load](const std::atomic<bool>& stop) {
    const auto& [shown, styles] = *list;
    for (size_t task; !stop && (task = (*next)++) <= shown.size();) {
      if (task == 0)
        for (const IText& text : styles) SharedFont(text);
      else
        ImageById(load, shown[task - 1].id);
    }
  };
  for (size_t i = 0; i < threads; ++i) StartReadiness(work, !detached.loadBitmap);
}

void IGraphics::StopPredecoding() {
  if (!mReadiness) return;
  mReadiness->stop = true;
  if (mReadinessUsesThis) FinishPredecoding();
}

void IGraphics::FinishPredecoding() {
  if (!mReadiness) return;
  std::unique_lock<std::mutex> lock(mReadiness->mutex);
  mReadiness->ended.wait(lock, [this] { return mReadiness->running == 0; });
}

namespace {
// The overlap test of the pass that redraws around each dirty control: a
// control touching the area's bottom or right edge counts.
bool Overlaps(const IRECT& j, const IRECT& d) {
  return !j.Empty() && !d.Empty() && j.R >= d.L && j.L < d.R && j.B >= d.T && j.T < d.B;
}
}  // namespace

void IGraphics::DrawDirtyControls() {
  if (mControls.empty()) return;
  IControl* background = mControls[0].get();
  if (background->IsDirty()) {
    // The whole background: everything shown is drawn over it again.
    mDrawRECT = *background->GetRECT();
    for (size_t j = 0; j < mControls.size(); ++j) {
      IControl* control = mControls[j].get();
      if (j > 0 && control->IsHidden()) continue;
      TakeStaleValues(control);
      control->Draw(this);
      control->SetClean();
    }
    return;
  }
  for (size_t i = 1; i < mControls.size(); ++i) {
    IControl* dirty = mControls[i].get();
    if (!dirty->IsDirty()) continue;
    mDrawRECT = *dirty->GetRECT();
    for (auto& other : mControls) {
      IControl* control = other.get();
      if (control->IsHidden()) continue;
      if (control != dirty && !Overlaps(*control->GetRECT(), mDrawRECT)) continue;
      TakeStaleValues(control);
      control->Draw(this);
    }
    dirty->SetClean();
  }
}

void IGraphics::OnGUIIdle() {
  for (auto& control : mControls) control->OnGUIIdle();
}

std::unique_ptr<unsigned char[]> IGraphics::LoadFile(int resourceId, const char* fileName) {
  return OSLoadFile(resourceId, fileName);
}

// Input.

IControl* IGraphics::HitTest(int x, int y, bool mouseOver) {
  IControl* hit = nullptr;
  for (auto it = mLayers.rbegin(); it != mLayers.rend() && !hit; ++it) hit = (*it)->isHit(x, y);
  for (auto it = mControls.rbegin(); it != mControls.rend() && !hit; ++it) {
    IControl* control = it->get();
    if (control->IsHidden()) continue;
    if (control->IsGrayed() && !(mouseOver && control->GetMOWhenGrayed())) continue;
    if (control->IsHit(x, y)) hit = control;
  }
  // A control shown since its values changed works from them.
  if (hit) TakeStaleValues(hit);
  return hit;
}

void IGraphics::ReleaseMouseCapture() {
  mMouseCapture = nullptr;
  mMouseX = mMouseY = -1;
}

// The host hears of one edit at a time: each begun edit ends once, on its
// own parameter, even when a menu took the pointer from the press.
void IGraphics::BeginParamEdit(int paramIdx) {
  EndParamEdit();
  if (paramIdx < 0 || !mPlug) return;
  mEditParam = paramIdx;
  mPlug->BeginInformHostOfParamChange(paramIdx);
}

void IGraphics::EndParamEdit() {
  if (mEditParam < 0 || !mPlug) return;
  const int paramIdx = std::exchange(mEditParam, -1);
  mPlug->EndInformHostOfParamChange(paramIdx);
}

void IGraphics::OnMouseDown(int x, int y, IMouseMod* mod) {
  ReleaseMouseCapture();
  EndParamEdit();
  IControl* control = HitTest(x, y, false);
  if (!control) return;
  mMouseCapture = control;
  mMouseX = x;
  mMouseY = y;
  control->OnMouseDown(x, y, mod);
  BeginParamEdit(control->ParamIdx());
}

void IGraphics::OnMouseUp(int x, int y, IMouseMod* mod) {
  IControl* control = mMouseCapture ? mMouseCapture : HitTest(x, y, false);
  ReleaseMouseCapture();
  if (control) control->OnMouseUp(x, y, mod);
  EndParamEdit();
}

void IGraphics::OnMouseDrag(int x, int y, IMouseMod* mod) {
  if (!mMouseCapture || (x == mMouseX && y == mMouseY)) return;
  const int dX = x - mMouseX, dY = y - mMouseY;
  mMouseX = x;
  mMouseY = y;
  mMouseCapture->OnMouseDrag(x, y, dX, dY, mod);
}

bool IGraphics::OnMouseDblClick(int x, int y, IMouseMod* mod) {
  ReleaseMouseCapture();
  EndParamEdit();
  IControl* control = HitTest(x, y, false);
  if (!control) return false;
  if (!control->MouseDblAsSingleClick()) {
    control->OnMouseDblClick(x, y, mod);
    return false;
  }
  mMouseCapture = control;
  mMouseX = x;
  mMouseY = y;
  control->OnMouseDown(x, y, mod);
  BeginParamEdit(control->ParamIdx());
  return true;
}

void IGraphics::OnMouseWheel(int x, int y, IMouseMod* mod, int d) {
  IControl* control = mMouseCapture ? mMouseCapture : HitTest(x, y, false);
  if (control) control->OnMouseWheel(x, y, mod, d);
}

bool IGraphics::OnMouseOver(int x, int y, IMouseMod* mod) {
  if (!mHandleMouseOver) return false;
  IControl* target = mMouseCapture ? mMouseCapture : HitTest(x, y, true);
  if (!target) return true;
  mMouseX = x;
  mMouseY = y;
  target->OnMouseOver(x, y, mod);
  if (mMouseOver && mMouseOver != target) mMouseOver->OnMouseOut();
  mMouseOver = target;
  return true;
}

void IGraphics::OnMouseOut() {
  for (auto& control : mControls) control->OnMouseOut();
  mMouseOver = nullptr;
}

bool IGraphics::OnKeyDown(int x, int y, int key) {
  if (mMouseCapture) return mMouseCapture->OnKeyDown(x, y, key);
  for (auto it = mLayers.rbegin(); it != mLayers.rend(); ++it)
    if (IControl* hit = (*it)->isHit(x, y)) return hit->OnKeyDown(x, y, key);
  for (auto it = mControls.rbegin(); it != mControls.rend(); ++it) {
    IControl* control = it->get();
    if (!control->IsHidden() && !control->IsGrayed() && control->IsHit(x, y)) return control->OnKeyDown(x, y, key);
  }
  return mKeyCatcher ? mKeyCatcher->OnKeyDown(x, y, key) : false;
}

IControl* IGraphics::GetMouseControlIdx(int x, int y, bool mouseOver) {
  return mMouseCapture ? mMouseCapture : HitTest(x, y, mouseOver);
}

int IGraphics::GetParamIdxForPTAutomation(int x, int y) {
  IControl* control = mMouseCapture ? mMouseCapture : HitTest(x, y, false);
  mLastClickedParam = control ? control->ParamIdx() : -1;
  return mLastClickedParam;
}

int IGraphics::GetLastClickedParamForPTAutomation() {
  const int last = mLastClickedParam;
  mLastClickedParam = -1;
  return last;
}

void IGraphics::PromptUserInput(IControl* control, IParam* param, IRECT* r) {
  if (!control || !param || !r) return;
  const int type = param->Type();
  const int n = param->GetNDisplayTexts();
  char current[MAX_PARAM_DISPLAY_LEN] = {};
  if ((type == IParam::kTypeBool || type == IParam::kTypeEnum) && n > 0) {
    param->GetDisplayForHost(param->Value(), false, current, true);
    IPopupMenu menu;
    for (int i = 0; i < n; ++i) {
      const char* text = param->GetDisplayText(i);
      IPopupMenuItem* item = menu.AddItem(text ? text : "");
      if (item && text && std::strcmp(text, current) == 0) item->SetChecked(true);
    }
    if (CreateIPopupMenu(&menu, r)) control->SetValueFromUserInput(param->GetNormalized(menu.GetChosenItemIdx()));
    return;
  }
  param->GetDisplayForHost(param->Value(), false, current, type == IParam::kTypeText);
  CreateTextEntry(control, control->GetIText(), r, current, param);
}

void IGraphics::SetFromStringAfterPrompt(IControl* control, IParam* param, const char* text) {
  if (!param || !control) return;
  const char* str = text ? text : "";
  double value = 0.0;
  switch (param->Type()) {
    case IParam::kTypeBool:
    case IParam::kTypeEnum: {
      int mapped = 0;
      value = param->MapDisplayText(str, &mapped) ? mapped : 0;
      break;
    }
    case IParam::kTypeText:
      param->SetDisplayText(0, str);
      param->Set(std::clamp(control->GetValue() == 0.0 ? 1.0 : 0.0, param->GetMin(), param->GetMax()));
      // The new text must reach the plug-in also when the control already
      // stands at 0, where the user path would see no change.
      if (control->GetValue() == 0.0)
        control->SetDirty(true);
      else
        control->SetValueFromUserInput(0.0);
      value = 0.0;
      break;
    default:
      value = std::atof(str);
      if (param->GetNegateDisplay()) value = -value;
      break;
  }
  control->SetValueFromUserInput(param->GetNormalized(value));
}
