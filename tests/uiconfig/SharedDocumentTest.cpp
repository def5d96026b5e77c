// The GUI document read once per process and shared: what the walk builds
// from it, log lines included, is what it built when every instance parsed
// the document itself; and instances that share it share no state.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "BuildFingerprint.h"
#include "EditorPages.h"
#include "IGraphics.h"
#include "ImageTable.h"
#include "lice.h"
#include "ParamIndex.h"
#include "ResourceCipher.h"
#include "TestSupport.h"
#include "UIConfigManager.h"
#include "UIDocument.h"

namespace {
namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// A bundle with the test's GUI document; the rest is the real bundle's.
struct DocumentBundle {
  TempDir dir;
  explicit DocumentBundle(const std::string& plainDocument) {
    const auto bytes = encipherResource(plainDocument);
    writeFile(dir.file("uiconfig.tea"), std::string(bytes.begin(), bytes.end()));
    fs::create_symlink(fs::path(TARNIVEX_BUNDLE_RESOURCES) / "img", dir.file("img"));
    fs::create_symlink(fs::path(TARNIVEX_BUNDLE_RESOURCES) / "sysex.tea", dir.file("sysex.tea"));
  }
};

// A plug-in started from the document, then a second reading of it with the
// debug log on: what that reading built and the lines it wrote.
struct SecondReading {
  LoggedPlug logged;
  UIConfigManager ui;
  std::string built;
  Lines log;
  SecondReading(const std::string& resources, int style, double scale) : logged(resources) {
    IGraphics* g = logged.plug->GetGUI();
    const int controls = g->NControls(), layers = g->NLayers();
    ui.readUIConfig(g, logged.plug.get(), nullptr, style, scale);
    log = logged.messages();
    built = BuildFingerprint(*logged.plug, ui, controls, layers).text();
  }
};

std::string joined(const Lines& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

// Taken from the walk that parsed the document per instance, before the
// document was shared.
TEST(SharedDocument, TheWalkBuildsAndLogsWhatItDidBeforeTheDocumentWasShared) {
  const struct {
    const char* document;
    int style;
    double scale;
    uint64_t built;
    size_t builtLength;
    uint64_t log;
    size_t logLines;
  } cases[] = {
      {SMALL_UICONFIG_XML, 0, 1.0, 17529825697207430361ull, 555, 3242640153625589887ull, 8},
      {FILLED_UICONFIG_XML, 0, 1.0, 2634014682764345743ull, 53810, 16273802204931107212ull, 27},
      {FILLED_UICONFIG_XML, 2, 1.15, 8056527771961021283ull, 53834, 16273802204931107212ull, 27},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.document) + " style " + std::to_string(c.style));
    DocumentBundle bundle(readFile(c.document));
    SecondReading r(bundle.dir.path, c.style, c.scale);
    EXPECT_EQ(BuildFingerprint::Hash(r.built), c.built) << r.built.size();
    EXPECT_EQ(r.built.size(), c.builtLength);
    EXPECT_EQ(BuildFingerprint::Hash(joined(r.log)), c.log);
    EXPECT_EQ(r.log.size(), c.logLines);
    if (std::getenv("TARNIVEX_PRINT_FINGERPRINTS"))
      std::printf("{%s, %d, %g, %lluull, %zu, %lluull, %zu}\n%s%s", c.document, c.style, c.scale,
                  static_cast<unsigned long long>(BuildFingerprint::Hash(r.built)), r.built.size(),
                  static_cast<unsigned long long>(BuildFingerprint::Hash(joined(r.log))), r.log.size(),
                  r.built.c_str(), joined(r.log).c_str());
  }
}

