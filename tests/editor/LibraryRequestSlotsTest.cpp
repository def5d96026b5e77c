// A library request writes the slots it started with: a GET MULTI that
// ended without its multi, however it ended, moves none of them, and a stray
// copy of an answer arriving meanwhile moves nothing either. The oracle is
// what the test did, the requests the instrument received, the slots and
// highlight the window shows and the bank file a Save writes.
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "../library/LibraryTestSupport.h"
#include "EditMenus.h"
#include "LibrarianBrowser.h"
#include "LibraryWindowTest.h"
#include "PatchLibrarian.h"

namespace {
class LibraryRequestSlotsTest : public LibraryWindowTest {
 protected:
  // The request for program n of bank A.
  static Bytes soundRequest(int program) {
    return {0xF0, 0x3E, 0x10, kDeviceId, 0x00, 0x00, static_cast<uint8_t>(program), 0xF7};
  }
  void bankEdit(std::vector<int> path) {
    window->pickFromMenu(*plug->librarianBrowser->bankEditMenu->GetRECT(), std::move(path));
  }
  // The instrument answers at every pause; right before its answer to the
  // request for program `before` of bank A comes a copy of its answer for
  // A05, as a late duplicate does.
  void answersWithStrayCopy(int before) {
    const SimBytes stray = SimulatedInstrument(kDeviceId).receive(soundRequest(5)).at(0);
    plug->midiMessageManager->virtualPause = [this, before, stray](int) {
      for (const Bytes& message : sentSinceLast()) {
        if (message == soundRequest(before)) backend->inject(stray);
        for (const SimBytes& reply : instrument.receive(message)) backend->inject(reply);
      }
      return true;
    };
  }
  std::string slotName(int slot) { return window->slots().slotText(0, slot); }
  static std::string soundName(int program) {
    char name[17];
    std::snprintf(name, sizeof name, "SOUND A%02d       ", program);
    return name;
  }
};

TEST_F(LibraryRequestSlotsTest, AGetMultiEndedAnyWayMovesNoSlotOfALaterLibraryRequest) {
  const struct {
    const char* what;
    std::function<void()> before, after;
  } endings[] = {
      {"answered", [&] { instrumentAnswers(); }, [] {}},
      {"timed out, the instrument silent",
       [&] {
         instrument.setSilent(true);
         instrumentAnswers();
       },
       [&] { instrument.setSilent(false); }},
      {"cancelled while the first part's answer is awaited",
       [&] {
         plug->midiMessageManager->virtualPause = [this](int) {
           setParam(kCancelDataRequest, 1);
           return true;
         };
       },
       [] {}},
      {"its port gone while the first part's answer is awaited",
       [&] {
         plug->midiMessageManager->virtualPause = [this](int) {
           backend->setOutGone(true);
           return true;
         };
       },
       [&] {
         backend->setOutGone(false);
         settle();
       }},
  };
  for (const auto& ending : endings) {
    SCOPED_TRACE(ending.what);
    writeFile(getPatchesFolderStr() + "/Factory.syx", soundFile("Fact", 100, "Lead"));
    freshWindow();
    window->clickTab(kMainTab, 1);
    settle();
    ending.before();
    bankEdit({4});  // "Sync Current Data from HW": GET MULTI
    settle();
    ending.after();

    // "Hardware by Prog No." into slot 42, a copy of an older answer ahead
    // of its own: A42 lands in slot 42 alone, which stays lit.
    answersWithStrayCopy(42);
    window->pickFromMenu(window->slot(0, 42), {5, 3}, true);
    settle();
    EXPECT_EQ(slotName(42), soundName(42));
    EXPECT_EQ(slotName(0), "Fact0           ");
    window->draw();
    EXPECT_EQ(window->slots().selectedUpper, 42);

    // "All Patches from Bank A", a copy ahead of the answer for A06: every
    // program asked once, in order, and each in its own slot.
    const size_t asked = instrument.received().size();
    answersWithStrayCopy(6);
    bankEdit({0, 4});
    settle();
    const auto received = instrument.received();
    ASSERT_EQ(received.size(), asked + 100);
    for (int n = 0; n < 100; ++n) {
      EXPECT_EQ(received[asked + static_cast<size_t>(n)], soundRequest(n)) << n;
      EXPECT_EQ(slotName(n), soundName(n)) << n;
    }
    // "Save (Overwrite current bank)" writes them in order.
    bankEdit({7});
    Bytes saved;
    for (int n = 0; n < 100; ++n) {
      const SimBytes dump = instrument.storedSound(0, n);
      saved.insert(saved.end(), dump.begin(), dump.end());
    }
    EXPECT_EQ(readFile(getPatchesFolderStr() + "/Factory.syx"), std::string(saved.begin(), saved.end()));
  }
}
}  // namespace
