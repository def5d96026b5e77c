// The editor window's graphics context: the control list (index 0 is the
// background), the control-layer trees, the drawing surface, input dispatch,
// value prompts, the bitmap and font caches and the drawing operations.
// The platform class fills the window, prompts and resource loading.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <set>
#include <thread>
#include <vector>

#include "ControlLayer.h"
#include "IControl.h"
#include "IGraphicsStructs.h"
#include "IPlugStructs.h"
#include "ParamControlIndex.h"
#include "WDL_String.h"

class IPlugBase;
class IParam;
class IPopupMenu;
class LICE_IBitmap;
class LICE_IFont;
class LICE_MemBitmap;
class LICE_SysBitmap;

class IGraphics {
 public:
  IGraphics(IPlugBase* plug, int width, int height, int fps = 0);
  virtual ~IGraphics();
  IGraphics(const IGraphics&) = delete;
  IGraphics& operator=(const IGraphics&) = delete;

  // Platform operations.
  virtual bool DrawScreen(IRECT* r) = 0;
  virtual bool MeasureIText(IText* text, const char* str, IRECT* r) { return DrawIText(text, str, r, true); }
  virtual void ForceEndUserEdit() = 0;
  virtual void Resize(int width, int height);
  virtual bool WindowIsOpen() const { return GetWindow() != nullptr; }
  virtual const char* GetGUIAPI() { return ""; }
  virtual int ShowMessageBox(const char* text, const char* caption, int type) = 0;
  // The menu (or submenu) that holds the chosen item, or null.
  virtual IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, IRECT* r) = 0;
  virtual void CreateTextEntry(IControl* control, IText* text, IRECT* r, const char* str, IParam* param) = 0;
  virtual void HostPath(WDL_String* path) = 0;
  virtual void PluginPath(WDL_String* path) = 0;
  virtual void DesktopPath(WDL_String* path) = 0;
  virtual void PromptForFile(WDL_String* fileName, EFileAction action, WDL_String* directory, char* extensions) = 0;
  virtual bool PromptForColor(IColor* color, char* prompt) = 0;
  virtual bool OpenURL(const char* url, const char* msgWindowTitle = nullptr, const char* confirmMsg = nullptr,
                       const char* errMsg = nullptr) = 0;
  virtual void* OpenWindow(void* parentView) = 0;
  virtual void* OpenWindow(void*, void*, short, short) { return nullptr; }
  virtual void AttachSubWindow(void*) {}
  virtual void RemoveSubWindow() {}
  virtual void CloseWindow() = 0;
  virtual void* GetWindow() const = 0;
  virtual void HideMouseCursor() {}
  virtual void ShowMouseCursor() {}

  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  int FPS() const { return mFPS; }
  IPlugBase* GetPlug() const { return mPlug; }

  // Creates the drawing surface and the temporary bitmap.
  virtual void PrepDraw();
  LICE_SysBitmap* GetDrawBitmap() const { return mDrawBitmap.get(); }
  unsigned* GetBits();

  // The control list and the layer list own what is attached.
  int AttachControl(IControl* control);
  int AttachControl(std::unique_ptr<IControl> control) { return AttachControl(control.release()); }
  int AttachLayer(ControlLayer* layer);
  int AttachLayer(std::unique_ptr<ControlLayer> layer) { return AttachLayer(layer.release()); }
  void AttachKeyCatcher(IControl* control) { mKeyCatcher.reset(control); }
  void AttachBackground(int id, const char* name, double scale);
  void AttachPanelBackground(const IColor* color);
  int NControls() const { return int(mControls.size()); }
  IControl* GetControl(int index) const {
    return index >= 0 && index < NControls() ? mControls[size_t(index)].get() : nullptr;
  }
  int NLayers() const { return int(mLayers.size()); }
  ControlLayer* GetLayer(int index) const {
    return index >= 0 && index < NLayers() ? mLayers[size_t(index)].get() : nullptr;
  }

  void HideControl(int paramIdx, bool hide);
  void GrayOutControl(int paramIdx, bool gray);
  void ClampControl(int paramIdx, double lo, double hi, bool normalized);
  // Shows a value on the controls bound to paramIdx; a plain value is first
  // stored into the parameter in its normalised form.
  void SetParameterFromPlug(int paramIdx, double value, bool normalized);
  // Every parameter set again from its normalised form (as SetParameterFromPlug
  // with a plain value does), its value shown on the controls shown now; the
  // others take theirs when they are shown (drawn or hit).
  void RefreshParamControls();
  // A control that was not shown when its values changed takes them now.
  void TakeStaleValues(IControl* control) {
    if (control->IsValueStale()) RefreshFromPlug(control);
  }
  // Keeps the parameter index current as the trees grow: a layer attached
  // under this context reports its new controls and sub-layers here.
  void ControlAttachedToLayer(IControl* control) { mParamControls.addLayerControl(control); }
  void LayerAttachedToLayer(const ControlLayer& layer) { mParamControls.addTree(layer); }
  // Builds the index afresh from the list and the trees.
  void ReindexParamControls();
  void SetControlFromPlug(int controlIdx, double normalizedValue);
  void SetAllControlsDirty();
  void SetParameterFromGUI(int paramIdx, double normalizedValue);
  void SetStrictDrawing(bool strict);
  // Merges dirty areas into r, which comes in empty: all of them, or with a
  // pass area set, those that fit in it (at least one); the others wait.
  bool IsDirty(IRECT* r);
  // The area one pass draws at most (0: no bound), so that a flood of
  // changed controls is drawn over several idle calls, none of them long.
  void SetPassArea(long long area) { mPassArea = area; }
  // After a bounded pass: a control it drew only in part is left dirty, to
  // be drawn whole (with what lies under it) by a later one, as its text may
  // reach past the pass. Backgrounds larger than a pass are left alone.
  void AfterPass(IControl* control, const IRECT& r);
  // Widens a bounded pass's area to the whole of the controls it cuts, up
  // to this many times the pass area.
  static constexpr int kPassGrowth = 4;
  void WholeControlsIn(IRECT* r);
  // One drawing pass over r: background, controls that meet r, layers.
  bool Draw(IRECT* r);
  void OnGUIIdle();

  // Input, in editor coordinates.
  void OnMouseDown(int x, int y, IMouseMod* mod);
  void OnMouseUp(int x, int y, IMouseMod* mod);
  void OnMouseDrag(int x, int y, IMouseMod* mod);
  bool OnMouseDblClick(int x, int y, IMouseMod* mod);
  void OnMouseWheel(int x, int y, IMouseMod* mod, int d);
  bool OnMouseOver(int x, int y, IMouseMod* mod);
  void OnMouseOut();
  bool OnKeyDown(int x, int y, int key);
  IControl* GetMouseControlIdx(int x, int y, bool mouseOver = false);
  int GetParamIdxForPTAutomation(int x, int y);
  int GetLastClickedParamForPTAutomation();
  void ReleaseMouseCapture();
  void BeginParamEdit(int paramIdx);
  void EndParamEdit();
  void HandleMouseOver(bool handle) { mHandleMouseOver = handle; }
  IControl* GetCapturedControl() const { return mMouseCapture; }
  void PromptUserInput(IControl* control, IParam* param, IRECT* r);
  void SetFromStringAfterPrompt(IControl* control, IParam* param, const char* text);

  // Caches.
  IBitmap LoadIBitmap(int id, const char* name, double scale = 1.0, int nStates = 1,
                      bool framesAreHorizontal = false);
  // The cached bitmap of id; an image only declared so far is decoded now.
  IBitmap getImageById(int id, int nStates = 1, bool framesAreHorizontal = false);
  // LoadIBitmap without decoding: the size (at scale, from the file's header)
  // now, the pixels when the image is first drawn or asked for by id. The
  // first declaration of an id, like the first load, decides its file and scale;
  // with no name, only an id declared or cached before gives a bitmap.
  IBitmap DeclareIBitmap(int id, const char* name, double scale = 1.0, int nStates = 1,
                         bool framesAreHorizontal = false);
  // The pixels a handle draws, decoded on first use; null for none.
  LICE_IBitmap* BitmapPixels(IBitmap* bitmap);
  // Forgets the pixels and the declaration of an id, so that it can be declared afresh.
  void ReleaseImageById(int id);
  // How many images the process has decoded.
  static int DecodedImageCount();
  // Called with each image's id as it is decoded, on the thread decoding it; for tests.
  static void SetDecodeObserver(std::function<void(int id)> observer);
  // Decodes, on threads of their own, the images a full frame of what is
  // shown now would draw (and no earlier call listed), largest first, and
  // makes the fonts of its texts, so
  // that the first frame finds them ready; an image covered by one drawn over
  // it is left for when it is shown. A first frame drawn meanwhile decodes
  // what no thread has started yet and waits only for what one has.
  void PredecodeShownImages();
  // Readies on a thread of its own, while the rest of the window is being
  // built, what any first frame needs: the font lookup and the frame's memory.
  void PrepareAhead();
  // Frees the frame memory readied for an editor not opened yet.
  static void ReleasePreparedFrame();
  // Ends the decoding threads' lists (between two images). Threads whose work
  // does not use this context (a back end with a detached loader) are not
  // waited for: what they are making goes on into the process's caches.
  void StopPredecoding();
  // Waits until they have done their whole list.
  void FinishPredecoding();
  // Readiness threads running in the process, for tests.
  static int RunningReadinessThreads();
  // Shared with the readiness threads, which may outlive this object.
  struct ReadinessBatch;
  // Whether the pass in progress leaves control out, being covered.
  bool IsCoveredInPass(const IControl* control) const;
  void RetainBitmap(IBitmap* bitmap);
  void ReleaseBitmap(IBitmap* bitmap);
  // The whole resource followed by a NUL byte, or null; GetLoadedFileSize()
  // then tells how much was read.
  std::unique_ptr<unsigned char[]> LoadFile(int resourceId, const char* fileName);
  int GetLoadedFileSize() const { return mLoadedFileSize; }
  LICE_IFont* CacheFont(IText* text);
  // The process's font for a text style, made on first use; the style's own
  // cached pointer is left alone, so any thread may ask.
  static LICE_IFont* SharedFont(const IText& style);
  // Has fontconfig find the style's font file, on any thread: the slow part
  // of a first SharedFont, done ahead.
  static void PrepareFontLookup(const IText& style);
  static bool FontMade(const IText& style);
  static bool ImageDecoded(int id);
  bool DrawIText(IText* text, const char* str, IRECT* r, bool measure = false);

  // Drawing operations, clipped as the raster library and the draw
  // rectangle say.
  bool DrawBitmap(IBitmap* bitmap, IRECT* dest, int srcX, int srcY, const IChannelBlend* blend = nullptr);
  bool DrawBitmap(IBitmap* bitmap, IRECT* dest, int state = 1, const IChannelBlend* blend = nullptr);
  bool DrawBitmap(IBitmap* bitmap, IRECT* dest, int state, int srcX, int srcY, const IChannelBlend* blend);
  bool DrawRotatedBitmap(IBitmap* bitmap, int destCtrX, int destCtrY, double angle, int yOffsetZeroDeg = 0,
                         const IChannelBlend* blend = nullptr);
  bool DrawRotatedMask(IBitmap* base, IBitmap* mask, IBitmap* top, int x, int y, double angle,
                       const IChannelBlend* blend = nullptr);
  bool DrawPoint(const IColor* color, float x, float y, const IChannelBlend* blend = nullptr, bool aa = false);
  bool ForcePixel(const IColor* color, int x, int y);
  bool DrawLine(const IColor* color, float x1, float y1, float x2, float y2, const IChannelBlend* blend = nullptr,
                bool aa = false);
  bool DrawRadialLine(const IColor* color, float cx, float cy, float angle, float rMin, float rMax,
                      const IChannelBlend* blend = nullptr, bool aa = false);
  bool DrawArc(const IColor* color, float cx, float cy, float r, float minAngle, float maxAngle,
               const IChannelBlend* blend = nullptr, bool aa = false);
  bool DrawCircle(const IColor* color, float cx, float cy, float r, const IChannelBlend* blend = nullptr,
                  bool aa = false);
  bool FillCircle(const IColor* color, int cx, int cy, float r, const IChannelBlend* blend = nullptr,
                  bool aa = false);
  bool RoundRect(const IColor* color, IRECT* r, const IChannelBlend* blend, int cornerRadius, bool aa);
  bool FillRoundRect(const IColor* color, IRECT* r, const IChannelBlend* blend, int cornerRadius, bool aa);
  bool FillIRect(const IColor* color, IRECT* r, const IChannelBlend* blend = nullptr);
  bool FillTriangle(const IColor* color, int x1, int y1, int x2, int y2, int x3, int y3,
                    const IChannelBlend* blend = nullptr);
  bool FillIConvexPolygon(const IColor* color, int* x, int* y, int n, const IChannelBlend* blend = nullptr);
  bool DrawRect(const IColor* color, IRECT* r);
  bool DrawVerticalLine(const IColor* color, int x, int yLo, int yHi);
  bool DrawHorizontalLine(const IColor* color, int y, int xLo, int xHi);
  bool DrawVerticalLine(const IColor* color, IRECT* r, float x);
  bool DrawHorizontalLine(const IColor* color, IRECT* r, float y);
  IColor GetPoint(int x, int y);
  IBitmap ScaleBitmap(IBitmap* bitmap, int destW, int destH);
  IBitmap CropBitmap(IBitmap* bitmap, IRECT* r);
  const IRECT& GetDrawRect() const { return mDrawRECT; }

 protected:
  virtual std::unique_ptr<unsigned char[]> OSLoadFile(int resourceId, const char* fileName) = 0;
  // A new bitmap with the image, or null.
  virtual std::unique_ptr<LICE_IBitmap> OSLoadBitmap(int resourceId, const char* fileName) = 0;
  // The image's size without its pixels; false when it cannot be read. This
  // one decodes: a back end that can read the size alone says so.
  virtual bool OSBitmapSize(int resourceId, const char* fileName, int* width, int* height, bool* opaque);
  void SetLoadedFileSize(int size) { mLoadedFileSize = size; }
  IControl* HitTest(int x, int y, bool mouseOver);
  // The two passes over the control list; both leave the area they drew in
  // the draw rectangle.
  void DrawStrict(const IRECT& r);
  void DrawDirtyControls();
  // Calls f with every control a strict pass over r would draw, in drawing order.
  void ForEachDrawn(const IRECT& r, const std::function<void(IControl*)>& f);
  // The controls of that pass that later ones paint over entirely, sorted.
  std::vector<const IControl*> CoveredControls(const IRECT& r);
  // Called on a decoding thread: makes ready the memory a first frame of
  // this size will draw into.
  virtual void PrepareFirstFrame();
  // The spare frame bitmap of that size, made on the calling thread.
  static void PrepareSpareFrame(int width, int height);
  // What a back end's readiness work needs without this object: its image
  // loader and its first frame's memory. With both, a close does not wait
  // for the threads; without them they call this object and a close waits.
  struct DetachedReadiness {
    std::unique_ptr<LICE_IBitmap> (*loadBitmap)(int resourceId, const char* fileName) = nullptr;
    void (*prepareFrame)(int width, int height) = nullptr;
  };
  virtual DetachedReadiness Detached() const { return {}; }
  using BitmapLoader = std::function<std::unique_ptr<LICE_IBitmap>(int resourceId, const char* fileName)>;
  // getImageById and LoadIBitmap with the loader given, for any thread.
  static IBitmap ImageById(const BitmapLoader& load, int id, int nStates = 1, bool framesAreHorizontal = false);
  static IBitmap LoadWith(const BitmapLoader& load, int id, const char* name, double scale, int nStates,
                          bool framesAreHorizontal);

  int mLoadedFileSize = 0;
  std::vector<std::unique_ptr<IControl>> mControls;
  std::vector<std::unique_ptr<ControlLayer>> mLayers;
  IPlugBase* mPlug;
  IRECT mDrawRECT;
  bool mCursorHidden = false;
  int mHiddenMousePointX = -1, mHiddenMousePointY = -1;
  std::unique_ptr<LICE_SysBitmap> mDrawBitmap;
  std::unique_ptr<LICE_MemBitmap> mTmpBitmap;
  int mWidth, mHeight, mFPS;
  IControl* mMouseOver = nullptr;
  IControl* mMouseCapture = nullptr;
  int mMouseX = -1, mMouseY = -1;
  int mLastClickedParam = -1;
  // The parameter whose edit the host was told began, or -1.
  int mEditParam = -1;
  bool mHandleMouseOver = false;
  bool mStrict = true;
  long long mPassArea = 0;
  int mPassCursor = 0;  // where the next bounded pass starts asking
  std::unique_ptr<IControl> mKeyCatcher;
  ParamControlIndex mParamControls;
  std::vector<const IControl*> mCoveredInPass;
  bool mFrameDrawn = false;
  std::shared_ptr<ReadinessBatch> mReadiness;
  // The control's own and auxiliary parameters' values, from the plug-in.
  void RefreshFromPlug(IControl* control);
  void RefreshTree(const ControlLayer& layer, bool shown);
  bool mReadinessUsesThis = false;  // a close must wait for the threads
  void StartReadiness(std::function<void(const std::atomic<bool>& stop)> work, bool usesThis);
  std::set<int> mPredecodeListed;  // ids handed to them: a later call adds only new ones
};

// The raster pixel of a colour: A | R << 8 | G << 16 | B << 24.
unsigned LiceColor(const IColor* color);
// The raster opacity and combine mode of a blend.
float LiceWeight(const IChannelBlend* blend);
int LiceBlendMode(const IChannelBlend* blend);
