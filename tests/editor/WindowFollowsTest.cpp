// What the window shows after the picks and jobs of a session: the library's
// highlight after a part switch and after the lists change, the top bar's
// sound name, the status line after a restore, and where quick steps end.
// Judged from the bytes the simulated instrument received and the window's
// controls and pixels.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "../library/LibraryTestSupport.h"
#include "EditorTestSupport.h"
#include "EditorWindowDriver.h"
#include "LibrarianBrowser.h"
#include "PatchLibrarian.h"

namespace {
constexpr int kHighlight = 0xE1E1E1;
constexpr int kUpper = 0, kLower = 1;

class WindowFollowsTest : public EditorTest {
 protected:
  // The first six letters of the sound the instrument's part 1 plays.
  std::string playing() const {
    const SimBytes plays = instrument.partBuffer(0);
    return std::string(plays.begin() + 370, plays.begin() + 376);
  }
  WindowFollowsTest() : EditorTest(false) {
    setenv("TARNIVEX_RESOURCE_DIR", TARNIVEX_BUNDLE_RESOURCES, 1);
    writeFile(getPatchesFolderStr() + "/Factory.syx", soundFile("Fact", 100, "Lead"));
    makePlug();
    window.emplace(*plug);
    // At every pause of a pick or job the instrument takes what was sent and
    // answers; a held pause waits until the test lets it go.
    plug->midiMessageManager->virtualPause = [this](int) {
      pause();
      return true;
    };
    plug->sleepFor = [this](int) { pause(); };
    for (int p : {0, 1, 3}) param(kMultiPartStatus + p)->Set(1);
    param(kGlobalRxProgramChange)->Set(1);
    setParam(kMIDIFilterHWPCPassThrough, 1);
    setParam(kControlProgBank, 0);
    window->clickTab(kMainTab, 1);
    atRest();
  }
  ~WindowFollowsTest() override {
    release();
    window.reset();
    plug.reset();
    unsetenv("TARNIVEX_RESOURCE_DIR");
  }

  void pause() {
    deliver();
    std::unique_lock<std::mutex> lock(holdMutex);
    if (!holdPauses) return;
    ++pausesHeld;
    holdChanged.notify_all();
    holdChanged.wait_for(lock, std::chrono::seconds(10), [this] { return !holdPauses; });
  }
  // What the editor sent goes to the instrument; its replies come back.
  void deliver() {
    std::lock_guard<std::recursive_mutex> lock(wireMutex);
    for (const Bytes& message : sentSinceLast())
      for (const SimBytes& reply : instrument.receive(message)) backend->inject(reply);
  }
  // Every job and pick ended, all they sent delivered; then the window's idle.
  void atRest() {
    for (int round = 0; round < 3; ++round) {
      awaitRequestThread();
      deliver();
    }
    plug->OnIdle();
  }
  void release() {
    std::lock_guard<std::mutex> lock(holdMutex);
    holdPauses = false;
    holdChanged.notify_all();
  }
  // Waits until a pick's pause is held.
  bool pauseHeld() {
    std::unique_lock<std::mutex> lock(holdMutex);
    return holdChanged.wait_for(lock, std::chrono::seconds(10), [this] { return pausesHeld > 0; });
  }
  bool highlighted(int pane, int slot) {
    window->draw();
    const IRECT r = window->slot(pane, slot);
    return window->colourAt(r.R - 1, r.B - 1) == kHighlight;
  }
  // The last program change the instrument received on the channel.
  int lastProgramChange(int channel) {
    int last = -1;
    for (const SimBytes& m : instrument.received())
      if (m.size() == 2 && m[0] == (0xC0 | channel)) last = m[1];
    return last;
  }
  std::string topBarName(int part) {
    char name[32];
    std::snprintf(name, sizeof name, "bankAndProgram%02d", part + 1);
    // As the host's idle calls draw: what is dirty, pass after pass.
    for (int pass = 0; pass < 50; ++pass) {
      IRECT dirty;
      if (!window->gui()->IsDirty(&dirty)) break;
      window->gui()->Draw(&dirty);
    }
    for (const auto& control : plug->namedLayer(name)->controls())
      if (control->ParamIdx() == kPatchName + part) return static_cast<ITextControl*>(control.get())->GetText();
    return "?";
  }
  void search(const char* text) {
    setParam(kPatchSearch, 1);
    plug->setParamDisplayText(kPatchSearchString, 0, text);
    plug->OnParamChange(kPatchSearchString);
    atRest();
  }
  // The lower pane's slot holding the sound of that name, as the window lists it.
  int listedAt(const std::string& name) {
    for (int slot = 0; slot < kSlotsPerPane; ++slot)
      if (window->slots().slotText(kLower, slot).rfind(name, 0) == 0) return slot;
    return -1;
  }
  void doubleClick(int pane, int slot) {
    const IRECT r = window->slot(pane, slot);
    IMouseMod left(true, false);
    window->gui()->OnMouseDblClick((r.L + r.R) / 2, (r.T + r.B) / 2, &left);
  }

