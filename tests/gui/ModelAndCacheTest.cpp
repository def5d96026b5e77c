// The popup-menu model, the bitmap and font caches, and the drawing
// operations' clipping and frame choice.
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "CachedFont.h"
#include "GdiRecords.h"
#include "GraphicsCaches.h"
#include "GuiTestSupport.h"
#include "IPopupMenu.h"
#include "PngWrite.h"

using namespace guitest;

TEST(PopupMenu, InsertionIndicesPrefixesAndChecks) {
  struct Row {
    int index;
    const char* expected;  // the texts after inserting "x"
  } rows[] = {{7, "abcx"}, {-1, "abcx"}, {-5, "xabc"}, {1, "axbc"}, {3, "abcx"}};
  for (const Row& row : rows) {
    IPopupMenu menu;
    for (const char* t : {"a", "b", "c"}) menu.AddItem(t);
    menu.AddItem("x", row.index, 0);
    std::string texts;
    for (int i = 0; i < menu.GetNItems(); ++i) texts += menu.GetItemText(i);
    EXPECT_EQ(texts, row.expected) << row.index;
  }
  IPopupMenu menu;
  menu.SetPrefix(4);
  EXPECT_EQ(menu.GetPrefix(), 0);
  EXPECT_EQ(menu.GetItem(0), nullptr);
  menu.CheckItemAlone(0);  // empty: nothing happens
  auto sub = std::make_unique<IPopupMenu>();
  for (int i = 0; i < 5; ++i) menu.AddItem("i", -1, IPopupMenuItem::kChecked);
  menu.AddItem("sub", sub.get());
  menu.CheckItemAlone(10);
  for (int i = 0; i < 6; ++i) EXPECT_FALSE(menu.IsItemChecked(i));
  EXPECT_TRUE(menu.CheckItem(2, true));
  EXPECT_FALSE(menu.CheckItem(9, true));
  EXPECT_EQ(menu.GetChosenItemIdx(), -1);
}

TEST(ParamControlIndex, PlugValuesReachEveryBoundControlHoweverTheTreeGrew) {
  Gui gui;
  auto control = [&](int param) { return new IInvisibleSwitchControl(&gui.plug, IRECT(0, 0, 5, 5), param); };
  auto* top = new ControlLayer(1, "top");
  gui.graphics.AttachLayer(top);
  IControl* inTop = top->AttachControl(control(2));  // after the layer joined the tree
  auto sub = std::make_unique<ControlLayer>(2, "sub");
  IControl* inSub = sub->AttachControl(control(3));
  inSub->AddAuxParam(2);
  top->AttachLayer(std::move(sub));
  IControl* other = top->AttachControl(control(4));
  IControl* inList = control(2);
  gui.graphics.AttachControl(inList);
  gui.graphics.SetParameterFromPlug(2, 0.25, true);
  EXPECT_EQ(inList->GetValue(), 0.25);
  EXPECT_EQ(inTop->GetValue(), 0.25);
  EXPECT_EQ(inSub->GetValue(), 0.0);
  EXPECT_EQ(inSub->GetAuxParam(0)->mValue, 0.25);
  EXPECT_EQ(other->GetValue(), 0.0);
  // Resizing drops the list's controls; the trees still take values.
  gui.graphics.Resize(100, 60);
  gui.graphics.SetParameterFromPlug(2, 0.5, true);
  EXPECT_EQ(inTop->GetValue(), 0.5);
}

