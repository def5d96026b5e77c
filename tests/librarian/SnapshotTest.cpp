// The librarian page drawn headless over the fixture library: both panes
// with a selection in each and the upper folder menu open on its "Leads"
// submenu, written as a PNG under the build folder for people to look at.
#include <gtest/gtest.h>

#include <filesystem>

#include "Blit.h"
#include "BrowserTestSupport.h"
#include "Fill.h"
#include "FolderMenuControl.h"
#include "HostWindow.h"
#include "IGraphicsLinux.h"
#include "LibrarianViewControl.h"
#include "MenuLayout.h"
#include "ParamIndex.h"
#include "ViewMenuTree.h"
#include "ViewText.h"

namespace {
constexpr int kWidth = 1100, kHeight = 580;

// Paints one menu level at (x, y) of the page; its width.
int paintLevel(LICE_IBitmap* page, const ViewMenu& level, const ViewText& text, int x, int y, int hover) {
  const MenuLayout layout(level, text);
  LICE_MemBitmap drawn(layout.Width(), layout.Height());
  layout.Paint(&drawn, text, hover);
  LICE_Blit(page, &drawn, x, y, 0, 0, layout.Width(), layout.Height(), 1.0f, 0);
  return layout.Width();
}

TEST(LibrarianSnapshot, BothPanesAndAnOpenFolderMenu) {
  FakeLibrarianHost host;
  host.loadFixture();
  host.EngineFixture::librarian.upperBank = host.bankIndex(kSoundList, "Lead B.syx");
  host.EngineFixture::librarian.lowerBank = host.bankIndex(kSoundList, "Root.syx");
  LibrarianBrowser browser(&host);

  // The panes' artwork: two dark panels on the page colour.
  LICE_MemBitmap artwork(kWidth, 560);
  LICE_Clear(&artwork, LICE_RGBA(0x30, 0x33, 0x38, 255));
  for (int top : {0, 273}) LICE_FillRect(&artwork, 0, top, kWidth, 226, LICE_RGBA(0x16, 0x1A, 0x20, 255), 1.0f, 0);
  IBitmap background(&artwork, kWidth, 560);
  IGraphicsLinux graphics(nullptr, kWidth, kHeight, 25);
  const IColor pageColour(255, 0x30, 0x33, 0x38);
  graphics.AttachPanelBackground(&pageColour);
  auto* owned = new LibrarianViewControl(nullptr, &browser, 0, 20, kLibrarianArea, &background, IRECT(), 1.0);
  graphics.AttachControl(owned);
  LibrarianViewControl& view = *owned;
  browser.view = owned;
  const SlotBox upper = view.grid().box(0, 19), lower = view.grid().box(1, 40);
  IMouseMod left(true);
  graphics.OnMouseDown(upper.L + 2, upper.B + 2, &left);  // slot 20
  graphics.OnMouseUp(upper.L + 2, upper.B + 2, &left);
  EXPECT_TRUE(graphics.OnKeyDown(upper.L + 2, upper.B + 2, 1));  // up arrow
  EXPECT_EQ(view.selectedUpper, 19);
  view.selectedLower = 40;

  graphics.PrepDraw();
  IRECT whole(0, 0, kWidth, kHeight);
  graphics.Draw(&whole);
  LICE_IBitmap* page = graphics.GetDrawBitmap();

  FolderMenuControl menu(nullptr, &browser, IRECT(394, 8, 810, 20), FolderMenuKind::kLeftPatch);
  menu.refreshFolderStructure(0, "Lead B.syx", "Leads");
  using Tree = ViewMenuTree<IPopupMenu>;
  const Tree tree(
      *menu.mainMenu(),
      [](const IPopupMenu& m) {
        return Tree::LevelDescription{m.GetNItems(), m.GetPrefix()};
      },
      [](const IPopupMenu& m, int i) {
        const IPopupMenuItem* item = m.GetItem(i);
        return Tree::ItemDescription{item->GetText(), item->GetFlags(), item->GetSubmenu()};
      });
  const ViewText text(13);
  const int mainWidth = paintLevel(page, tree.Root(), text, 398, 24, 1);
  paintLevel(page, *tree.Root().items[1].submenu, text, 398 + mainWidth, 24 + 18, -1);

  const std::string folder = std::string(TARNIVEX_SCREENSHOT_DIR);
  std::filesystem::create_directories(folder);
  std::vector<unsigned> pixels;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) pixels.push_back(unsigned(LICE_ToRRGGBB(LICE_GetPixel(page, x, y))));
  EXPECT_TRUE(WritePng(folder + "/librarian-page.png", pixels, kWidth, kHeight));

  // The selections are lit; the slots carry their names in white.
  EXPECT_EQ(LICE_GetPixel(page, upper.L, upper.T) & 0xFFFFFF00u, LICE_RGBA(225, 225, 225, 0));
  EXPECT_EQ(LICE_GetPixel(page, lower.R - 1, lower.B - 1) & 0xFFFFFF00u, LICE_RGBA(225, 225, 225, 0));
  if (!text.Ok()) GTEST_SKIP() << "no font for the menu";
  // White text on the panel, black text on the lit slot.
  auto count = [page](const SlotBox& b, auto test) {
    int n = 0;
    for (int y = b.T; y < b.B; ++y)
      for (int x = b.L; x < b.R; ++x) n += test(LICE_GETR(LICE_GetPixel(page, x, y)));
    return n;
  };
  EXPECT_GT(count(view.grid().box(0, 0), [](unsigned r) { return r > 0x80; }), 20);
  EXPECT_GT(count(upper, [](unsigned r) { return r < 0x60; }), 20);
}
}  // namespace
