// The Linux graphics context over its view, without a window system: what
// it hands the view, what it answers with no view, and the resource loader.
#include <unistd.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "Bitmap.h"
#include "IGraphicsLinux.h"

namespace {
// A view that keeps what the graphics context gave it.
class ScriptedView : public HeadlessView {
 public:
  using HeadlessView::HeadlessView;
  void SetClient(EditorViewClient* c) override { client = c; }
  void SetRedrawInterval(int ms) override { intervalMs = ms; }
  void Idle() override { ++idles; }
  void Invalidate(const ViewRect& r) override { invalid = invalid.Union(r); }
  int MessageBox(const char* text, const char*, int type) override {
    lastMessage = text;
    return type == 4 ? 7 : 1;
  }
  bool PromptForFile(const ViewFilePrompt& p, std::string* chosen) override {
    prompt = p;
    *chosen = answer;
    return !answer.empty();
  }
  void SetCursorHidden(bool hidden) override { cursorHidden = hidden; }
  void EndTextEntry(bool commit) override { ended.push_back(commit); }

  EditorViewClient* client = nullptr;
  int intervalMs = 0;
  int idles = 0;
  ViewRect invalid;
  std::string lastMessage;
  ViewFilePrompt prompt;
  std::string answer;
  bool cursorHidden = false;
  std::vector<bool> ended;
};

class ScriptedViews : public EditorViewFactory {
 public:
  std::unique_ptr<EditorView> Open(EditorView::Kind kind, void* parent, int w, int h) override {
    auto view = std::make_unique<ScriptedView>(kind, parent, w, h);
    last = view.get();
    last->answer = answer;
    ++opens;
    return view;
  }
  ScriptedView* last = nullptr;
  // A new view may get the address of the one just closed: opens tell them apart.
  int opens = 0;
  std::string answer;
};

class GraphicsLinuxTest : public ::testing::Test {
 protected:
  void SetUp() override { SetEditorViewFactory(views); }
  void TearDown() override { SetEditorViewFactory(nullptr); }
  std::shared_ptr<ScriptedViews> views = std::make_shared<ScriptedViews>();
  IGraphicsLinux graphics{nullptr, 120, 80, 0};
};
}  // namespace

TEST_F(GraphicsLinuxTest, WithoutAViewEverythingAnswersClosed) {
  graphics.Idle();
  EXPECT_FALSE(graphics.OnHostKeyDown('a', 0));
  EXPECT_EQ(graphics.ShowMessageBox("text", "caption", 4), 0);
  graphics.HideMouseCursor();
  graphics.ShowMouseCursor();
  WDL_String name("Bank.syx"), dir("/tmp/");
  char ext[] = "syx";
  graphics.PromptForFile(&name, kFileOpen, &dir, ext);
  EXPECT_STREQ(name.Get(), "");
  EXPECT_EQ(views->last, nullptr);
}

TEST_F(GraphicsLinuxTest, TheViewDrawsTheSurfaceAndGetsTheCalls) {
  graphics.PrepDraw();
  int rowSpan = 0;
  ASSERT_NE(graphics.OpenWindow(reinterpret_cast<void*>(0x42)), nullptr);
  ScriptedView* view = views->last;
  ASSERT_NE(view, nullptr);
  ASSERT_NE(view->client, nullptr);
  EXPECT_EQ(view->intervalMs, 40);  // 25 frames a second
  EXPECT_EQ(view->Width(), 120);
  EXPECT_EQ(view->Height(), 80);

  // A new surface is shown whole.
  const IColor panel(255, 0x2B, 0x2D, 0x31);
  graphics.AttachPanelBackground(&panel);
  graphics.PrepDraw();
  EXPECT_EQ(view->invalid, (ViewRect{0, 0, 120, 80}));
  view->client->Draw({10, 10, 20, 20});
  const unsigned* bits = view->client->FrameBits(&rowSpan);
  ASSERT_EQ(bits, graphics.GetDrawBitmap()->getBits());
  EXPECT_EQ(rowSpan, graphics.GetDrawBitmap()->getRowSpan());
  EXPECT_EQ(bits[15 * rowSpan + 15], LICE_RGBA(0x2B, 0x2D, 0x31, 255));
  // The background too paints only inside the pass; the area asked for
  // next takes it.
  EXPECT_EQ(bits[25 * rowSpan + 25], 0u);
  view->client->Draw({0, 0, 120, 80});
  EXPECT_EQ(bits[25 * rowSpan + 25], LICE_RGBA(0x2B, 0x2D, 0x31, 255));

  graphics.Idle();
  graphics.Idle();
  EXPECT_EQ(view->idles, 2);
  EXPECT_EQ(graphics.ShowMessageBox("Overwrite?", "Save", 4), 7);
  EXPECT_EQ(view->lastMessage, "Overwrite?");
  graphics.HideMouseCursor();
  EXPECT_TRUE(view->cursorHidden);
  graphics.ShowMouseCursor();
  EXPECT_FALSE(view->cursorHidden);
  graphics.ForceEndUserEdit();
  EXPECT_EQ(view->ended, std::vector<bool>{false});
  EXPECT_FALSE(graphics.PromptForColor(nullptr, nullptr));
  graphics.CloseWindow();
  EXPECT_FALSE(graphics.WindowIsOpen());
}

