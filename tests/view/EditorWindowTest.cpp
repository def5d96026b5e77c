// The built plug-in's editor as a Linux host meets it: the host makes a
// window on a private Xvfb, passes its id to the editor-open call, drives
// the editor with idle calls and reads the pixels back.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "HostWindow.h"
#include "TestHost.h"
#include "XvfbServer.h"
#include "lice.h"

#ifndef TARNIVEX_SCREENSHOT_DIR
#error "TARNIVEX_SCREENSHOT_DIR names the folder for screenshots"
#endif

namespace {
constexpr int kEditorW = 1500, kEditorH = 757;
constexpr int kHostW = 1560, kHostH = 800;
constexpr unsigned kHostGrey = 0xD6D3CC;

// The document's main background, which covers the whole window until a page
// is shown, as 0xRRGGBB pixels; the rail drawn over its top rows is skipped.
constexpr int kRailRows = 6;
std::vector<unsigned> MainBackground() {
  std::vector<unsigned> out;
  LICE_MemBitmap bm;
  if (!LICE_LoadPNG(TARNIVEX_MAIN_BACKGROUND, &bm)) return out;
  for (int y = 0; y < bm.getHeight(); ++y)
    for (int x = 0; x < bm.getWidth(); ++x) out.push_back(unsigned(LICE_ToRRGGBB(LICE_GetPixel(&bm, x, y))));
  return out;
}

class EditorWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start(1700, 900)) << server.Error();
    window = std::make_unique<HostWindow>(40, 30, kHostW, kHostH, kHostGrey);
    ASSERT_TRUE(window->Ok());
    ASSERT_TRUE(plugin.Loaded()) << plugin.LoadError();
    ASSERT_NE(plugin.Create(), nullptr);
    plugin.Dispatch(effOpen);
  }
  void TearDown() override {
    plugin.Close();
    window.reset();
    server.Stop();
  }
  void Idle() {
    window->Sync();
    plugin.Dispatch(effEditIdle);
  }
  // True once every pixel of the editor shows the main background.
  bool Painted(Window child) {
    int w = 0, h = 0;
    const std::vector<unsigned> pixels = window->Pixels(child, &w, &h);
    if (w != kEditorW || h != kEditorH || background.size() != pixels.size()) return false;
    // The controls cover most of the face; the window's bottom row is frame.
    return std::equal(pixels.end() - w, pixels.end(), background.end() - w);
  }

  XvfbServer server;
  std::unique_ptr<HostWindow> window;
  const std::vector<unsigned> background = MainBackground();
  TestHost plugin;
};
}  // namespace

TEST_F(EditorWindowTest, OpensInsideTheHostWindowAndPaints) {
  ERect* rect = nullptr;
  ASSERT_EQ(plugin.Dispatch(effEditGetRect, 0, 0, &rect), 1);
  EXPECT_EQ(rect->right - rect->left, kEditorW);
  EXPECT_EQ(rect->bottom - rect->top, kEditorH);

  ASSERT_EQ(plugin.Dispatch(effEditOpen, 0, 0, window->Handle()), 1);
  const std::vector<Window> children = window->Children();
  ASSERT_EQ(children.size(), 1u);
  int x, y, w, h, hostX, hostY, hostW, hostH;
  ASSERT_TRUE(window->Geometry(children[0], &x, &y, &w, &h));
  ASSERT_TRUE(window->Geometry(window->GetWindow(), &hostX, &hostY, &hostW, &hostH));
  EXPECT_EQ(w, kEditorW);
  EXPECT_EQ(h, kEditorH);
  EXPECT_EQ(x, hostX);
  EXPECT_EQ(y, hostY);

  EXPECT_TRUE(PumpUntil([&] { Idle(); }, [&] { return Painted(children[0]); }));

  // What a person sees: the editor inside the host's window.
  int shotW = 0, shotH = 0;
  const std::vector<unsigned> shot = window->Pixels(window->GetWindow(), &shotW, &shotH);
  std::filesystem::create_directories(TARNIVEX_SCREENSHOT_DIR);
  const std::string path = std::string(TARNIVEX_SCREENSHOT_DIR) + "/editor-in-host-window.png";
  EXPECT_TRUE(WritePng(path, shot, shotW, shotH)) << path;
  ASSERT_EQ(shotW, kHostW);
  EXPECT_EQ(shot[static_cast<size_t>(kHostH - 1) * kHostW + kHostW - 1], kHostGrey);  // the host's own part
  ASSERT_EQ(background.size(), static_cast<size_t>(kEditorW) * kEditorH);
  EXPECT_EQ(shot[static_cast<size_t>(kEditorH - 1) * kHostW + kEditorW - 1], background.back());

  EXPECT_EQ(plugin.Dispatch(effEditClose), 1);
  window->Sync();
  EXPECT_TRUE(window->Children().empty());
}

