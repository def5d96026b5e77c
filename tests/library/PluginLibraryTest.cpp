// A plug-in started against a data folder with a library loads its banks:
// in process, and as a host loads the built plug-in.
#include <cerrno>
#include <chrono>
#include <fstream>
#include <regex>
#include <thread>

#include "DataFolder.h"
#include "LibraryTestSupport.h"
#include "IControl.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"
#include "Tarnivex.h"
#include "TestHost.h"
#include "UserFiles.h"

namespace {
class PluginLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_DATA_HOME", base.root.c_str(), 1);
    data.root = getDataFolder();
    writeFile(data.patches() / "Factory/Leads.syx", soundFile("lead", 100, "Lead"));
    writeFile(data.patches() / "Factory/Bass.mid", soundFile("bass", 80, "Bass"));
    writeFile(data.patches() / "Multis.syx", multiFile("multi", 100));
    fs::create_directories(data.root);
    // The log file makes the plug-in write its debug log.
    std::ofstream(getDebugLogPath()) << "";
  }
  std::vector<std::string> loggedFiles() {
    std::ifstream in(getDebugLogPath());
    std::vector<std::string> files;
    const std::regex line(R"(.*\t PATCH LIBRARIAN: loading file (.*))");
    std::smatch match;
    for (std::string text; std::getline(in, text);)
      if (std::regex_match(text, match, line)) files.push_back(fs::path(match[1].str()).lexically_relative(data.patches()).string());
    return files;
  }

  // Waits (bounded) until the log holds the line: a plug-in loaded as a host
  // does is reached only through its log.
  bool awaitLogged(const std::string& message) {
    for (int i = 0; i < 10000; ++i) {
      std::ifstream in(getDebugLogPath());
      for (std::string text; std::getline(in, text);)
        if (text.size() >= message.size() && text.compare(text.size() - message.size(), message.size(), message) == 0)
          return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
  }

  DataFolder base;  // XDG_DATA_HOME, removed afterwards
  struct {
    fs::path root;
    fs::path patches() const { return root / "Patches"; }
    std::string patchesStr() const { return patches().string(); }
  } data;
};
}  // namespace

TEST_F(PluginLibrary, TheConstructorLoadsTheLibraryFolder) {
  ASSERT_EQ(fs::path(getPatchesFolderStr()), data.patches());
  Tarnivex plug(IPlugInstanceInfo{});
  plug.waitForLibrary();
  const PatchLibrarian& library = *plug.patchLibrarian;
  auto guard = library.lock();
  std::vector<std::string> sounds, multis;
  for (const auto& b : library.contents().soundBanks) sounds.push_back(b->fileName);
  for (const auto& b : library.contents().multiBanks) multis.push_back(b->fileName);
  EXPECT_EQ(sounds, (std::vector<std::string>{"Bass.mid", "Leads.syx"}));
  EXPECT_EQ(multis, (std::vector<std::string>{"Multis.syx"}));
  EXPECT_EQ(library.contents().categoryBanks.size(), 3u);  // Lead, Bass and the padding's empty category
  EXPECT_EQ(loggedFiles(), (std::vector<std::string>{"Factory/Bass.mid", "Factory/Leads.syx", "Multis.syx"}));
}

TEST_F(PluginLibrary, TheBuiltPluginListsItsBanksWhenAHostLoadsIt) {
  TestHost host;
  ASSERT_TRUE(host.Loaded()) << host.LoadError();
  ASSERT_NE(host.Create(), nullptr);
  // Read on the plug-in's worker, not inside create.
  EXPECT_TRUE(awaitLogged("PATCH LIBRARIAN COMPLETED FILE LOADING..."));
  host.Close();
  EXPECT_EQ(loggedFiles(), (std::vector<std::string>{"Factory/Bass.mid", "Factory/Leads.syx", "Multis.syx"}));
}