TEST_F(GraphicsLinuxTest, FilePromptsGoToTheView) {
  struct Row {
    EFileAction action;
    const char* answer;
    const char* name;
    const char* dir;
  };
  const Row rows[] = {
      {kFileSave, "/home/u/Patches/New.syx", "/home/u/Patches/New.syx", "/home/u/Patches/"},
      {kFileOpen, "", "", "/start/"},  // cancelled: the folder stays
  };
  for (const Row& row : rows) {
    views->answer = row.answer;
    graphics.OpenWindow(reinterpret_cast<void*>(0x42));
    WDL_String name("Proposed.syx"), dir("/start/");
    char ext[] = "syx mid";
    graphics.PromptForFile(&name, row.action, &dir, ext);
    EXPECT_STREQ(name.Get(), row.name);
    EXPECT_STREQ(dir.Get(), row.dir);
    const ViewFilePrompt& asked = views->last->prompt;
    EXPECT_EQ(asked.save, row.action == kFileSave);
    EXPECT_EQ(asked.directory, "/start/");
    EXPECT_EQ(asked.fileName, "Proposed.syx");
    EXPECT_EQ(asked.extensions, "syx mid");
  }
  // An empty folder starts on the desktop and keeps "~/Desktop", cancelled
  // or not; the dialog gets it expanded.
  const char* home = std::getenv("HOME");
  WDL_String name, dir;
  views->answer = "";
  graphics.PromptForFile(&name, kFileOpen, &dir, nullptr);
  EXPECT_STREQ(dir.Get(), "~/Desktop");
  EXPECT_EQ(views->last->prompt.directory, std::string(home ? home : "") + "/Desktop");
  WDL_String desktop;
  graphics.DesktopPath(&desktop);
  EXPECT_EQ(views->last->prompt.directory, desktop.Get());
}

