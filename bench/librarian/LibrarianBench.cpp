// The browser over a library of 1,000 sound banks in 10 x 10 folders:
// reloading a pane of 128 slots and rebuilding a folder menu.
#include <benchmark/benchmark.h>

#include "../BenchFailures.h"

#include <vector>

#include "FolderMenuControl.h"
#include "IParam.h"
#include "LibrarianBrowser.h"
#include "LibrarianViewControl.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"

namespace {
class BenchHost : public LibrarianHost {
 public:
  BenchHost() : mParams(kParamCount) {
    for (IParam& param : mParams) param.InitInt("", 0, 0, 127);
    LibraryContents& library = mLibrarian.contents();
    int n = 0;
    for (int a = 0; a < 10; ++a) {
      auto top = std::make_unique<FolderFiles>();
      for (int b = 0; b < 10; ++b) {
        SubFolderFiles second;
        second.name = "Folder " + std::to_string(a) + "." + std::to_string(b);
        for (int f = 0; f < 10; ++f) {
          auto bank = std::make_shared<PatchFile>();
          bank->fileName = "Bank " + std::to_string(f) + ".syx";
          bank->folderName = second.name;
          for (int i = 0; i < 100; ++i) bank->patches.push_back({0, "Sound " + std::to_string(n++), "Lead", {}, {}});
          second.files.push_back(bank.get());
          library.soundBanks.push_back(bank);
        }
        top->subFolders.push_back(second);
      }
      library.soundTree.push_back(std::move(top));
    }
  }
  BrowseState& browseState() override { return mState; }
  PatchLibrarian* librarian() override { return &mLibrarian; }
  MIDIMessageManager* messageManager() override { return nullptr; }
  int currentPart() override { return 0; }
  bool multiMode() override { return false; }
  void setMultiMode(bool) override {}
  bool libraryControl() override { return false; }
  void setLibraryControl(bool) override {}
  bool midiConfigured() override { return false; }
  IParam* paramAt(int index) override { return &mParams[static_cast<size_t>(index)]; }
  void setParameterFromPlug(int index, double value, bool) override { paramAt(index)->Set(value); }
  void setParamDisplayText(int index, int value, const std::string& text) override {
    paramAt(index)->SetDisplayText(value, text.c_str());
  }
  void resetParamDisplayTexts(int index) override { paramAt(index)->ResetDisplayTexts(); }
  void ProcessSysEx(ISysEx*, bool) override {}
  bool SetLibrarianRequestActive(bool) override { return true; }
  bool refuseLibrarySlot() override { return false; }
  void SetLibrarianStatusUnsaved(bool) override {}
  void handPick(Pick, bool) override {}
  void runOffHostThread(std::function<void()> task) override { task(); }
  void sendPatchToDevice(int, bool, bool, bool, bool) override {}
  bool startMultiPush() override { return false; }
  void refreshFolders() override {}
  void bankSaved() override {}
  void OpenDataDirectory() override {}
  bool saveImportedFile(bool) override { return false; }
  std::string getPatchesFolderStr() override { return "/nonexistent"; }
  void debugLog(const std::string&) override {}
  void pause(int) override {}
  IPopupMenu* CreateIPopupMenu(IPopupMenu*, IRECT*) override { return nullptr; }
  void hideLayer(const char*, bool) override {}
  void grayOutLayer(const char*, bool) override {}

 private:
  std::vector<IParam> mParams;
  BrowseState mState;
  PatchLibrarian mLibrarian;
};

void BM_ReloadPane(benchmark::State& state) {
  BenchHost host;
  LibrarianBrowser browser(&host);
  IBitmap background(nullptr, 1100, 560);
  LibrarianViewControl view(nullptr, &browser, 0, 0, kLibrarianArea, &background, IRECT(), 1.0);
  int bank = 0;
  for (auto _ : state) {
    host.librarian()->upperBank = bank;
    bank = (bank + 1) % 1000;
    view.patchSelectionUpperChanged();
  }
}
BENCHMARK(BM_ReloadPane)->Unit(benchmark::kMicrosecond);

void BM_BuildFolderMenus(benchmark::State& state) {
  BenchHost host;
  LibrarianBrowser browser(&host);
  FolderMenuControl menu(nullptr, &browser, IRECT(394, 188, 810, 207), FolderMenuKind::kLeftPatch);
  for (auto _ : state) menu.refreshFolderStructure(0, "Bank 9.syx", "Folder 9.9");
}
BENCHMARK(BM_BuildFolderMenus)->Unit(benchmark::kMillisecond);
}  // namespace

TARNIVEX_BENCHMARK_MAIN()