  std::optional<EditorWindowDriver> window;
  std::recursive_mutex wireMutex;
  std::mutex holdMutex;
  std::condition_variable holdChanged;
  bool holdPauses = false;
  int pausesHeld = 0;
};

TEST_F(WindowFollowsTest, APartSwitchOnTheMultiPageMovesTheLibrarysHighlightToThatPart) {
  param(kMultiPartPatch + 0)->Set(17);
  param(kMultiPartPatch + 3)->Set(42);
  window->clickTab(kQuickTab, 3);
  window->clickTab(kQuickTab, 0);
  atRest();
  ASSERT_TRUE(highlighted(kUpper, 17));
  ASSERT_TRUE(plug->keepSelectedBank);  // entering the page keeps what it shows
  window->clickTab(kMainTab, 0);
  window->clickTab(kQuickTab, 3);
  window->clickTab(kMainTab, 1);
  atRest();
  EXPECT_EQ(window->slots().selectedUpper, 42);
  EXPECT_TRUE(highlighted(kUpper, 42));
  EXPECT_FALSE(highlighted(kUpper, 17));
  // Stepping the library: the slots the parts' sounds went from.
  setParam(kControlLibrary, 1);
  doubleClick(kUpper, 9);
  window->clickTab(kQuickTab, 0);
  doubleClick(kUpper, 5);
  atRest();
  window->clickTab(kMainTab, 0);
  window->clickTab(kQuickTab, 3);
  window->clickTab(kMainTab, 1);
  atRest();
  EXPECT_TRUE(highlighted(kUpper, 9));
  EXPECT_FALSE(highlighted(kUpper, 5));
}

TEST_F(WindowFollowsTest, ASearchResultOrCategoryEntryIsHighlightedWhereverTheListHoldsItsSound) {
  setParam(kControlLibrary, 1);
  search("Fact5");
  ASSERT_EQ(listedAt("Fact52"), 3);
  window->click(window->slot(kLower, 0));
  doubleClick(kLower, 3);
  atRest();
  const SimBytes plays = instrument.partBuffer(0);
  ASSERT_EQ(std::string(plays.begin() + 370, plays.begin() + 376), "Fact52");
  EXPECT_TRUE(highlighted(kLower, 3));
  // Another search lists the sound elsewhere: the highlight goes with it.
  search("Fact52");
  ASSERT_EQ(listedAt("Fact52"), 0);
  atRest();
  EXPECT_EQ(window->slots().selectedLower, 0);
  EXPECT_TRUE(highlighted(kLower, 0));
  EXPECT_FALSE(highlighted(kLower, 3));
  // So does the category list.
  setParam(kPatchSearch, 0);
  setParam(kCategorySelection, 1);
  atRest();
  const int inCategory = listedAt("Fact52");
  ASSERT_GT(inCategory, 3);
  atRest();
  EXPECT_EQ(window->slots().selectedLower, inCategory);
  EXPECT_TRUE(highlighted(kLower, inCategory));
}

// A sound picked from search results, the search then closed: the bank the
// pane shows again highlights that sound where it holds it, and the next
// step goes on from there, not from the slot the search listed it in.
TEST_F(WindowFollowsTest, AStepAfterTheSearchClosesGoesOnFromTheSoundThePartPlays) {
  setParam(kControlLibrary, 1);
  setParam(kPatchSearch, 1);
  plug->setParamDisplayText(kPatchSearchString, 0, "Fact5");
  plug->OnParamChange(kPatchSearchString);
  atRest();
  ASSERT_EQ(window->slots().slotText(kLower, 3).rfind("Fact52", 0), 0u);
  window->click(window->slot(kLower, 0));
  doubleClick(kLower, 3);
  atRest();
  ASSERT_EQ(playing(), "Fact52");
  setParam(kPatchSearch, 0);
  atRest();
  ASSERT_EQ(window->slots().slotText(kLower, 52).rfind("Fact52", 0), 0u);
  EXPECT_TRUE(highlighted(kLower, 52));
  setParam(kPatchUp + 0, 1);
  atRest();
  EXPECT_EQ(playing(), "Fact53");
}

// STEP LIBRARY in a category or search list steps on from the entry of the
// sound the part plays, which is the one highlighted; a list that does not
// hold that sound highlights nothing, whatever its position.
TEST_F(WindowFollowsTest, AStepInACategoryOrSearchListGoesOnFromTheHighlightedSound) {
  setParam(kControlLibrary, 1);
  const struct {
    const char* what;
    bool up;
    const char* ends;  // what the part plays after the step
  } rows[] = {{"up", true, "Fact53"}, {"down", false, "Fact51"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    search("Fact5");
    ASSERT_EQ(listedAt("Fact52"), 3);
    window->click(window->slot(kLower, 0));
    doubleClick(kLower, 3);
    atRest();
    ASSERT_EQ(playing(), "Fact52");
    // A search that does not list the sound highlights none of its entries.
    search("Fact6");
    ASSERT_EQ(listedAt("Fact62"), 3);
    EXPECT_FALSE(highlighted(kLower, 3));
    EXPECT_EQ(window->slots().selectedLower, -1);
    // The category list holds it further down: highlighted there, and the
    // step counts from there.
    setParam(kPatchSearch, 0);
    setParam(kCategorySelection, 1);
    atRest();
    const int inCategory = listedAt("Fact52");
    ASSERT_GT(inCategory, 3);
    EXPECT_TRUE(highlighted(kLower, inCategory));
    setParam((row.up ? kPatchUp : kPatchDown) + 0, 1);
    atRest();
    EXPECT_EQ(playing(), row.ends);
    EXPECT_EQ(lastProgramChange(0), inCategory + (row.up ? 1 : -1));
    EXPECT_TRUE(highlighted(kLower, inCategory + (row.up ? 1 : -1)));
    setParam(kCategorySelection, 0);
    atRest();
  }
}

// A new search that does not list the sound the part plays: the step goes
// into the list from its start (its first entry up, its last down), never
// from the list position the part's program number happens to name.
TEST_F(WindowFollowsTest, AStepIntoASearchThatDoesNotListThePlayedSoundStartsTheList) {
  setParam(kControlLibrary, 1);
  const struct {
    const char* what;
    bool up;
    const char* ends;
  } rows[] = {{"up", true, "Fact6 "}, {"down", false, "Fact69"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    search("Fact1");
    window->click(window->slot(kLower, 0));
    doubleClick(kLower, 3);
    atRest();
    ASSERT_EQ(playing(), "Fact12");
    search("Fact6");
    ASSERT_EQ(window->slots().selectedLower, -1);
    setParam((row.up ? kPatchUp : kPatchDown) + 0, 1);
    atRest();
    EXPECT_EQ(playing(), row.ends);
    EXPECT_TRUE(highlighted(kLower, listedAt(std::string(row.ends).substr(0, row.ends[5] == ' ' ? 5 : 6))));
    setParam(kPatchSearch, 0);
    atRest();
  }
}

TEST_F(WindowFollowsTest, TheTopBarShowsNoOldSoundNameOverTheInstrumentsOwnPick) {
  setParam(kGlobalLocalControl, 0);
  setParam(kControlProgBank, 1);
  window->clickTab(kQuickTab, 1);
  backend->inject({0xC1, 9});  // read back: the part's name is the instrument's sound's
  plug->midiSendThread->flush();
  atRest();
  ASSERT_EQ(topBarName(1).substr(0, 9), "SOUND A09");
  // Not read back, the instrument's next pick plays its stored sound the
  // editor has no name of.
  setParam(kControlProgBank, 0);
  backend->inject({0xC1, 5});
  plug->midiSendThread->flush();
  atRest();
  ASSERT_EQ(lastProgramChange(1), 5);  // the editor's answer, with local control off
  EXPECT_EQ(param(kMultiPartPatch + 1)->Int(), 5);
  EXPECT_EQ(topBarName(1).find("SOUND A09"), std::string::npos) << topBarName(1);
}

TEST_F(WindowFollowsTest, TheTopBarShowsNoOldSoundNameOverAMultiPagePickThatAsksNothingBack) {
  // The host's idle calls draw a sixteenth of the window at a time, as an open window does.
  window->gui()->SetPassArea(static_cast<long long>(window->gui()->Width()) * window->gui()->Height() / 16);
  setParam(kControlProgBank, 1);
  window->clickTab(kQuickTab, 1);
  plug->SetParameterFromGUI(kMultiPartPatch + 1, param(kMultiPartPatch + 1)->GetNormalized(20));
  atRest();  // read back: the part's name is the instrument's sound's
  ASSERT_EQ(lastProgramChange(1), 20);
  ASSERT_EQ(topBarName(1).substr(0, 9), "SOUND A20");
  setParam(kControlProgBank, 0);
  const size_t before = instrument.received().size();
  // The window is drawn at every pause of the pick, as idle calls come while it goes.
  std::mutex stepMutex;
  std::condition_variable stepChanged;
  int arrived = 0, allowed = 0;
  const auto step = [&] {
    deliver();
    std::unique_lock<std::mutex> lock(stepMutex);
    const int mine = ++arrived;
    stepChanged.notify_all();
    stepChanged.wait_for(lock, std::chrono::seconds(10), [&] { return allowed >= mine; });
  };
  plug->midiMessageManager->virtualPause = [&](int) {
    step();
    return true;
  };
  plug->sleepFor = [&](int) { step(); };
  plug->SetParameterFromGUI(kMultiPartPatch + 1, param(kMultiPartPatch + 1)->GetNormalized(28));
  for (int k = 0; k < 40; ++k) {
    std::unique_lock<std::mutex> lock(stepMutex);
    if (!stepChanged.wait_for(lock, std::chrono::milliseconds(300), [&] { return arrived > allowed; })) break;
    lock.unlock();
    topBarName(1);
    lock.lock();
    ++allowed;
    stepChanged.notify_all();
  }
  {
    std::lock_guard<std::mutex> lock(stepMutex);
    allowed = 1 << 20;
    stepChanged.notify_all();
  }
  atRest();
  plug->midiMessageManager->virtualPause = [this](int) {
    pause();
    return true;
  };
  plug->sleepFor = [this](int) { pause(); };
  ASSERT_EQ(lastProgramChange(1), 28);
  const std::vector<SimBytes> got = instrument.received();
  for (size_t i = before; i < got.size(); ++i) EXPECT_NE(got[i].front(), 0xF0) << "nothing is asked back";
  EXPECT_EQ(topBarName(1).find("SOUND A20"), std::string::npos) << topBarName(1);
}

TEST_F(WindowFollowsTest, TheStatusLineSaysNoMoreItWaitsOnceARestoreTookTheRequestsPlace) {
  setParam(kControlProgBank, 1);
  instrument.setSilent(true);
  backend->inject({0xC1, 12});  // a part's sound asked for, not answered
  plug->midiSendThread->flush();
  for (int i = 0; i < 5000 && plug->paramValueDisplay->GetText() != "Data processing, please wait..."; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(plug->paramValueDisplay->GetText(), "Data processing, please wait...");
  instrument.setSilent(false);
  const size_t before = instrument.received().size();
  ByteChunk chunk;
  ASSERT_TRUE(plug->SerializeState(&chunk));
  ASSERT_GT(plug->UnserializeState(&chunk, 0), 0);
  atRest();
  ASSERT_GT(instrument.received().size(), before);  // the project went out
  EXPECT_NE(plug->paramValueDisplay->GetText(), "Data processing, please wait...");
}

// Steps made while the first one's program change waits on its pauses count
// on from each other: the part ends on its program plus the steps.
TEST_F(WindowFollowsTest, QuickStepsEndOnTheStartPlusTheirCount) {
  for (const bool library : {false, true}) {
    SCOPED_TRACE(library ? "STEP LIBRARY" : "STEP SYNTH off");
    setParam(kControlLibrary, library ? 1 : 0);
    if (library) window->click(window->slot(kUpper, 20));
    const int start = 20 + (library ? 10 : 0);
    plug->notePartPlays(0, 0, start - 1);
    param(kMultiPartPatch + 0)->Set(start);
    {
      std::lock_guard<std::mutex> lock(holdMutex);
      holdPauses = true;
      pausesHeld = 0;
    }
    setParam(kPatchUp + 0, 1);
    ASSERT_TRUE(pauseHeld());
    for (int step = 1; step < 4; ++step) setParam(kPatchUp + 0, 1);
    release();
    atRest();
    EXPECT_EQ(lastProgramChange(0), start + 4);
    EXPECT_EQ(param(kMultiPartPatch + 0)->Int(), start + 4);
    if (library) {
      const SimBytes plays = instrument.partBuffer(0);
      EXPECT_EQ(std::string(plays.begin() + 370, plays.begin() + 376), "Fact" + std::to_string(start + 4));
    }
  }
}
}  // namespace
