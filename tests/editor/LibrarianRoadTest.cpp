// The editor's transfers with the instrument answering: a single request
// into a library slot, the part sent back for its locked sections, the part
// sent after Randomize and read back at the next block. What the slot, the
// instrument and the screen hold afterwards tells.
#include "../library/LibraryTestSupport.h"
#include "EditorTestSupport.h"
#include "LibrarianJobs.h"
#include "LibrarianViewControl.h"
#include "PatchLibrarian.h"

#include <utility>

namespace {
class LibrarianRoadTest : public EditorTest {
 protected:
  LibrarianRoadTest() {
    writeFile(getPatchesFolderStr() + "/Bank.syx", soundFile("Bank ", 100));
    writeFile(getPatchesFolderStr() + "/Multis.syx", multiFile("Multi ", 100));
    makePlug();
    param(kMainTab)->Set(1);
    instrumentAnswers();
  }
  // The name in the first dump of a slot of the upper pane's bank.
  std::string slotName(int slot, bool multi = false) {
    const auto bank = plug->patchLibrarian->bankAt(multi ? kMultiList : kSoundList, 0);
    const Bytes& dump = bank->patches.at(static_cast<size_t>(slot)).dumps.at(0).bytes;
    const size_t at = multi ? 23 : 370;
    return std::string(dump.begin() + static_cast<long>(at), dump.begin() + static_cast<long>(at) + 9);
  }
  void selectSlot(int slot) {
    plug->patchLibrarian->targetSlot = slot;
    plug->librarianView()->selectedUpper = slot;
  }
};

TEST_F(LibrarianRoadTest, ASingleRequestThatFillsASlotLeavesTheBankUnsaved) {
  const struct {
    const char* what;
    bool multi;
    std::function<void(Tarnivex&)> request;
    const char* name;
  } rows[] = {
      {"sound B05", false, [](Tarnivex& t) { t.midiMessageManager->sendSinglePatchRequestSysexFromLibrarian(false, 1); },
       "SOUND B05"},
      {"the current part", false,
       [](Tarnivex& t) { t.midiMessageManager->sendSinglePatchRequestSysexFromLibrarian(true, 0); }, "PART A03 "},
      {"part 3 for the library", false,
       [](Tarnivex& t) {
         SenderJob job;
         job.jobCode = 6;
         job.partArgument = 2;
         job.requestFlag = false;
         t.midiMessageManager->startJob(job);
       },
       "PART A03 "},
      {"multi 5", true,
       [](Tarnivex& t) {
         SenderJob job;
         job.jobCode = 7;
         t.midiMessageManager->startJob(job);
       },
       "MULTI A05"},
      {"the init sound", false, [](Tarnivex& t) { t.midiMessageManager->startJob(initJob(false, false, 2)); },
       "Init Patc"},
      {"the init multi", true, [](Tarnivex& t) { t.midiMessageManager->startJob(initJob(true, false, 2)); },
       "Init Mult"},
      {"the editor's multi", true,
       [](Tarnivex& t) {
         t.setParamDisplayText(kMultiName, 0, "Edited Multi");
         t.midiMessageManager->startJob(sendMultiJob(true, false));
       },
       "Edited Mu"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    setParam(kDatatype, row.multi ? 1 : 0);
    plug->currentPart = 2;
    settle();
    param(kBankEditUnsaved)->Set(0);
    selectSlot(5);
    row.request(*plug);
    settle();
    EXPECT_EQ(slotName(5, row.multi), row.name);
    EXPECT_EQ(param(kBankEditUnsaved)->Value(), 1.0);
    EXPECT_EQ(plug->paramNameDisplay->GetText(), "Data received to slot(s)");
    // Onto a slot past the bank, or with no slot selected, the instrument
    // is asked nothing, and the bank stays saved.
    for (const int slot : {110, -1}) {
      SCOPED_TRACE(slot);
      param(kBankEditUnsaved)->Set(0);
      arrivedAtInstrument();
      selectSlot(slot);
      row.request(*plug);
      awaitRequestThread();
      EXPECT_TRUE(arrivedAtInstrument().empty());
      EXPECT_EQ(param(kBankEditUnsaved)->Value(), 0.0);
      EXPECT_EQ(plug->paramNameDisplay->GetText(), "Slot not written!");
      EXPECT_EQ(plug->paramValueDisplay->GetText(), slot < 0    ? "Select a library slot first!"
                                                    : row.multi ? "A bank holds 100 multis"
                                                                : "A bank holds 100 sounds");
    }
  }
}

// A multi handed to the library slot that never arrived (dropped on the
// way) leaves the multi record armed; the next sound request must not lose
// its reply to it.
TEST_F(LibrarianRoadTest, AMultiRecordLeftArmedDoesNotSwallowTheReplyToASoundRequest) {
  setParam(kDatatype, 1);
  settle();
  plug->SetLibrarianRequestActive(true);
  setParam(kDatatype, 0);
  settle();
  plug->SetLibrarianRequestActive(true);
  selectSlot(7);
  plug->midiMessageManager->sendSinglePatchRequestSysexFromLibrarian(false, 2);
  settle();
  EXPECT_EQ(slotName(7), "SOUND C07");
  EXPECT_FALSE(plug->midiMessageManager->performanceRequest.active);
}

// "Hardware by Prog No." while a part's late reply comes in: the part's
// edit buffer is no answer to the library's request. The slot takes the
// stored program asked for, or nothing, and only then says received.
TEST_F(LibrarianRoadTest, TheLibrarysRequestTakesOnlyTheProgramItAskedFor) {
  constexpr int kOther = 9;
  const Bytes partAsked = {0xF0, 0x3E, 0x10, kDeviceId, 0x00, 0x30, kOther, 0xF7};
  for (const bool answered : {true, false}) {
    SCOPED_TRACE(answered ? "the library's answer after the part's" : "the library's answer lost");
    const int slot = answered ? 5 : 6;
    const Bytes libraryAsked = {0xF0, 0x3E, 0x10, kDeviceId, 0x00, 0x01, static_cast<uint8_t>(slot), 0xF7};
    setParam(kDatatype, 0);
    settle();
    selectSlot(slot);
    const std::string partShown = plug->paramDisplayText(kPatchName + kOther, 0);
    bool first = true;
    plug->midiMessageManager->virtualPause = [&](int) {
      if (!std::exchange(first, false)) return true;
      const ByteList sent = sentSinceLast();
      EXPECT_EQ(sent, ByteList{libraryAsked});
      backend->inject(instrument.receive(partAsked).at(0));
      if (answered) backend->inject(instrument.receive(libraryAsked).at(0));
      return true;
    };
    plug->midiMessageManager->sendSinglePatchRequestSysexFromLibrarian(false, 1);
    settle();
    EXPECT_FALSE(first);
    EXPECT_EQ(slotName(slot), answered ? "SOUND B05" : "Bank 6   ");
    EXPECT_EQ(plug->paramDisplayText(kPatchName + kOther, 0), partShown);
    if (answered) EXPECT_EQ(std::string(plug->paramNameDisplay->GetText()), "Data received to slot(s)");
    else EXPECT_EQ(std::string(plug->paramValueDisplay->GetText()), "CONNECTION TIMED OUT!");
    instrumentAnswers();
  }
}

// After a program step the editor sends the part back when a section of it
// is locked, so the instrument plays the locked sections the editor kept.
TEST_F(LibrarianRoadTest, ThePartGoesBackToTheInstrumentOnlyWithALockedSection) {
  const struct {
    const char* what;
    int section;  // 0..39, -1 none
    double lock;
    bool sent;
  } rows[] = {{"nothing locked", -1, 0, false},
              {"filter 1 locked", 7, 1, true},
              {"modifier 4 locked", 39, 1, true},
              {"a lock of 0.5 is no lock", 7, 0.5, false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    for (int k = 0; k < 40; ++k) param(kSectionLockOsc1 + 16 * k + 6)->Set(k == row.section ? row.lock : 0);
    plug->setParamDisplayText(kPatchName + 6, 0, "Kept Part Six");
    plug->sendPartDataBackToHardware(6);
    settle();
    const ByteList arrived = arrivedAtInstrument();
    if (!row.sent) {
      EXPECT_TRUE(arrived.empty());
      continue;
    }
    ASSERT_EQ(arrived.size(), 1u);
    EXPECT_EQ(Bytes(arrived[0].begin(), arrived[0].begin() + 7), (Bytes{0xF0, 0x3E, 0x10, kDeviceId, 0x10, 0x30, 6}));
    EXPECT_EQ(instrument.partBuffer(6), arrived[0]);
    EXPECT_EQ(std::string(arrived[0].begin() + 370, arrived[0].begin() + 383), "Kept Part Six");
  }
}

// Randomize changes the current part in the editor, sends the new sound to
// the instrument, and the next block reads the part back into the editor.
TEST_F(LibrarianRoadTest, RandomizeSendsThePartAndTheNextBlockReadsItBackIntoTheEditor) {
  plug->currentPart = 9;
  param(kMainTab)->Set(2);
  setParam(kSectionLockFilter1 + 9, 0);
  param(kFilter1Cutoff + 9)->InitInt("", 0, 0, 127);
  for (int k = 0; k < 40; ++k) param(kSectionLockOsc1 + 16 * k + 9)->Set(k == 7 ? 0 : 1);  // only filter 1 moves
  settle();
  setParam(kRandomize, 1);
  settle();
  const Bytes part = instrument.partBuffer(9);
  ASSERT_EQ(part.size(), 392u);
  EXPECT_EQ(part[6], 9);
  EXPECT_EQ(part[85], param(kFilter1Cutoff + 9)->Int());  // the cutoff the editor now holds
  EXPECT_EQ(instrument.partsStored(), std::vector<int>{9});
  const int library = static_cast<int>(plug->patchLibrarian->bankAt(kSoundList, 0)->patches.size());

  plug->setParamDisplayText(kPatchName + 9, 0, "Editor's Name");
  block();
  settle();
  EXPECT_EQ(plug->paramDisplayText(kPatchName + 9, 0).substr(0, 8), std::string(part.begin() + 370, part.begin() + 378));
  EXPECT_EQ(static_cast<int>(plug->patchLibrarian->bankAt(kSoundList, 0)->patches.size()), library);
  EXPECT_EQ(slotName(0), "Bank 0   ");  // the reply went to the editor, not into a slot
}
}  // namespace