// A restore with the editor open tells the controls shown now; one on a
// hidden page, or hidden itself, takes the restored values when it is shown.
TEST(ParamControlIndex, ValuesRestoredWhileAControlIsNotShownAppearWhenItIs) {
  Gui gui;
  for (int i = 0; i < 4; ++i) gui.plug.GetParam(i)->InitInt("", 0, 0, 4);
  auto control = [&](int param) { return new IInvisibleSwitchControl(&gui.plug, IRECT(0, 0, 5, 5), param); };
  IControl* listed = control(1);
  gui.graphics.AttachControl(listed);
  IControl* hiddenListed = control(2);
  gui.graphics.AttachControl(hiddenListed);
  hiddenListed->Hide(true);
  auto* page = new ControlLayer(1, "page");  // made hidden
  gui.graphics.AttachLayer(page);
  IControl* onPage = page->AttachControl(control(2));
  IControl* withAux = page->AttachControl(control(3));
  withAux->AddAuxParam(1);
  IControl* auxOnly = page->AttachControl(control(-1));
  auxOnly->AddAuxParam(3);
  IControl* clicked = page->AttachControl(new IInvisibleSwitchControl(&gui.plug, IRECT(50, 50, 60, 60), 3));
  gui.DrawAll();

  // The restore's values, plain, then the redraw the chunk's restore ends with.
  for (int i = 1; i <= 3; ++i) gui.plug.GetParam(i)->Set(i);
  gui.plug.RedrawParamControls();
  EXPECT_EQ(listed->GetValue(), 0.25);  // 1 of 0..4
  EXPECT_TRUE(onPage->IsValueStale());
  EXPECT_TRUE(withAux->IsValueStale());
  EXPECT_TRUE(hiddenListed->IsValueStale());
  EXPECT_TRUE(auxOnly->IsValueStale());

  // Clicked as soon as its page shows, before any drawing: the switch works
  // from the restored 0.75 (to 0), not from the 0 it held before (to 1).
  page->Hide(false);
  gui.plug.Take();
  IMouseMod mod(true, false);
  gui.graphics.OnMouseDown(55, 55, &mod);
  gui.graphics.OnMouseUp(55, 55, &mod);
  EXPECT_EQ(gui.plug.Take(), (std::vector<std::string>{"gui 3=0.0000", "begin 3", "end 3"}));
  EXPECT_EQ(clicked->GetValue(), 0.0);
  gui.DrawAll();
  EXPECT_EQ(onPage->GetValue(), 0.5);
  EXPECT_EQ(withAux->GetValue(), 0.75);
  EXPECT_EQ(withAux->GetAuxParam(0)->mValue, 0.25);
  EXPECT_EQ(auxOnly->GetAuxParam(0)->mValue, 0.75);
  EXPECT_FALSE(onPage->IsValueStale());
  hiddenListed->Hide(false);
  gui.DrawAll();
  EXPECT_EQ(hiddenListed->GetValue(), 0.5);

  // A later value from the instrument while the page is hidden again: the
  // page shows it when it comes back.
  page->Hide(true);
  gui.plug.GetParam(2)->Set(4);
  gui.plug.RedrawParamControls();
  EXPECT_EQ(hiddenListed->GetValue(), 1.0);
  page->Hide(false);
  gui.DrawAll();
  EXPECT_EQ(onPage->GetValue(), 1.0);

  // A value from the instrument after a restore is weighed against the
  // parameter, not against a control that has not taken the restored value:
  // the value the control held before is a change, the restored one is not.
  page->Hide(true);
  gui.plug.GetParam(2)->Set(0);
  gui.plug.RedrawParamControls();
  ASSERT_TRUE(onPage->IsValueStale());
  ASSERT_EQ(onPage->GetValue(), 1.0);
  gui.plug.Take();
  onPage->SetValueFromHardware(0.0);
  EXPECT_TRUE(gui.plug.Take().empty());
  onPage->SetValueFromHardware(1.0);
  EXPECT_EQ(gui.plug.Take(), std::vector<std::string>{"hw 2=1.0000"});
}