// Each open call closes what was open and opens its family's view on the
// parent it was given; the GUI API then names that family.
TEST_F(GraphicsLinuxTest, TheGuiApiNamesTheOpenViewsFamily) {
  EXPECT_STREQ(graphics.GetGUIAPI(), "Cocoa gui");
  void* const parent = reinterpret_cast<void*>(0x42);
  using Open = std::function<void*()>;
  const struct {
    const char* what;
    Open open;
    EditorView::Kind kind;
    const char* api;
  } rows[] = {
      {"OpenWindow(view)", [&] { return graphics.OpenWindow(parent); }, EditorView::Kind::kViewAsConfig, "Cocoa gui"},
      {"OpenCocoaWindow", [&] { return graphics.OpenCocoaWindow(parent); }, EditorView::Kind::kViewAsConfig, "Cocoa gui"},
      {"OpenWindow(window, ...)", [&] { return graphics.OpenWindow(parent, nullptr, 0, 0); }, EditorView::Kind::kWindow,
       "Carbon Composited gui"},
      {"OpenCarbonWindow", [&] { return graphics.OpenCarbonWindow(parent, nullptr, 3, 4); }, EditorView::Kind::kWindow,
       "Carbon Composited gui"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const int before = views->opens;
    void* handle = row.open();
    ASSERT_EQ(views->opens, before + 1);
    EXPECT_EQ(handle, views->last->Handle());
    EXPECT_EQ(views->last->GetKind(), row.kind);
    EXPECT_EQ(views->last->GetParent(), parent);
    EXPECT_EQ(graphics.GetWindow(), handle);
    EXPECT_STREQ(graphics.GetGUIAPI(), row.api);
  }
  graphics.CloseWindow();
  EXPECT_STREQ(graphics.GetGUIAPI(), "Cocoa gui");
  // No view takes a frame; no system version to report.
  EXPECT_FALSE(graphics.DrawScreen(nullptr));
  EXPECT_EQ(IGraphicsLinux::GetUserOSVersion(), 0);
}

TEST_F(GraphicsLinuxTest, HostAndPluginPathsComeFromTheLoadedFile) {
  // Here the code is part of the test program, which plays the .so's part.
  WDL_String host("unchanged"), plugin;
  graphics.HostPath(&host);
  graphics.PluginPath(&plugin);
  const std::filesystem::path file(host.Get());
  EXPECT_TRUE(std::filesystem::exists(file)) << host.Get();
  EXPECT_EQ(std::string(plugin.Get()), file.parent_path().parent_path().string() + "/");
}

TEST_F(GraphicsLinuxTest, ResourcesLoadWholeWithATrailingNul) {
  const std::filesystem::path folder = std::filesystem::path(::testing::TempDir()) / ("graphics-resources-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const std::pair<const char*, size_t> files[] = {{"big.tea", 5000000}, {"small.tea", 10}, {"empty.tea", 0}};
  for (auto [name, size] : files) {
    std::ofstream out(folder / name, std::ios::binary);
    for (size_t i = 0; i < size; ++i) out.put(static_cast<char>('a' + i % 26));
  }
  setenv("TARNIVEX_RESOURCE_DIR", folder.c_str(), 1);
  for (auto [name, size] : files) {
    const auto bytes = graphics.LoadFile(0, (std::string("resources/") + name).c_str());
    ASSERT_NE(bytes, nullptr) << name;
    EXPECT_EQ(graphics.GetLoadedFileSize(), static_cast<int>(size)) << name;
    EXPECT_EQ(bytes[size], 0) << name;
    if (size) {
      EXPECT_EQ(bytes[size - 1], 'a' + (size - 1) % 26) << name;
    }
  }
  EXPECT_EQ(graphics.LoadFile(0, "missing.tea"), nullptr);
  // One that is there but cannot be read says so, with no line end.
  std::filesystem::create_directories(folder / "folder.tea");
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(graphics.LoadFile(0, "resources/folder.tea"), nullptr);
  std::fflush(stdout);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "failed to open file\n");

  // Images: PNG by the name's extension in any case, through the loader
  // the graphics context's own loading uses.
  static const unsigned char kPng[] = {
      0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x00,
      0x02, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00, 0x00, 0xF4, 0x22, 0x7F, 0x8A, 0x00, 0x00, 0x00, 0x11, 0x49,
      0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0x38, 0x21, 0xC7, 0xFE, 0x9F, 0x4B, 0x44, 0xEE, 0x3F, 0x00, 0x0D, 0xDF, 0x03,
      0x28, 0xB9, 0x61, 0x7E, 0x73, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
  std::filesystem::create_directories(folder / "img");
  for (const char* name : {"img/dot.png", "img/DOT.PNG", "img/dot.png.bak", "img/dotpng"})
    std::ofstream(folder / name, std::ios::binary).write(reinterpret_cast<const char*>(kPng), sizeof kPng);
  const std::pair<const char*, bool> images[] = {{"resources/img/dot.png", true}, {"resources/img/DOT.PNG", true},
                                                 {"resources/img/dot.png.bak", false}, {"resources/img/dotpng", false},
                                                 {"resources/img/none.png", false}, {nullptr, false}};
  for (const auto& [name, loads] : images) {
    const std::unique_ptr<LICE_IBitmap> bitmap = LoadImgFromResourceOSX("com.kelmscroft.tarnivex", name);
    EXPECT_EQ(bitmap != nullptr, loads) << (name ? name : "(null)");
    if (bitmap) {
      EXPECT_EQ(bitmap->getWidth(), 2);
      EXPECT_EQ(bitmap->getBits()[0], LICE_RGBA(200, 30, 7, 255));
    }
  }
  unsetenv("TARNIVEX_RESOURCE_DIR");
  std::filesystem::remove_all(folder);
}