// The document is read from its file again only when the file was written
// since it was read: an unchanged file gives a further instance the document
// already read, without reading it; a written one is read, and its new text
// makes a new document.
TEST(SharedDocument, ReadAgainOnlyWhenItsFileWasWritten) {
  DocumentBundle bundle(readFile(SMALL_UICONFIG_XML));
  const std::string file = bundle.dir.file("uiconfig.tea");
  const auto documentOf = [](const LoggedPlug& p) { return p.plug->uiConfigManager->document(); };
  LoggedPlug a(bundle.dir.path), b(bundle.dir.path);
  ASSERT_TRUE(documentOf(a)->hasRoot);
  EXPECT_EQ(documentOf(b), documentOf(a));

  // The same bytes again: read, and found to be the document there is.
  const std::string tea = readFile(file);
  writeFile(file, tea);
  LoggedPlug same(bundle.dir.path);
  EXPECT_EQ(documentOf(same), documentOf(a));

  // Other bytes of the same length with the old modification time: the
  // change time still tells.
  struct stat before {};
  ASSERT_EQ(stat(file.c_str(), &before), 0);
  std::string changed = tea;
  changed[changed.size() / 2] = static_cast<char>(changed[changed.size() / 2] ^ 0x5A);
  writeFile(file, changed);
  const timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
  LoggedPlug damaged(bundle.dir.path);
  EXPECT_NE(documentOf(damaged), documentOf(a));

  const auto filled = encipherResource(readFile(FILLED_UICONFIG_XML));
  writeFile(file, std::string(filled.begin(), filled.end()));
  LoggedPlug other(bundle.dir.path);
  EXPECT_GT(documentOf(other)->elements.size(), documentOf(a)->elements.size());
  EXPECT_EQ(documentOf(a)->elements.size(), documentOf(b)->elements.size());  // still the one it was given
}

std::string everything(LoggedPlug& p) { return BuildFingerprint(*p.plug, *p.plug->uiConfigManager, 0, 0).text(); }

TEST(SharedDocument, InstancesShareTheReadDocumentButNoStateBuiltFromIt) {
  LoggedPlug a(TARNIVEX_BUNDLE_RESOURCES), b(TARNIVEX_BUNDLE_RESOURCES);
  UIConfigManager& ua = *a.plug->uiConfigManager;
  UIConfigManager& ub = *b.plug->uiConfigManager;
  ASSERT_NE(ua.document(), nullptr);
  EXPECT_EQ(ua.document(), ub.document());
  EXPECT_EQ(ua.valueLists.shared(), ub.valueLists.shared());
  EXPECT_TRUE(ua.valueLists.shares(ua.document()->valueLists));
  EXPECT_EQ(ua.sysexContainers.shared(), ub.sysexContainers.shared());
  EXPECT_EQ(ua.paramNameMap.shared(), ub.paramNameMap.shared());
  const std::string before = everything(b);
  EXPECT_EQ(everything(a), before);
  EXPECT_GT(before.size(), 1000000u);

  // Parameters, actions, controls, layers and the shared lists, changed in one instance.
  IParam* param = a.plug->GetParam(kFilter1Cutoff);
  auto* action = static_cast<ControlAction*>(param->GetControlAction());
  ASSERT_NE(action, nullptr);
  ASSERT_FALSE(action->sysex.messages.empty());
  action->sysex.messages[0][7] = 99;
  action->part = 12;
  action->controls.front()->SetTextEntryLength(77);
  a.plug->GetParam(kOscillator1Shape)->SetDisplayText(0, "changed");
  ua.valueLists.edit()["lfoShape"][0] = "changed";
  ua.sysexContainers.resize(1);
  ua.mapParamToString("kNotInTheTable", 5);
  a.plug->GetParam(kFilter1Cutoff + 1)->InitDouble("changed", 1, 0, 2, 1);

  EXPECT_EQ(everything(b), before);
  EXPECT_EQ(ub.valueLists.at("lfoShape")[0], "Sine");
  EXPECT_EQ(ua.document()->valueLists->at("lfoShape")[0], "Sine");
  EXPECT_GT(ub.sysexContainers.size(), 1u);
  EXPECT_EQ(ub.paramNameMap.count("kNotInTheTable"), 0u);
  EXPECT_EQ(ua.getParamByName("kNotInTheTable"), 5);
}

