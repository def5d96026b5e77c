// A plug-in started against a data folder with a library loads its banks:
// in process, and as a host loads the built plug-in.
#include <fstream>
#include <regex>

#include "DataFolder.h"
#include "LibraryTestSupport.h"
#include "PatchLibrarian.h"
#include "Tarnivex.h"
#include "TestHost.h"

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
  host.Close();
  EXPECT_EQ(loggedFiles(), (std::vector<std::string>{"Factory/Bass.mid", "Factory/Leads.syx", "Multis.syx"}));
}
