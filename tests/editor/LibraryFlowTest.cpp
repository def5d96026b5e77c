// The library's flows with the instrument, through the window, on a private
// JACK server: a whole bank of the instrument received into the library.
#include "ControlLayer.h"
#include "EditMenus.h"
#include "FolderMenuControl.h"
#include "JackEditorTest.h"
#include "LibrarianBrowser.h"

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
}  // namespace