// Create returns before the library is read; the window lists the banks once
// they are there, and names a bank file left out with its reason.
TEST_F(PluginLibrary, TheLibraryArrivesAfterCreateAndTheWindowShowsIt) {
  writeFile(data.patches() / "Huge.syx", soundFile("huge", 5001));
  // Another reading holds the process's loads: the plug-in's worker waits
  // behind it, and create does not.
  LoadsHeld held(data.patchesStr());
  Tarnivex plug(IPlugInstanceInfo{});
  ITextControl status{nullptr}, files{nullptr};
  plug.paramNameDisplay = &status;
  plug.paramValueDisplay = &files;
  EXPECT_FALSE(plug.patchLibrarian->loaded());
  EXPECT_EQ(plug.GetParam(kPatchSelectionListUpper)->GetNDisplayTexts(), 0);
  held.release();

  plug.patchLibrarian->waitUntilLoaded();
  EXPECT_EQ(plug.GetParam(kPatchSelectionListUpper)->GetNDisplayTexts(), 0);  // shown on the GUI thread
  plug.OnIdle();
  for (const int list : {kPatchSelectionListUpper, kPatchSelectionListLower}) {
    const IParam* param = plug.GetParam(list);
    ASSERT_EQ(param->GetNDisplayTexts(), 2);
    EXPECT_STREQ(param->GetDisplayText(0), "Bass.mid");
    EXPECT_STREQ(param->GetDisplayText(1), "Leads.syx");
  }
  EXPECT_EQ(status.GetText(), "1 file left out of the library");
  EXPECT_EQ(files.GetText(), "Huge.syx (more than 5000 sounds)");
  // Once per load: a later idle leaves the status line to others.
  status.SetTextFromPlug("");
  plug.OnIdle();
  EXPECT_EQ(status.GetText(), "");
  // A name with control characters and a byte that is no UTF-8 is shown with
  // a "?" for each; the log has it as it is.
  const std::string bad = "Bad\n\t\x1b[2J\xff\xc3.syx";
  writeFile(data.patches() / bad, soundFile("bad", 1));
  plug.refreshFolders();
  EXPECT_EQ(status.GetText(), "2 files left out of the library");
  EXPECT_EQ(files.GetText(), "Bad???[2J??.syx (too short), Huge.syx (more than 5000 sounds)");
  std::ifstream log(getDebugLogPath(), std::ios::binary);
  const std::string logged((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  EXPECT_NE(logged.find("Left out of the library: " + bad + " (too short)"), std::string::npos);
}

// A bank a split hid on a folder that takes no new name (read-only) stays
// hidden with its note: the status line says so at every load while it
// stays, and the first load once the folder takes names puts it where a
// finished split keeps it.
TEST_F(PluginLibrary, ABankKeptHiddenOnAReadOnlyFolderIsNamedAtEveryLoad) {
  struct Writable {
    ~Writable() { userfiles::setMoveFault(0); }
  } writableAfter;
  const Bytes big = soundFile("big", 150);  // two pieces
  writeFile(data.patches() / "Big.syx", big);
  {
    // The folder stops taking names once the source is hidden and the
    // note says so.
    PatchLibrarian splitter;
    splitter.hooks.splitStep = [](int step) {
      if (step == 3) userfiles::setMoveFault(EACCES);
    };
    splitter.loadPatchesFromFilesystem(data.patchesStr());
  }
  const auto hiddenHoldsBig = [&] {
    for (const auto& entry : fs::directory_iterator(data.patches()))
      if (entry.path().filename().string().starts_with(".tvx-") && readFile(entry.path()) == big) return true;
    return false;
  };
  ASSERT_TRUE(hiddenHoldsBig());
  ASSERT_FALSE(fs::exists(data.patches() / "Big.syx"));
  LoadsHeld held(data.patchesStr());
  Tarnivex plug(IPlugInstanceInfo{});
  ITextControl status{nullptr}, files{nullptr};
  plug.paramNameDisplay = &status;
  plug.paramValueDisplay = &files;
  held.release();
  plug.patchLibrarian->waitUntilLoaded();
  plug.OnIdle();
  for (int load = 0; load < 2; ++load) {
    SCOPED_TRACE(load);
    EXPECT_EQ(status.GetText(), "1 file left out of the library");
    EXPECT_EQ(files.GetText(), "Big.syx (kept hidden, folder is read-only)");
    EXPECT_TRUE(hiddenHoldsBig());
    status.SetTextFromPlug("");
    files.SetTextFromPlug("");
    plug.refreshFolders();
  }
  userfiles::setMoveFault(0);
  plug.refreshFolders();
  EXPECT_EQ(files.GetText().find("kept hidden"), std::string::npos) << files.GetText();
  EXPECT_EQ(readFile(data.root / "Converted Banks" / "Big.syx"), big);
  EXPECT_TRUE(fs::exists(data.patches() / "Big Singles 1.syx"));
  EXPECT_TRUE(fs::exists(data.patches() / "Big Singles 2.syx"));
  EXPECT_FALSE(hiddenHoldsBig());
}
