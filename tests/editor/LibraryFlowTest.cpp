// The library's flows with the instrument, through the window, on a private
// JACK server: a whole bank of the instrument received into the library.
#include "ControlLayer.h"
#include "EditMenus.h"
#include "FolderMenuControl.h"
#include "InitPatches.h"
#include "JackEditorTest.h"
#include "LibrarianBrowser.h"
#include "ParamIndex.h"
#include "PatchLibrarian.h"

namespace {
class LibraryFlowTest : public JackEditorTest {
 protected:
  // "Request Patch Data" > "All Patches from Bank A" in the bank-edit menu.
  void requestBankA() {
    window->pickFromMenu(*plug->librarianBrowser->bankEditMenu->GetRECT(), {0, 4});
  }
};

TEST_F(LibraryFlowTest, BankAReceivedIntoAnEmptyLibraryIsShownSavedToAFileAndListedByCategory) {
  ASSERT_NO_FATAL_FAILURE(makeConnectedPlug());
  plug->setThroughUserPath(kLibSyncTimer, 0);  // the shortest pacing
  window->clickTab(kMainTab, 1);
  requestBankA();
  ASSERT_TRUE(idle(120000));
  EXPECT_EQ(plug->paramValueDisplay->GetText(), "Data request completed!");
  EXPECT_EQ(plug->GetParam(kBankEditUnsaved)->Value(), 1.0);

  // Shown in the upper pane, slot n holding program n of bank A.
  char expected[17];
  for (int n = 0; n < 100; ++n) {
    std::snprintf(expected, sizeof expected, "SOUND A%02d       ", n);
    ASSERT_EQ(window->slots().slotText(0, n), expected) << n;
  }

  // "Save (Overwrite current bank)" writes the new bank file: the dumps as
  // the instrument sent them.
  window->pickFromMenu(*plug->librarianBrowser->bankEditMenu->GetRECT(), {7});
  std::vector<Bytes> dumps;
  for (int n = 0; n < 100; ++n) dumps.push_back(instrument.storedSound(0, n));
  EXPECT_EQ(readFile(getPatchesFolderStr() + "/Bank A.syx"), concat(dumps));
  EXPECT_EQ(plug->GetParam(kBankEditUnsaved)->Value(), 0.0);

  // The category of the received sounds is listed, with its sounds.
  plug->OnIdle();  // the host's editor idle
  plug->setThroughUserPath(kCategorySelection, 1.0);
  const std::vector<std::string>& categories = plug->librarianBrowser->categoryMenu->folderNames();
  EXPECT_NE(std::find(categories.begin(), categories.end(), "SIM "), categories.end());
  EXPECT_EQ(window->slots().slotText(1, 0), "SOUND A00       ");
  EXPECT_EQ(window->slots().slotText(1, 99), "SOUND A99       ");
}

// The reply cable pulled after seven replies: what arrived is an unsaved
// edit of the bank, and a Save writes a bank file the library lists, the
// slots nothing reached holding init sounds.
TEST_F(LibraryFlowTest, ABankRequestCutShortIsSavedWholeAndListed) {
  ASSERT_NO_FATAL_FAILURE(makeConnectedPlug());
  plug->setThroughUserPath(kLibSyncTimer, 0);
  window->clickTab(kMainTab, 1);
  instrument.setRepliesLeft(7);
  requestBankA();
  ASSERT_TRUE(idle(120000));
  EXPECT_EQ(plug->paramNameDisplay->GetText(), "Data received to slot(s)");
  EXPECT_EQ(plug->paramValueDisplay->GetText(), "CONNECTION TIMED OUT!");
  EXPECT_EQ(plug->GetParam(kBankEditUnsaved)->Value(), 1.0);
  EXPECT_FALSE(plug->namedLayer("discardChangesLayerRight")->IsHidden());

  const IRECT bankEdit = *plug->librarianBrowser->bankEditMenu->GetRECT();
  window->pickFromMenu(bankEdit, {7});
  EXPECT_EQ(plug->paramNameDisplay->GetText(), "Bank saved");
  Bytes expected;
  for (int n = 0; n < 7; ++n) {
    const Bytes dump = instrument.storedSound(0, n);
    expected.insert(expected.end(), dump.begin(), dump.end());
  }
  for (int n = 7; n < 100; ++n) expected.insert(expected.end(), initPatchData.begin(), initPatchData.end());
  EXPECT_EQ(readFile(getPatchesFolderStr() + "/Bank A.syx"), expected);
  EXPECT_EQ(plug->GetParam(kBankEditUnsaved)->Value(), 0.0);

  // Read again, the file is listed with every sound in its slot.
  window->pickFromMenu(bankEdit, {11});
  PatchLibrarian& library = *plug->patchLibrarian;
  EXPECT_TRUE(library.contents().leftOut.empty());
  ASSERT_EQ(library.bankCount(kSoundList), 1);
  EXPECT_EQ(library.bankHeaderAt(kSoundList, 0)->fileName, "Bank A.syx");
  EXPECT_EQ(window->slots().slotText(0, 6), "SOUND A06       ");
  EXPECT_EQ(window->slots().slotText(0, 7), std::string(initPatchData.begin() + 370, initPatchData.begin() + 386));
}
}  // namespace