// A value from the plug-in reaches a parameter's controls as a walk would
// meet them: the graphics context's own list in the order attached, then the
// layer trees, however the attaching interleaved.
TEST(ParamControlIndex, BoundControlsAreToldInWalkOrder) {
  struct Told : IInvisibleSwitchControl {
    Told(IPlugBase* plug, int param, std::vector<const IControl*>& log)
        : IInvisibleSwitchControl(plug, IRECT(0, 0, 5, 5), param), mLog(log) {}
    void SetValueFromPlug(double value) override {
      mLog.push_back(this);
      IInvisibleSwitchControl::SetValueFromPlug(value);
    }
    std::vector<const IControl*>& mLog;
  };
  const struct {
    const char* steps;  // l: a control of the list, t: one of the layer, a: the layer itself attached
  } cases[] = {{"lll"}, {"attt"}, {"atltl"}, {"ttalt"}, {"tlatll"}, {"latlt"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.steps);
    Gui gui;
    std::vector<const IControl*> told, listed, layered;
    auto layer = std::make_unique<ControlLayer>(1, "page");
    ControlLayer* page = layer.get();
    for (const char* step = c.steps; *step; ++step) {
      if (*step == 'a') {
        gui.graphics.AttachLayer(layer.release());
      } else if (*step == 'l') {
        auto* control = new Told(&gui.plug, 3, told);
        gui.graphics.AttachControl(control);
        listed.push_back(control);
      } else {
        layered.push_back(page->AttachControl(std::make_unique<Told>(&gui.plug, 3, told)));
      }
    }
    if (layer) gui.graphics.AttachLayer(layer.release());
    told.clear();
    gui.graphics.SetParameterFromPlug(3, 0.5, true);
    std::vector<const IControl*> expected = listed;
    expected.insert(expected.end(), layered.begin(), layered.end());
    EXPECT_EQ(told, expected);
  }
}