TEST_F(EditorWindowTest, BothOpenPathsFiftyTimesOver) {
  for (int i = 0; i < 50; ++i) {
    if (i == 25) plugin.Dispatch(effCanDo, 0, 0, const_cast<char*>("hasCockosViewAsConfig"));
    ASSERT_EQ(plugin.Dispatch(effEditOpen, 0, 0, window->Handle()), 1) << i;
    Idle();
    ASSERT_EQ(window->Children().size(), 1u) << i;
    if (i % 10 == 0) {
      EXPECT_EQ(plugin.Dispatch(effEditOpen, 0, 0, window->Handle()), 1);  // opening again replaces the view
    }
    EXPECT_EQ(plugin.Dispatch(effEditClose), 1);
    window->Sync();
    ASSERT_TRUE(window->Children().empty()) << i;
  }
  // A host that closes the plug-in with the editor open.
  ASSERT_EQ(plugin.Dispatch(effEditOpen, 0, 0, window->Handle()), 1);
  plugin.Close();
  window->Sync();
  EXPECT_TRUE(window->Children().empty());
}

TEST_F(EditorWindowTest, WhatIsNotAWindowIsRefused) {
  EXPECT_EQ(plugin.Dispatch(effEditOpen, 0, 0, nullptr), 0);
  EXPECT_EQ(plugin.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(0x7654321)), 0);
  EXPECT_EQ(plugin.Dispatch(effEditIdle), 0);
  // Keys the editor does not take go back to the host.
  ASSERT_EQ(plugin.Dispatch(effEditOpen, 0, 0, window->Handle()), 1);
  EXPECT_EQ(plugin.Dispatch(effEditKeyDown, 'a', 0), 0);
  EXPECT_EQ(plugin.Dispatch(effEditKeyUp, 'a', 0), 0);
  EXPECT_EQ(plugin.Dispatch(effEditClose), 1);
}

// An edit through the view reaches the host as a state change (the host
// shows no parameters, so this is what marks its project modified), once
// per idle call however many edits came, and never without an edit.
TEST_F(EditorWindowTest, AnEditThroughTheViewTellsTheHostTheStateChanged) {
  ASSERT_EQ(plugin.Dispatch(effEditOpen, 0, 0, window->Handle()), 1);
  const std::vector<Window> children = window->Children();
  ASSERT_EQ(children.size(), 1u);
  ASSERT_TRUE(PumpUntil([&] { Idle(); }, [&] { return Painted(children[0]); }));
  for (int i = 0; i < 20; ++i) Idle();
  EXPECT_EQ(plugin.CountCalls(audioMasterUpdateDisplay), 0);
  int hostX, hostY, hostW, hostH;
  ASSERT_TRUE(window->Geometry(window->GetWindow(), &hostX, &hostY, &hostW, &hostH));
  // A page tab (the six along the top, 104 px each from x 854) switches
  // the page; the project saves nothing of it, so the host is not told.
  // The page switched when most of the window changed.
  const auto pixels = [&] {
    int w = 0, h = 0;
    return window->Pixels(children[0], &w, &h);
  };
  const std::vector<unsigned> pageBefore = pixels();
  const auto switched = [&] {
    const std::vector<unsigned> now = pixels();
    if (now.size() != pageBefore.size()) return false;
    size_t changed = 0;
    for (size_t i = 0; i < now.size(); ++i) changed += now[i] != pageBefore[i];
    return changed > now.size() / 4;
  };
  bool shown = false;
  for (int tab = 2; tab < 6 && !shown; ++tab) {
    window->MoveTo(hostX + 854 + 104 * tab + 52, hostY + 30);
    window->Click();
    shown = PumpUntil([&] { Idle(); }, switched, std::chrono::milliseconds(1000));
  }
  ASSERT_TRUE(shown);
  for (int i = 0; i < 20; ++i) Idle();
  EXPECT_EQ(plugin.CountCalls(audioMasterUpdateDisplay), 0);
  // The part buttons down the left edge: one of them that is not the part
  // shown changes the project's state.
  bool told = false;
  for (int k = 2; k < 12 && !told; ++k) {
    window->MoveTo(hostX + 14, hostY + 68 + 30 * k);
    window->Click();
    told = PumpUntil([&] { Idle(); }, [&] { return plugin.CountCalls(audioMasterUpdateDisplay) > 0; },
                     std::chrono::milliseconds(500));
  }
  EXPECT_TRUE(told);
  for (int i = 0; i < 20; ++i) Idle();
  EXPECT_EQ(plugin.CountCalls(audioMasterUpdateDisplay), 1);
  // The host was shown no parameter: no automation, begin or end call of
  // the edits names one, and what begins ends.
  for (const HostCall& call : plugin.Calls()) {
    const bool edit = call.opcode == audioMasterAutomate || call.opcode == audioMasterBeginEdit ||
                      call.opcode == audioMasterEndEdit;
    EXPECT_FALSE(edit && call.index >= plugin.Effect()->numParams) << "opcode " << call.opcode << " index " << call.index;
  }
  EXPECT_EQ(plugin.CountCalls(audioMasterBeginEdit), plugin.CountCalls(audioMasterEndEdit));
  EXPECT_EQ(plugin.Dispatch(effEditClose), 1);
}