// What the start page shows is decoded once, on the graphics context's own
// thread after create, for every instance; a drawn editor decodes the rest it
// shows, and closing it leaves the others what they draw.
TEST(DeferredImages, DecodedWhenAnEditorFirstDrawsAndKeptWhileAnyInstanceHoldsThem) {
  const int before = IGraphics::DecodedImageCount();
  auto a = std::make_unique<LoggedPlug>(TARNIVEX_BUNDLE_RESOURCES);
  a->plug->GetGUI()->FinishPredecoding();
  const int afterCreate = IGraphics::DecodedImageCount();
  if (before == 0) {
    EXPECT_GT(afterCreate, before);
  }
  LoggedPlug b(TARNIVEX_BUNDLE_RESOURCES);
  b.plug->GetGUI()->FinishPredecoding();
  EXPECT_EQ(IGraphics::DecodedImageCount(), afterCreate);  // shared: nothing decoded twice
  // Controls have the sizes of their images all the same: the window's frame, a knob of 128 frames.
  IGraphics* ga = a->plug->GetGUI();
  const IRECT frame = *ga->GetControl(0)->GetRECT();
  const IBitmap knob = a->plug->uiConfigManager->getImageHandleByName(ga, "IKNOBROTATERCONTROL_ID2");
  EXPECT_EQ(knob.N, 128);
  EXPECT_EQ(knob.H, knob.W * 128);

  const int frameId = 104;
  // A process that decoded nothing yet (as ctest runs each test) decodes now.
  const bool fresh = before == 0;
  IRECT all(0, 0, ga->Width(), ga->Height());
  ga->Draw(&all);
  const IBitmap decoded = ga->getImageById(frameId);
  const LICE_IBitmap* framePixels = decoded.mData;
  ASSERT_NE(framePixels, nullptr);
  EXPECT_EQ(std::make_pair(frame.W(), frame.H()), std::make_pair(decoded.W, decoded.H));
  if (fresh) {
    EXPECT_GT(IGraphics::DecodedImageCount(), before);
  }
  const int afterA = IGraphics::DecodedImageCount();
  IGraphics* gb = b.plug->GetGUI();
  IRECT allB(0, 0, gb->Width(), gb->Height());
  gb->Draw(&allB);
  EXPECT_EQ(IGraphics::DecodedImageCount(), afterA);  // the same images, decoded already
  const LICE_pixel shown = LICE_GetPixel(gb->GetDrawBitmap(), 2, 2);

  a.reset();
  EXPECT_EQ(gb->getImageById(frameId).mData, framePixels);
  gb->Draw(&allB);
  EXPECT_EQ(LICE_GetPixel(gb->GetDrawBitmap(), 2, 2), shown);
}
// Two editors of one process at different sizes: each draws the images drawn
// for its own size, whichever of them opened first.
TEST(SizedImages, TwoEditorsAtDifferentSizesDrawTheirOwnImages) {
  // The ranges of the sizes part only while the table's ids stay below one range.
  for (const ImageRow& row : kCommonImages) EXPECT_LT(row.id, kImageIdRange) << row.key;
  for (const StyleImageRow& row : kStyleImages)
    for (int id : row.id) EXPECT_LT(id, kImageIdRange) << row.key;
  editorpages::Editor small("yellow", editorpages::kSizes[0]);
  editorpages::Editor large("yellow", editorpages::kSizes[2]);
  editorpages::Editor normal("yellow", editorpages::kSizes[1]);
  small.DrawAll();
  large.DrawAll();
  normal.DrawAll();
  // The window's top rail runs across the whole width at every size.
  for (editorpages::Editor* editor : {&small, &large, &normal}) {
    LICE_IBitmap* frame = editor->graphics().GetDrawBitmap();
    const int w = editor->graphics().Width();
    EXPECT_EQ(LICE_GetPixel(frame, w - 20, 1), LICE_GetPixel(frame, 20, 1)) << "width " << w;
  }
  const struct {
    editorpages::Editor& editor;
    const char* folder;
  } cases[] = {{small, "small"}, {large, "large"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    IGraphics& g = c.editor.graphics();
    const IBitmap shown = c.editor.plug().uiConfigManager->getImageByName(&g, "MAIN_BG_ID");
    ASSERT_NE(shown.mData, nullptr);
    EXPECT_EQ(std::make_pair(shown.W, shown.H), std::make_pair(g.Width(), g.Height()));
    LICE_MemBitmap file;
    const std::string path = std::string(TARNIVEX_BUNDLE_RESOURCES) + "/img/" + c.folder + "/main-bg-yellow.png";
    ASSERT_TRUE(LICE_LoadPNG(path.c_str(), &file));
    ASSERT_EQ(std::make_pair(file.getWidth(), file.getHeight()), std::make_pair(shown.W, shown.H));
    int differing = 0;
    for (int y = 0; y < file.getHeight(); y += 3)
      for (int x = 0; x < file.getWidth(); x += 3)
        differing += LICE_GetPixel(shown.mData, x, y) != LICE_GetPixel(&file, x, y);
    EXPECT_EQ(differing, 0);
  }
}
}  // namespace