TEST(Caches, BitmapsAreLoadedOnceScaledOnceAndReleased) {
  const auto folder = std::filesystem::path(::testing::TempDir()) / ("gui-images-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  setenv("TARNIVEX_RESOURCE_DIR", folder.c_str(), 1);
  {
    LICE_MemBitmap image(20, 10, 4);
    LICE_Clear(&image, FrameColour(1));
    ASSERT_TRUE(WriteTestPng((folder / "knob.png").string(), &image));
    std::filesystem::copy_file(folder / "knob.png", folder / "broken.png",
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::resize_file(folder / "broken.png", 30);
  }
  Gui gui;
  const int before = s_bitmapCache.Count();
  IBitmap a = gui.graphics.LoadIBitmap(9001, "img/knob.png", 1.5, 2);
  IBitmap b = gui.graphics.LoadIBitmap(9001, "img/knob.png", 3.0, 4, true);
  EXPECT_EQ(a.mData, b.mData);
  EXPECT_EQ(std::vector<int>({a.W, a.H, b.W, b.H, b.N}), std::vector<int>({30, 15, 30, 15, 4}));
  IBitmap byId = gui.graphics.getImageById(9001, 3);
  EXPECT_EQ(std::vector<int>({byId.W, byId.H, byId.N}), std::vector<int>({30, 15, 3}));
  // Missing, unreadable and never loaded images give empty handles that draw nothing.
  for (IBitmap empty : {gui.graphics.LoadIBitmap(9002, "img/missing.png"),
                        gui.graphics.LoadIBitmap(9003, "img/broken.png"), gui.graphics.getImageById(9004)}) {
    EXPECT_EQ(empty.mData, nullptr);
    EXPECT_EQ(empty.W, 0);
    gui.graphics.AttachControl(new IBitmapControl(&gui.plug, 0, 0, -1, &empty));
  }
  gui.DrawAll();
  EXPECT_EQ(s_bitmapCache.Count(), before + 1);
  LICE_MemBitmap notCached(1, 1, 4);
  IBitmap stranger(&notCached, 1, 1);
  gui.graphics.ReleaseBitmap(&stranger);
  EXPECT_EQ(s_bitmapCache.Count(), before + 1);
  gui.graphics.ReleaseBitmap(&a);
  EXPECT_EQ(s_bitmapCache.Count(), before);
  unsetenv("TARNIVEX_RESOURCE_DIR");
}

// A declared image has its size at once and its pixels when it is first
// drawn: decoded once, the same as loaded, in every graphics context.
TEST(Caches, DeclaredImagesAreDecodedWhenFirstDrawn) {
  const auto folder = std::filesystem::path(::testing::TempDir()) / ("gui-declared-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  setenv("TARNIVEX_RESOURCE_DIR", folder.c_str(), 1);
  {
    LICE_MemBitmap image(20, 10, 4);
    LICE_Clear(&image, FrameColour(2));
    LICE_FillRect(&image, 0, 5, 20, 5, FrameColour(4), 1.0f, 0);
    ASSERT_TRUE(WriteTestPng((folder / "strip.png").string(), &image));
    ASSERT_TRUE(WriteTestPng((folder / "same.png").string(), &image));
    std::filesystem::copy_file(folder / "strip.png", folder / "broken.png",
                               std::filesystem::copy_options::overwrite_existing);
    std::filesystem::resize_file(folder / "broken.png", 60);
  }
  Gui gui, other;
  const int decoded = IGraphics::DecodedImageCount();
  IBitmap declared = gui.graphics.DeclareIBitmap(9101, "img/strip.png", 2.0, 2);
  IBitmap again = other.graphics.DeclareIBitmap(9101, "img/strip.png", 3.0, 1);
  IBitmap broken = gui.graphics.DeclareIBitmap(9102, "img/broken.png", 1.0, 2);  // its header is whole
  IBitmap missing = gui.graphics.DeclareIBitmap(9103, "img/missing.png");
  EXPECT_EQ(IGraphics::DecodedImageCount(), decoded);
  EXPECT_EQ(declared.mData, nullptr);
  EXPECT_EQ(std::vector<int>({declared.W, declared.H, declared.N, again.W, again.H, again.N}),
            std::vector<int>({40, 20, 2, 40, 20, 1}));  // the first declaration's scale
  EXPECT_EQ(std::vector<int>({broken.W, broken.H, missing.W, missing.H}), std::vector<int>({20, 10, 0, 0}));

  gui.graphics.AttachControl(new IBitmapControl(&gui.plug, 0, 0, -1, &declared));
  gui.graphics.AttachControl(new IBitmapControl(&gui.plug, 50, 0, -1, &broken));
  gui.DrawAll();
  gui.DrawAll();
  EXPECT_EQ(IGraphics::DecodedImageCount(), decoded + 2);  // each once, the broken one included
  IBitmap loaded = gui.graphics.LoadIBitmap(9104, "img/same.png", 2.0, 2);
  for (int y : {0, 3, 7, 9}) EXPECT_EQ(gui.At(3, y), LICE_GetPixel(loaded.mData, 3, y)) << y;  // the first frame
  EXPECT_EQ(gui.At(55, 3), 0u);  // the broken one draws nothing

  // Another context draws the same pixels without decoding them again.
  const IBitmap byId = other.graphics.getImageById(9101, 2);
  EXPECT_NE(byId.mData, nullptr);
  EXPECT_EQ(other.graphics.BitmapPixels(&again), byId.mData);
  EXPECT_EQ(IGraphics::DecodedImageCount(), decoded + 3);

  // Released, the id can be declared afresh at another scale.
  gui.graphics.ReleaseImageById(9101);
  EXPECT_EQ(gui.graphics.getImageById(9101).mData, nullptr);
  const IBitmap fresh = gui.graphics.DeclareIBitmap(9101, "img/strip.png", 1.0, 2);
  EXPECT_EQ(std::vector<int>({fresh.W, fresh.H}), std::vector<int>({20, 10}));
  gui.graphics.ReleaseImageById(9101);
  unsetenv("TARNIVEX_RESOURCE_DIR");
}

// A text style's quality picks the system font's: 0 none, 1 plain (no
// smoothing), 2 and 3 smoothed, 4 and above plain; the font keeps its
// smoothing as 0 unchanged, 3 off, 4 on.
TEST(Caches, TheTextQualityPicksTheFontQuality) {
  Gui gui;
  const struct {
    int textQuality, smoothing;
  } rows[] = {{-1, 0}, {0, 0}, {1, 3}, {2, 4}, {3, 4}, {4, 3}, {7, 3}};
  int size = 71;  // sizes of their own: quality is not part of the cache key
  for (const auto& row : rows) {
    IText text(size++, &COLOR_BLACK, "Tarnivex Fixed");
    text.mQuality = row.textQuality;
    LICE_IFont* font = gui.graphics.CacheFont(&text);
    ASSERT_NE(font, nullptr) << row.textQuality;
    ASSERT_NE(font->GetHFont(), nullptr);
    EXPECT_EQ(font->GetHFont()->antialias, row.smoothing) << "text quality " << row.textQuality;
  }
}

// Ahead of a first frame, a thread decodes the images that frame shows; a
// page background wholly under another opaque one is decoded only once it
// shows. Drawing over it leaves the same pixels.
TEST(Caches, ShownImagesAreDecodedAheadOnAThreadAndCoveredOnesWhenShown) {
  const auto folder = std::filesystem::path(::testing::TempDir()) / ("gui-predecode-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  setenv("TARNIVEX_RESOURCE_DIR", folder.c_str(), 1);
  auto write = [&](const char* name, LICE_pixel colour, bool seeThrough) {
    LICE_MemBitmap image(40, 30, 4);
    LICE_Clear(&image, colour);
    if (seeThrough) {
      // A transparent corner: written with alpha, so it covers nothing.
      LICE_MemBitmap withAlpha(40, 30, 4);
      LICE_Clear(&withAlpha, colour);
      LICE_PutPixel(&withAlpha, 0, 0, 0, 1.0f, 0);
      std::string error;
      ASSERT_TRUE(imagegen::writePng(&withAlpha, (folder / name).string(), error)) << error;
      return;
    }
    ASSERT_TRUE(WriteTestPng((folder / name).string(), &image));
  };
  write("under.png", LICE_RGBA(200, 0, 0, 255), false);
  write("over.png", LICE_RGBA(0, 200, 0, 255), false);
  write("glass.png", LICE_RGBA(0, 0, 200, 255), true);
  write("knob.png", LICE_RGBA(90, 90, 90, 255), false);

  std::mutex mutex;
  std::vector<std::pair<int, std::thread::id>> decoded;
  IGraphics::SetDecodeObserver([&](int id) {
    std::lock_guard<std::mutex> lock(mutex);
    decoded.emplace_back(id, std::this_thread::get_id());
  });
  auto decodedIds = [&] {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<int> ids;
    for (const auto& [id, thread] : decoded) ids.push_back(id);
    return ids;
  };
  {
    Gui gui;
    IBitmap under = gui.graphics.DeclareIBitmap(9201, "img/under.png");
    IBitmap over = gui.graphics.DeclareIBitmap(9202, "img/over.png");
    IBitmap glass = gui.graphics.DeclareIBitmap(9203, "img/glass.png");
    IBitmap knob = gui.graphics.DeclareIBitmap(9204, "img/knob.png");
    IBitmap stillUnder = gui.graphics.DeclareIBitmap(9205, "img/under.png");
    EXPECT_EQ(std::vector<bool>({under.mOpaque, over.mOpaque, glass.mOpaque}), std::vector<bool>({true, true, false}));
    gui.graphics.AttachControl(new IBitmapControl(&gui.plug, 10, 10, -1, &under));
    auto* page = new ControlLayer(0, "page");
    page->Hide(false);
    page->AttachControl(new IBitmapControl(&gui.plug, 10, 10, -1, &over));
    page->AttachControl(new IBitmapControl(&gui.plug, 60, 10, -1, &knob));
    gui.graphics.AttachLayer(page);
    // Under an image with a transparent pixel: still shown, still decoded.
    gui.graphics.AttachControl(new IBitmapControl(&gui.plug, 60, 40, -1, &stillUnder));
    gui.graphics.AttachControl(new IBitmapControl(&gui.plug, 60, 40, -1, &glass));

    gui.graphics.PredecodeShownImages();
    gui.graphics.FinishPredecoding();
    std::vector<int> ahead = decodedIds();
    std::sort(ahead.begin(), ahead.end());
    EXPECT_EQ(ahead, std::vector<int>({9202, 9203, 9204, 9205}));
    for (const auto& [id, thread] : decoded) EXPECT_NE(thread, std::this_thread::get_id()) << id;

    gui.DrawAll();
    EXPECT_EQ(decodedIds().size(), 4u);  // nothing more for the frame
    EXPECT_EQ(gui.At(20, 20), LICE_RGBA(0, 200, 0, 255));
    page->Hide(true);
    gui.DrawAll();
    EXPECT_EQ(decodedIds().back(), 9201);  // shown now
    EXPECT_EQ(gui.At(20, 20), LICE_RGBA(200, 0, 0, 255));
    for (int id = 9201; id <= 9205; ++id) gui.graphics.ReleaseImageById(id);
  }
  // A frame drawn while the threads still decode takes what they made and
  // waits for what they are making: every image is decoded once.
  for (int round = 0; round < 20; ++round) {
    Gui gui;
    decoded.clear();
    IBitmap a = gui.graphics.DeclareIBitmap(9211, "img/under.png");
    IBitmap b = gui.graphics.DeclareIBitmap(9212, "img/knob.png");
    IBitmap c = gui.graphics.DeclareIBitmap(9213, "img/glass.png");
    gui.graphics.AttachControl(new IBitmapControl(&gui.plug, 0, 0, -1, &a));
    gui.graphics.AttachControl(new IBitmapControl(&gui.plug, 50, 0, -1, &b));
    gui.graphics.AttachControl(new IBitmapControl(&gui.plug, 0, 40, -1, &c));
    IText label(17, &COLOR_BLACK, "DejaVu Sans");
    auto* caption = new ITextControl(&gui.plug, IRECT(50, 40, 110, 60), &label, "A");
    gui.graphics.AttachControl(caption);
    gui.graphics.PredecodeShownImages();
    gui.DrawAll();
    gui.graphics.FinishPredecoding();
    std::vector<int> ids = decodedIds();
    std::sort(ids.begin(), ids.end());
    ASSERT_EQ(ids, std::vector<int>({9211, 9212, 9213})) << "round " << round;
    EXPECT_EQ(gui.At(5, 5), LICE_RGBA(200, 0, 0, 255));
    EXPECT_EQ(gui.At(55, 5), LICE_RGBA(90, 90, 90, 255));
    // The caption's font was made ahead, for any thread to find.
    FontStorage::Key key{17, 0, IText::kStyleNormal, "DejaVu Sans"};
    EXPECT_NE(s_fontCache.Find(key), nullptr);
    for (int id = 9211; id <= 9213; ++id) gui.graphics.ReleaseImageById(id);
  }
  // A close does not wait for the threads: one is held inside a decode while
  // its context is taken apart. The decode ends on its own afterwards and
  // leaves the image for the next context.
  {
    std::mutex holdMutex;
    std::condition_variable holdChanged;
    bool entered = false, released = false;
    IGraphics::SetDecodeObserver([&](int id) {
      if (id != 9221) return;
      std::unique_lock<std::mutex> lock(holdMutex);
      entered = true;
      holdChanged.notify_all();
      holdChanged.wait(lock, [&] { return released; });
    });
    auto gui = std::make_unique<Gui>();
    IBitmap held = gui->graphics.DeclareIBitmap(9221, "img/under.png");
    gui->graphics.AttachControl(new IBitmapControl(&gui->plug, 0, 0, -1, &held));
    gui->graphics.PredecodeShownImages();
    {
      std::unique_lock<std::mutex> lock(holdMutex);
      holdChanged.wait(lock, [&] { return entered; });
    }
    auto closing = std::async(std::launch::async, [&] { gui.reset(); });
    // Only a guard against a hang: a close that waits never returns here.
    const bool closedWhileDecoding = closing.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    {
      std::lock_guard<std::mutex> lock(holdMutex);
      released = true;
    }
    holdChanged.notify_all();
    closing.wait();
    EXPECT_TRUE(closedWhileDecoding);
    for (int i = 0; i < 3000 && IGraphics::RunningReadinessThreads() > 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(IGraphics::RunningReadinessThreads(), 0);
    EXPECT_TRUE(IGraphics::ImageDecoded(9221));
    IGraphics::SetDecodeObserver(nullptr);
    Gui next;
    next.graphics.ReleaseImageById(9221);
  }
  IGraphics::SetDecodeObserver(nullptr);
  unsetenv("TARNIVEX_RESOURCE_DIR");
}

TEST(Caches, FontsAreSharedByStyleAndMeasuredTextIsPlaced) {
  Gui gui;
  IText a(11, &COLOR_BLACK, "Tarnivex Fixed", IText::kStyleNormal, IText::kAlignNear);
  IText b = a;
  b.mColor = COLOR_RED;
  LICE_IFont* fa = gui.graphics.CacheFont(&a);
  ASSERT_NE(fa, nullptr);
  EXPECT_EQ(gui.graphics.CacheFont(&b), fa);  // colour is not part of the key
  EXPECT_EQ(fa->GetLineHeight(), 11);
  struct Row {
    int align;
    IRECT in, out;
  } rows[] = {
      {IText::kAlignNear, {100, 5, 100, 5}, {100, 5, 118, 17}},
      {IText::kAlignCenter, {100, 5, 140, 5}, {111, 5, 129, 17}},
      {IText::kAlignFar, {100, 5, 140, 5}, {122, 5, 140, 17}},
  };
  for (Row row : rows) {
    a.mAlign = row.align;
    EXPECT_TRUE(gui.graphics.MeasureIText(&a, "abc", &row.in));
    EXPECT_EQ(row.in, row.out) << row.align;
  }
  // A fitted text control shows a text as wide as it whole; a wider one is
  // cut between whole characters with ".." and handed whole to the log.
  const struct {
    const char* text;
    int width;
    const char* shown;
  } fits[] = {
      {"abcdef", 36, "abcdef"},  // exactly as wide as its field
      {"abcdefg", 36, "abcd.."},
      {"abcd efg", 42, "abcd.."},  // no blank before the mark
      {"a\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", 24, "a\xC3\xA9.."},
      // Euro signs: a cut inside one would draw its first bytes as two more.
      {"\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC", 24, "\xE2\x82\xAC\xE2\x82\xAC.."},
      {"a\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC", 24, "a\xE2\x82\xAC.."},
      {"abc\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC", 36, "abc\xE2\x82\xAC.."},
  };
  a.mAlign = IText::kAlignNear;
  for (const auto& fit : fits) {
    ITextControl display(nullptr, IRECT(0, 0, fit.width, 12), &a, fit.text);
    std::vector<std::string> logged;
    display.FitToRect([&](const std::string& whole) { logged.push_back(whole); });
    EXPECT_EQ(display.ShownText(&gui.graphics), fit.shown) << fit.text;
    EXPECT_EQ(display.ShownText(&gui.graphics), fit.shown) << fit.text;  // logged once
    EXPECT_EQ(logged, std::string(fit.text) == fit.shown ? std::vector<std::string>{}
                                                         : std::vector<std::string>{fit.text})
        << fit.text;
  }
  IRECT untouched(1, 2, 3, 4);
  IText fresh(13, &COLOR_BLACK, "Tarnivex Fixed");
  EXPECT_TRUE(gui.graphics.DrawIText(&fresh, "", &untouched));
  EXPECT_EQ(fresh.mCached, nullptr);  // an empty string makes no font
}

TEST(Drawing, BitmapsAreClippedToTheDrawRectAndFramesChosenByState) {
  Gui gui(40, 40);
  IBitmap strip = Strip(10, 10, 3);
  IRECT dest(5, 5, 15, 15);
  const IColor fill(255, 9, 8, 7);
  constexpr int kFill = -1;  // a fill of dest in place of the bitmap
  struct Row {
    int state;
    IRECT drawRect;
    int x, y;
    LICE_pixel expected;
  } rows[] = {
      {0, {0, 0, 40, 40}, 5, 5, FrameColour(0)},
      {1, {0, 0, 40, 40}, 14, 14, FrameColour(0)},
      {3, {0, 0, 40, 40}, 5, 5, FrameColour(2)},
      {2, {10, 10, 40, 40}, 9, 9, 0},           // outside the draw rectangle
      {2, {10, 10, 40, 40}, 10, 10, FrameColour(1)},
      {kFill, {0, 0, 40, 40}, 5, 5, LICE_RGBA(9, 8, 7, 255)},
      {kFill, {10, 10, 40, 40}, 9, 9, 0},       // a fill stops there too
      {kFill, {10, 10, 40, 40}, 14, 14, LICE_RGBA(9, 8, 7, 255)},
      {kFill, {20, 20, 40, 40}, 14, 14, 0},     // the pass misses it
  };
  for (const Row& row : rows) {
    LICE_Clear(gui.graphics.GetDrawBitmap(), 0);
    gui.Clip(row.drawRect);
    if (row.state == kFill)
      gui.graphics.FillIRect(&fill, &dest, nullptr);
    else
      gui.graphics.DrawBitmap(&strip, &dest, row.state, nullptr);
    EXPECT_EQ(gui.At(row.x, row.y), row.expected) << row.state;
  }
  const IColor c(255, 1, 2, 3);
  gui.graphics.ForcePixel(&c, 40, 0);  // off the surface: ignored
  gui.graphics.ForcePixel(&c, -1, 5);
  gui.graphics.ForcePixel(&c, 39, 39);
  EXPECT_EQ(gui.At(39, 39), LICE_RGBA(1, 2, 3, 255));
  EXPECT_EQ(LiceBlendMode(nullptr), 0x10000);
  const IChannelBlend replace(IChannelBlend::kBlendClobber), odd(IChannelBlend::EBlendMethod(7));
  EXPECT_EQ(LiceBlendMode(&replace), 0);
  EXPECT_EQ(LiceBlendMode(&odd), 0x10000);
}

TEST(Drawing, BitmapTextLaysOutCellsAndSurvivesNoRoom) {
  Gui gui(120, 40);
  IBitmap strip = Strip(8, 10, 95);
  IText left(12, nullptr, nullptr, IText::kStyleNormal, IText::kAlignNear);
  IRECT r(0, 0, 100, 10);
  gui.Clip({0, 0, 120, 40});
  LICE_Clear(gui.graphics.GetDrawBitmap(), 0);
  // 14 characters in 10 cells: 10 on the first line, 4 on a second.
  DrawBitmapedText(&gui.graphics, &strip, &r, &left, nullptr, "ABCDEFGHIJKLMN", false, false, 8, 10);
  EXPECT_EQ(gui.At(8, 0), FrameColour('A' - 32));
  EXPECT_EQ(gui.At(8 + 9 * 8, 0), FrameColour('J' - 32));
  EXPECT_EQ(gui.At(8 + 3 * 8, 10), FrameColour('N' - 32));
  EXPECT_EQ(gui.At(8 + 4 * 8, 10), 0u);
  // No cell width, or no room between the margins: nothing, and no fault.
  LICE_Clear(gui.graphics.GetDrawBitmap(), 0);
  IRECT narrow(0, 0, 10, 10);
  EXPECT_TRUE(DrawBitmapedText(&gui.graphics, &strip, &r, &left, nullptr, "AB", false, true, 0, 10));
  EXPECT_TRUE(DrawBitmapedText(&gui.graphics, &strip, &narrow, &left, nullptr, "AB", false, true, 8, 10));
  EXPECT_EQ(gui.At(8, 0), 0u);
}
