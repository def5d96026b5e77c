// The pages as a user reaches them: the editor opened on the headless view at
// each size and colour scheme, each main page shown by clicking its tab, and
// the frame held against its stored reference.
#include <unistd.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "ControlLayer.h"
#include "EditorPages.h"
#include "IGraphics.h"
#include "ParamIndex.h"
#include "SnapshotReference.h"
#include "Tarnivex.h"
#include "UIConfigManager.h"
#include "lice.h"

namespace {
// Whether or not references are being stored, a test of the comparison
// holds its own: storing is switched off while it runs, and back on after.
class ReferencesHeld {
 public:
  ReferencesHeld() {
    const char* updating = std::getenv("TARNIVEX_UPDATE_SNAPSHOTS");
    mWasSet = updating != nullptr;
    if (updating) mSaved = updating;
    unsetenv("TARNIVEX_UPDATE_SNAPSHOTS");
  }
  ~ReferencesHeld() {
    if (mWasSet) setenv("TARNIVEX_UPDATE_SNAPSHOTS", mSaved.c_str(), 1);
  }

 private:
  bool mWasSet = false;
  std::string mSaved;
};

// The image that fills each page's area, shown where no section lies.
const char* pageImage(const editorpages::Page& page) {
  switch (page.tab) {
    case 0: return page.settingsFace ? "MULTI_SETTINGS_BG2_ID" : "MULTI_MIXER_BG_ID";
    case 1: return "BG_ID_BROWSER";
    case 2: return "OSCILLATORS_ID";
    case 3: return "FILTERS_ENV_ID";
    case 4: return "LFO_MODMATRIX_ID";
    default: return "EFFECTS_ID";
  }
}

// One scheme at one size a test, each opening its own editor: the pages of
// all nine take minutes of CPU in the sanitizer build, too long for one test
// on a busy machine.
struct SchemeAndSize {
  const char* scheme;
  editorpages::Size size;
};

// Named so in the test's listing (and ctest's), not as bytes.
void PrintTo(const SchemeAndSize& c, std::ostream* os) { *os << c.scheme << " " << c.size.name; }

std::vector<SchemeAndSize> schemesAndSizes() {
  std::vector<SchemeAndSize> all;
  for (const char* scheme : editorpages::kSchemes)
    for (const editorpages::Size& size : editorpages::kSizes) all.push_back({scheme, size});
  return all;
}

class EveryMainPage : public ::testing::TestWithParam<SchemeAndSize> {};

TEST_P(EveryMainPage, MatchesItsReference) {
  const char* scheme = GetParam().scheme;
  const editorpages::Size& size = GetParam().size;
  editorpages::Editor editor(scheme, size);
  IGraphics& g = editor.graphics();
  ASSERT_EQ(g.Width(), static_cast<int>(1500 * size.scale));
  UIConfigManager& ui = *editor.plug().uiConfigManager;
  for (const editorpages::Page& page : editorpages::kPages) {
    const std::string name = std::string(page.name) + "-" + scheme + "-" + size.name + ".png";
    SCOPED_TRACE(name);
    editor.Show(page);
    // The page asked for is the one drawn: its tab is set, its page layer
    // the one shown, its face the one asked for, its image on screen.
    EXPECT_EQ(editor.plug().GetParam(kMainTab)->Int(), page.tab);
    EXPECT_EQ(editor.ShownTab(), page.tab);
    if (page.tab == 0) {
      EXPECT_EQ(ui.layerMap.at("multiModeSettingsPage2")->IsVisible(), page.settingsFace);
      EXPECT_EQ(ui.layerMap.at("multiModeSettingsPage1")->IsVisible(), !page.settingsFace);
    }
    const IBitmap image = ui.getImageByName(&g, pageImage(page));
    ASSERT_NE(image.mData, nullptr);
    const int px = editor.scaled(5), py = editor.scaled(300);
    EXPECT_EQ(LICE_GetPixel(g.GetDrawBitmap(), editor.scaled(70) + px, editor.scaled(64) + py) | 0xFF,
              LICE_GetPixel(image.mData, px, py) | 0xFF);
    const std::string differs = snapshots::compare(g.GetDrawBitmap(), name);
    EXPECT_TRUE(differs.empty()) << differs;
    // Every control and caption where it was, in every scheme alike.
    const std::string changed =
        snapshots::compareList(editor.ShownLayout(), std::string(page.name) + "-" + size.name + ".txt");
    EXPECT_TRUE(changed.empty()) << changed;
  }
}

INSTANTIATE_TEST_SUITE_P(TabSnapshot, EveryMainPage, ::testing::ValuesIn(schemesAndSizes()),
                         [](const ::testing::TestParamInfo<SchemeAndSize>& info) {
                           return std::string(info.param.scheme) + "_" + info.param.size.name;
                         });

TEST(TabSnapshot, AChangedFrameOrAMissingReferenceFailsAndSmallTextDifferencesPass) {
  const ReferencesHeld storingOff;
  const std::string folder = ::testing::TempDir() + "/snapshot-references-" + std::to_string(getpid());
  std::filesystem::remove_all(folder);
  LICE_MemBitmap frame(200, 100);
  LICE_Clear(&frame, LICE_RGBA(40, 40, 48, 255));
  EXPECT_NE(snapshots::compare(&frame, "frame.png", folder).find("no reference"), std::string::npos);
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(std::string(TARNIVEX_SNAPSHOT_DIR) + "/frame.png", folder + "/frame.png");
  EXPECT_EQ(snapshots::compare(&frame, "frame.png", folder), "");
  // A few pixels of a glyph drawn otherwise, or a shade off: the same page.
  for (int x = 10; x < 30; ++x) LICE_PutPixel(&frame, x, 10, LICE_RGBA(255, 255, 255, 255), 1.0f, 0);
  for (int x = 0; x < 200; ++x) LICE_PutPixel(&frame, x, 50, LICE_RGBA(52, 52, 60, 255), 1.0f, 0);
  EXPECT_EQ(snapshots::compare(&frame, "frame.png", folder), "");
  // A control moved by a few pixels: another page.
  LICE_FillRect(&frame, 100, 40, 30, 20, LICE_RGBA(250, 214, 120, 255), 1.0f, 0);
  EXPECT_NE(snapshots::compare(&frame, "frame.png", folder).find("pixels differ"), std::string::npos);
  // A 40 x 40 change to a frame of the small size: 1,600 pixels, less than
  // the 1,639 the whole frame allows, but 400 or more in one square of 32.
  LICE_MemBitmap page(1275, 643);
  LICE_Clear(&page, LICE_RGBA(40, 40, 48, 255));
  snapshots::compare(&page, "page.png", folder);
  std::filesystem::copy_file(std::string(TARNIVEX_SNAPSHOT_DIR) + "/page.png", folder + "/page.png");
  EXPECT_EQ(snapshots::compare(&page, "page.png", folder), "");
  LICE_FillRect(&page, 610, 300, 40, 40, LICE_RGBA(250, 214, 120, 255), 1.0f, 0);
  EXPECT_NE(snapshots::compare(&page, "page.png", folder).find("pixels differ in the square at 608,288"),
            std::string::npos);
}

TEST(TabSnapshot, AMovedControlOrAChangedCaptionFailsAndSaysWhatChanged) {
  const ReferencesHeld storingOff;
  const std::string folder = ::testing::TempDir() + "/list-references-" + std::to_string(getpid());
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const std::vector<std::string> held = {"caption \"DETUNE\"\t215,98", "control IKnobMultiControl kOscillator1Detune\t210,108 46x46",
                                         "control IBitmapControl -\t70,64 1420x620"};
  std::ofstream(folder + "/page.txt") << held[0] << "\n" << held[1] << "\n" << held[2] << "\n";
  struct Case {
    const char* what;
    std::vector<std::string> shown;
    const char* change;  // the report's first change; empty: none
  };
  const Case cases[] = {
      {"the same", held, ""},
      {"in another order", {held[2], held[0], held[1]}, ""},
      {"a knob moved 6 px", {held[0], "control IKnobMultiControl kOscillator1Detune\t216,108 46x46", held[2]},
       "control IKnobMultiControl kOscillator1Detune: 216,108 46x46, was 210,108 46x46"},
      {"a caption renamed", {"caption \"DETUNX\"\t215,98", held[1], held[2]},
       "215,98: caption \"DETUNX\", was caption \"DETUNE\""},
      {"a control gone", {held[0], held[1]}, "control IBitmapControl - at 70,64 1420x620 is gone"},
      {"a caption new", {held[0], held[1], held[2], "caption \"FINE\"\t270,98"}, "caption \"FINE\" at 270,98 is new"},
  };
  for (const Case& c : cases) {
    const std::string report = snapshots::compareList(c.shown, "page.txt", folder);
    if (std::string(c.change).empty()) {
      EXPECT_EQ(report, "") << c.what;
    } else {
      EXPECT_NE(report.find("1 changes from " + folder + "/page.txt:\n  " + c.change), std::string::npos)
          << c.what << "\n" << report;
    }
  }
  EXPECT_NE(snapshots::compareList(held, "other.txt", folder).find("no reference"), std::string::npos);
}
}  // namespace
