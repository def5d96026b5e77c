// The editor's commands from a table: what each does to the parameters, the
// layers, the jobs started and the bytes that reach the instrument.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "FrameChecksum.h"
#include "../library/LibraryTestSupport.h"
#include "ByteChunk.h"
#include "ControlLayer.h"
#include "EditMenus.h"
#include "EditorWindowDriver.h"
#include "IGraphics.h"
#include "FolderMenuControl.h"
#include "LibrarianBrowser.h"
#include "LibrarianViewControl.h"
#include "PatchLibrarian.h"
#include "EditorTestSupport.h"

namespace {
struct Job {
  int code, part;
  bool first, second;
  bool operator==(const Job&) const = default;
};

class CommandsTest : public EditorTest {
 protected:
  void start() {
    makePlug();
    plug->midiMessageManager->jobObserver = [this](JobThread thread, const SenderJob& job) {
      while (holdJobs) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      std::lock_guard<std::mutex> lock(jobsMutex);
      // A pick's work on its part's lane counts as the job it does.
      if (thread == JobThread::kRequest || thread == JobThread::kPartLane)
        jobs.push_back({job.jobCode, job.partArgument, job.firstSendFlag, job.secondSendFlag});
    };
  }
  std::vector<Job> takeJobs() {
    awaitRequestThread();
    std::lock_guard<std::mutex> lock(jobsMutex);
    return std::exchange(jobs, {});
  }
  // The short messages that reached the instrument; the dumps show in the jobs.
  ByteList shortArrivals() {
    ByteList shorts;
    for (Bytes& message : arrivedAtInstrument())
      if (message.size() < 20) shorts.push_back(std::move(message));
    return shorts;
  }
  // The jobs' pauses take no time; at each, what the plug-in sent so far
  // reaches the instrument and its replies, unless it is silent, come back.
  // The user presses CANCEL once the instrument has been asked with device
  // ID cancelAfterId, or at the first pause of cancelAtMs ms (-1: never).
  // The pauses the job takes after that are counted.
  void instrumentWith(bool silent, int cancelAfterId, int cancelAtMs = -1) {
    instrument.setSilent(silent);
    pausesAfterCancel = 0;
    auto pressed = std::make_shared<bool>(false);
    plug->midiMessageManager->virtualPause = [this, pressed, cancelAfterId, cancelAtMs](int ms) {
      if (*pressed) ++pausesAfterCancel;
      bool asked = false;
      for (const Bytes& message : sentSinceLast()) {
        asked = asked || (message.size() == 8 && message[1] == 0x3E && message[3] == cancelAfterId);
        for (const SimBytes& reply : instrument.receive(message)) backend->inject(reply);
      }
      if (!*pressed && (asked || ms == cancelAtMs)) {
        *pressed = true;
        setParam(kCancelDataRequest, 1);
      }
      return true;
    };
  }
  // Multi mode and STEP LIBRARY, with a multi in the upper pane's slot 5.
  void multiInLibrarySlot5() {
    param(kGlobalMidiChannel)->Set(1);
    setParam(kDatatype, 1);
    plug->librarianBrowser->openBankForReceiving();
    {
      PatchLibrarian& library = *plug->patchLibrarian;
      auto lock = library.lock();
      auto bank = library.bankForEdit(kMultiList, library.upperBank);
      ASSERT_NE(bank, nullptr);
      LibrarianPatch& entry = bank->patches.at(5);
      entry.clear();
      entry.dumps.push_back(PatchSysexMessage{multiDump("Picked")});
    }
    setParam(kControlLibrary, 1);
  }
  // The pauses the worker takes, in order.
  void recordWorkerPauses() {
    plug->midiMessageManager->virtualPause = [this](int ms) {
      std::lock_guard<std::mutex> lock(jobsMutex);
      workerPauses.push_back(ms);
      return true;
    };
  }
  std::atomic<bool> holdJobs{false};
  std::mutex jobsMutex;
  std::vector<Job> jobs;
  std::vector<int> workerPauses;
  std::atomic<int> pausesAfterCancel{0};
};

struct Row {
  const char* what;
  int param;
  double value;
  std::vector<Job> jobs;
  ByteList bytes;  // what the instrument receives, in order
  std::function<void(Tarnivex&)> before, check;
  bool prefixOnly = false;  // the job goes on sending; its first bytes are checked
  std::function<void(Tarnivex&)> act = {};  // in place of the parameter change
};

TEST_F(CommandsTest, EachCommandFromTheTable) {
  const Bytes notesOffPart2 = {0xB2, 0x7B, 0x00};
  // A request 3E 10 dd command b c with the editor's device ID, then with
  // each ID of the search up to lastId (or with the editor's ID again,
  // repeats times).
  const auto asked = [](unsigned char command, unsigned char b, unsigned char c, int lastId, int repeats = 0) {
    ByteList out = {{0xF0, 0x3E, 0x10, kDeviceId, command, b, c, 0xF7}};
    for (int id = 0; id <= lastId; ++id) out.push_back({0xF0, 0x3E, 0x10, static_cast<unsigned char>(id), command, b, c, 0xF7});
    for (int i = 0; i < repeats; ++i) out.push_back(out.front());
    return out;
  };
  const auto partAsked = [&](int part, int lastId = -1) { return asked(0x00, 0x30, static_cast<unsigned char>(part), lastId); };
  // STEP SYNTH in sound mode, part 1 from A 001 up to A 002.
  const ByteList partStepped = {{0xB0, 0x7B, 0}, {0xB0, 0x00, 0}, {0xB0, 0x20, 0x40}, {0xC0, 0x01}};
  const auto stepSynth = [](Tarnivex& t) {
    t.GetParam(kGlobalRxProgramChange)->Set(1);
    t.GetParam(kMultiPartPatch)->Set(0);
  };
  const auto librarySlot0 = [](Tarnivex& t) {
    t.librarianBrowser->openBankForReceiving();
    t.selectLibrarianSlot(0, 0);
  };
  // The multi of slot 5 on its way: notes off on channel 1 (the part's, then
  // the library send's), the multi's program on the global channel (the
  // dump is no short message).
  const ByteList multiPicked = {{0xB0, 0x7B, 0x00}, {0xB0, 0x7B, 0x00}, {0xB0, 0x00, 0x00}, {0xC0, 0x05}};
  const auto plus = [](ByteList a, const ByteList& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  // GET MULTI: every part's sound, then the multi, on the editor's ID; and
  // the rest of it on ID 5 once part 1's search found the instrument there.
  ByteList multiAsked, askedOn5;
  for (unsigned char p = 0; p < 16; ++p) {
    multiAsked.push_back({0xF0, 0x3E, 0x10, kDeviceId, 0x00, 0x30, p, 0xF7});
    if (p > 0) askedOn5.push_back({0xF0, 0x3E, 0x10, 0x05, 0x00, 0x30, p, 0xF7});
  }
  multiAsked.push_back({0xF0, 0x3E, 0x10, kDeviceId, 0x01, 0x20, 0x00, 0xF7});
  askedOn5.push_back({0xF0, 0x3E, 0x10, 0x05, 0x01, 0x20, 0x00, 0xF7});
  const auto endedWith = [this](const char* text) {
    return [this, text](Tarnivex& t) {
      EXPECT_EQ(t.paramValueDisplay->GetText(), text);
      EXPECT_FALSE(t.processing) << "the overlay is gone";
      // At most the one tick a part's request pauses after its wait.
      EXPECT_LE(pausesAfterCancel, 1) << "CANCEL ends the job at once";
    };
  };
  const std::vector<Row> rows = {
      {"envelope trigger sends the part", kFilterEnvTrigger + 3, 1, {{2, 3, false, false}}, {}, {}, {}},
      {"envelope mode sends the part", kAmpEnvMode + 1, 2, {{2, 1, false, false}}, {}, {}, {}},
      {"multi name sends the multi", kMultiName, 0, {{0, 0, false, false}}, {}, {}, {}},
      {"sound name silences and sends the part", kPatchName + 2, 0, {{2, 2, false, true}}, {notesOffPart2}, {}, {}},
      {"push multi; all parts for this send alone", kPushArrangement, 1, {{0, 0, false, false}}, {}, {},
       [](Tarnivex& t) { EXPECT_TRUE(!t.sendAllParts && t.sendGlobalFirst); }},
      {"request the multi", kRequestTempData, 1, {{5, 0, false, false}},
       {{0xF0, 0x3E, 0x10, 0x21, 0x00, 0x30, 0x00, 0xF7}}, {}, {}, true},
      {"PART TO SLOT with multis shown lands the multi in the selected slot", kOverwriteBank, 1, {{0, 0, true, false}},
       {},
       [](Tarnivex& t) {
         t.GetParam(kDatatype)->Set(1);
         t.OnParamChange(kDatatype);
         t.librarianBrowser->openBankForReceiving();
         t.selectLibrarianSlot(0, 5);
       },
       [](Tarnivex& t) {
         PatchLibrarian& library = *t.patchLibrarian;
         const LibrarianPatch entry = library.entryAt(kMultiList, library.upperBank, 5);
         ASSERT_FALSE(entry.empty());
         EXPECT_EQ(entry.dumps[0].bytes.size(), 393u);
         EXPECT_EQ(entry.dumps[0].bytes[4], 0x11);  // a multi
         EXPECT_EQ(t.paramNameDisplay->GetText(), "Data received to slot(s)");
       }},
      {"the multi asked for, cancelled while the device IDs are searched, says so", kRequestTempData, 1,
       {{5, 0, false, false}}, {{0xF0, 0x3E, 0x10, 0x21, 0x00, 0x30, 0x00, 0xF7}},
       [](Tarnivex& t) {
         // No instrument answers; CANCEL comes a few ticks into the search.
         auto ticks = std::make_shared<int>(0);
         t.midiMessageManager->virtualPause = [&t, ticks](int) {
           if (++*ticks == 25) t.midiMessageManager->sender->cancelRequested = true;
           return true;
         };
       },
       [](Tarnivex& t) { EXPECT_EQ(t.paramValueDisplay->GetText(), "Data request CANCELLED!"); }, true},
      // A silent instrument: one request's wait and search, then the job
      // gives up; CANCEL ends it at once.
      {"a multi picked in STEP LIBRARY from a silent instrument: the first part's request times out, no other is asked",
       kMultiPatch, 5, {{3, 0, false, false}}, plus(multiPicked, partAsked(0, 127)),
       [this](Tarnivex&) {
         multiInLibrarySlot5();
         instrumentWith(true, -1);
       },
       endedWith("CONNECTION TIMED OUT!")},
      {"a multi picked in STEP LIBRARY, cancelled while the first part's device ID is searched: nothing more is asked",
       kMultiPatch, 5, {{3, 0, false, false}}, plus(multiPicked, partAsked(0, 5)),
       [this](Tarnivex&) {
         multiInLibrarySlot5();
         instrumentWith(true, 5);
       },
       endedWith("Data request CANCELLED!")},
      {"a multi picked in STEP LIBRARY, cancelled after the first part's sound came: no other part is asked",
       kMultiPatch, 5, {{3, 0, false, false}}, plus(multiPicked, partAsked(0)),
       [this](Tarnivex&) {
         multiInLibrarySlot5();
         instrumentWith(false, -1, 250);
       },
       endedWith("Data request CANCELLED!")},
      {"GET MULTI from a silent instrument: the first part's request times out, no other is asked", kRequestTempData,
       1, {{5, 0, false, false}}, partAsked(0, 127),
       [this](Tarnivex&) {
         instrumentWith(true, -1);
       },
       endedWith("CONNECTION TIMED OUT!")},
      // The first part's search finds the instrument on another ID: the
      // other parts and the multi are asked on that one.
      {"GET MULTI from an instrument on device ID 5: every request after the search carries 5", kRequestTempData, 1,
       {{5, 0, false, false}}, plus(partAsked(0, 5), askedOn5),
       [this](Tarnivex& t) {
         t.initialisationRequested = true;  // as after start-up: a dump's device ID is learnt
         instrument.setDeviceId(5);
         instrumentWith(false, -1);
       },
       [this](Tarnivex& t) {
         instrument.setDeviceId(kDeviceId);
         EXPECT_EQ(t.paramValueDisplay->GetText(), "Data request completed!");
         EXPECT_EQ(t.GetParam(kGlobalSysExID)->Int(), 5);
         const SimBytes multi = instrument.multiBuffer();
         EXPECT_EQ(t.paramDisplayText(kMultiName, 0), std::string(multi.begin() + 23, multi.begin() + 39));
       }},
      // A CANCEL pressed with no request running ends no later request.
      {"GET MULTI after an earlier CANCEL: every part and the multi are asked", kRequestTempData, 1,
       {{5, 0, false, false}}, multiAsked,
       [this](Tarnivex&) {
         setParam(kCancelDataRequest, 1);
         instrumentWith(false, -1);
       },
       [](Tarnivex& t) { EXPECT_EQ(t.paramValueDisplay->GetText(), "Data request completed!"); }},
      {"a part's sound asked after an earlier CANCEL: it comes", kPatchUp + 0, 1, {{6, 0, false, false}},
       plus(partStepped, partAsked(0)),
       [&, this](Tarnivex& t) {
         stepSynth(t);
         setParam(kCancelDataRequest, 1);
         instrumentWith(false, -1);
       },
       [](Tarnivex& t) { EXPECT_EQ(t.paramValueDisplay->GetText(), "Data request Completed!"); }},
      {"the edit multi asked for into a library slot, cancelled while it is awaited", kRequestTempData, 0, {{5, 0, false, false}},
       {{0xF0, 0x3E, 0x10, kDeviceId, 0x01, 0x20, 0x00, 0xF7}},
       [this](Tarnivex&) {
         instrumentWith(true, -1, 25);
       },
       endedWith("Data request CANCELLED!"), false,
       [](Tarnivex& t) {
         SenderJob job;
         job.jobCode = 5;
         job.requestFlag = false;
         t.midiMessageManager->startJob(job);
       }},
      // The neighbouring requests end alike.
      {"a part's sound asked from a silent instrument: one request and its search, then the time-out", kPatchUp + 0, 1,
       {{6, 0, false, false}}, plus(partStepped, partAsked(0, 127)),
       [&, this](Tarnivex& t) {
         stepSynth(t);
         instrumentWith(true, -1);
       },
       endedWith("CONNECTION TIMED OUT!")},
      {"a part's sound asked, cancelled while its device ID is searched", kPatchUp + 0, 1, {{6, 0, false, false}},
       plus(partStepped, partAsked(0, 5)),
       [&, this](Tarnivex& t) {
         stepSynth(t);
         instrumentWith(true, 5);
       },
       endedWith("Data request CANCELLED!")},
      {"bank A asked into the library from a silent instrument: its first program's request and search, then the time-out",
       kCancelDataRequest, 0, {{10, 0, false, false}}, asked(0x00, 0x00, 0x00, 127),
       [&, this](Tarnivex& t) {
         librarySlot0(t);
         instrumentWith(true, -1);
       },
       endedWith("CONNECTION TIMED OUT!"), false,
       [](Tarnivex& t) { t.midiMessageManager->sendAllPatchRequestSysexFromLibrarian(0); }},
      {"bank A asked into the library, cancelled while the device ID is searched", kCancelDataRequest, 0,
       {{10, 0, false, false}}, asked(0x00, 0x00, 0x00, 5),
       [&, this](Tarnivex& t) {
         librarySlot0(t);
         instrumentWith(true, 5);
       },
       endedWith("Data request cancelled!"), false,
       [](Tarnivex& t) { t.midiMessageManager->sendAllPatchRequestSysexFromLibrarian(0); }},
      {"the edit buffer asked into a library slot from a silent instrument: asked again 128 times, then the time-out",
       kCancelDataRequest, 0, {{9, 0, false, false}}, asked(0x00, 0x30, 0x00, -1, 128),
       [&, this](Tarnivex& t) {
         librarySlot0(t);
         instrumentWith(true, -1);
       },
       endedWith("CONNECTION TIMED OUT!"), false,
       [](Tarnivex& t) { t.midiMessageManager->sendSinglePatchRequestSysexFromLibrarian(true, 0); }},
      {"a stored multi asked into a library slot from a silent instrument: one request and its search, then the time-out",
       kCancelDataRequest, 0, {{7, 0, false, false}}, asked(0x01, 0x00, 0x00, 127),
       [&, this](Tarnivex& t) {
         t.GetParam(kGlobalMidiChannel)->Set(1);
         t.GetParam(kDatatype)->Set(1);
         t.OnParamChange(kDatatype);
         librarySlot0(t);
         instrumentWith(true, -1);
       },
       endedWith("CONNECTION TIMED OUT!"), false,
       [](Tarnivex& t) {
         SenderJob job;
         job.jobCode = 7;
         t.midiMessageManager->startJob(job);
       }},
      {"cancel", kCancelDataRequest, 1, {}, {}, {},
       [](Tarnivex& t) { EXPECT_TRUE(t.midiMessageManager->sender->cancelRequested); }},
      {"library stepping switches program stepping off", kControlLibrary, 1, {}, {}, {},
       [](Tarnivex& t) { EXPECT_TRUE(t.libraryControl && !t.browse.progBankControl && t.GetParam(kControlProgBank)->Value() == 0); }},
      {"program stepping switches library stepping off", kControlProgBank, 1, {}, {},
       [](Tarnivex& t) { t.GetParam(kControlLibrary)->Set(1); t.OnParamChange(kControlLibrary); },
       [](Tarnivex& t) { EXPECT_TRUE(!t.libraryControl && t.browse.progBankControl && t.GetParam(kControlLibrary)->Value() == 0); }},
      {"device ID change goes out under the old ID", kGlobalSysExID, 0x22, {},
       {{0xF0, 0x3E, 0x10, 0x21, 0x24, 0x00, 0x19, 0x22, 0xF7}},
       [](Tarnivex& t) { t.setParameterFromPlug(kGlobalSysExID, 0x21, false); },
       [](Tarnivex& t) { EXPECT_EQ(t.GetParam(kDeviceID_old)->Int(), 0x21); EXPECT_EQ(t.deviceId, 0x22); }},
      {"program up wraps from 99 to 0 and asks for the part", kPatchUp + 0, 1, {{6, 0, false, false}},
       {{0xB0, 0x7B, 0}, {0xB0, 0x00, 0}, {0xB0, 0x20, 0x40}, {0xC0, 0x00}, {0xF0, 0x3E, 0x10, 0x21, 0x00, 0x30, 0x00, 0xF7}},
       [](Tarnivex& t) { t.GetParam(kGlobalRxProgramChange)->Set(1); t.GetParam(kMultiPartPatch)->Set(99); },
       [](Tarnivex& t) { EXPECT_EQ(t.GetParam(kMultiPartPatch)->Int(), 0); }},
      {"program down wraps from 0 to 99", kPatchDown + 1, 1, {{6, 1, false, false}},
       {{0xB1, 0x7B, 0}, {0xB1, 0x00, 0}, {0xB1, 0x20, 0x40}, {0xC1, 99}, {0xF0, 0x3E, 0x10, 0x21, 0x00, 0x30, 0x01, 0xF7}},
       [](Tarnivex& t) { t.GetParam(kGlobalRxProgramChange)->Set(1); t.GetParam(kMultiPartPatch + 1)->Set(0); },
       [](Tarnivex& t) { EXPECT_EQ(t.GetParam(kMultiPartPatch + 1)->Int(), 99); }},
      {"a part steps from the program it shows, not from another part's step", kPatchUp + 2, 1, {{6, 2, false, false}},
       {{0xB2, 0x7B, 0}, {0xB2, 0x00, 0}, {0xB2, 0x20, 0x40}, {0xC2, 40}, {0xF0, 0x3E, 0x10, 0x21, 0x00, 0x30, 0x02, 0xF7}},
       [](Tarnivex& t) {
         t.GetParam(kGlobalRxProgramChange)->Set(1);
         t.currentProgram = 1;
         t.GetParam(kMultiPartPatch + 2)->Set(39);
       },
       [](Tarnivex& t) { EXPECT_EQ(t.GetParam(kMultiPartPatch + 2)->Int(), 40); }},
      {"a step onto what another active part plays is refused and leaves the part as it was", kPatchUp + 3, 1, {}, {},
       [](Tarnivex& t) {
         t.GetParam(kGlobalRxProgramChange)->Set(1);
         t.GetParam(kMultiPartPatch + 3)->Set(39);
         t.GetParam(kMultiPartStatus + 1)->Set(1);
         t.notePartPlays(1, 0, 40);  // the instrument told part 2's bank and program
       },
       [](Tarnivex& t) { EXPECT_EQ(t.GetParam(kMultiPartPatch + 3)->Int(), 39); }},
      {"a locked part is not stepped", kPatchUp + 4, 1, {}, {},
       [](Tarnivex& t) { t.GetParam(kGlobalRxProgramChange)->Set(1); t.GetParam(kPartLock + 4)->Set(1); }, {}},
      {"no stepping without program change reception", kPatchUp + 0, 1, {}, {}, {},
       [](Tarnivex& t) { EXPECT_EQ(t.paramNameDisplay->GetText(), "Program Change Disabled."); }},
      {"randomise on the first page does nothing", kRandomize, 1, {}, {}, {}, {}},
      {"a one-letter search asks for more", kPatchSearchString, 0, {}, {},
       [](Tarnivex& t) { t.setParamDisplayText(kPatchSearchString, 0, "a"); },
       [](Tarnivex& t) {
         EXPECT_EQ(t.paramNameDisplay->GetText(), "Enter 2 digits or more!");
         EXPECT_EQ(t.paramDisplayText(kPatchSearchString, 0), "search...");
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    start();
    // Request jobs end at their first wait: only their first request is sent.
    plug->midiMessageManager->virtualPause = [](int) { return false; };
    pausesAfterCancel = 0;
    if (row.before) row.before(*plug);
    if (row.act) row.act(*plug);
    else setParam(row.param, row.value);
    EXPECT_EQ(takeJobs(), row.jobs);
    ByteList arrived = shortArrivals();
    if (row.prefixOnly && arrived.size() > row.bytes.size()) arrived.resize(row.bytes.size());
    EXPECT_EQ(arrived, row.bytes);
    if (row.check) row.check(*plug);
    freshMidiSystem();
  }
}

// Part 1's pick, as its control hands it on, meets a conflict only with what
// another active part is known to play: both halves sent or told by the
// instrument, or named by a multi that went out or came in. Each row starts
// on a fresh instance with STEP SYNTH off and part 2 active.
TEST_F(CommandsTest, APickMeetsAConflictOnlyWithWhatAnotherPartIsKnownToPlay) {
  const auto report = [this](Bytes message) {  // part 2's bank (0x36) or program (0x37) from the instrument
    // With its local control on the instrument plays what it tells.
    setParam(kGlobalLocalControl, 1);
    ISysEx sysex(0, message.data(), static_cast<int>(message.size()));
    plug->ProcessSysEx(&sysex, true);
  };
  const auto pick = [this](int part, int bank, int program) {
    param(kMultiPartBank + part)->Set(bank);
    plug->SetParameterFromGUI(kMultiPartPatch + part, param(kMultiPartPatch + part)->GetNormalized(program));
  };
  const auto sent = [this](int part, int bank, int program) {
    for (const auto& [index, value] : {std::pair{kMultiPartStatus, 1}, {kMultiPartBank, bank}, {kMultiPartPatch, program}})
      param(index + part)->Set(value);
    ASSERT_TRUE(sendShownPair(part));
  };
  const auto out = [](int program, unsigned char part = 0) {
    const auto cc = static_cast<unsigned char>(0xB0 | part), pc = static_cast<unsigned char>(0xC0 | part);
    return ByteList{{cc, 0x7B, 0}, {cc, 0x7B, 0}, {cc, 0, 0}, {cc, 0x20, 0x40}, {pc, static_cast<unsigned char>(program)}};
  };
  std::atomic<bool> holdMidiThread{false};
  const struct {
    const char* what;
    std::function<void()> before, act;
    ByteList bytes;  // the first that reach the instrument
    bool refused;
    const char* status = nullptr;  // a pick that would send nothing: why
  } rows[] = {
      {"part 2's bank alone told: A 001 goes out", [&] { report({0xF0, 0x3E, 0x10, 0x21, 0x21, 0, 0x36, 0, 0xF7}); },
       [&] { pick(0, 0, 0); }, out(0), false},
      {"part 2's program alone told: A 001 goes out", [&] { report({0xF0, 0x3E, 0x10, 0x21, 0x21, 0, 0x37, 0, 0xF7}); },
       [&] { pick(0, 0, 0); }, out(0), false},
      {"both told, part 2 plays B 001: refused",
       [&] {
         report({0xF0, 0x3E, 0x10, 0x21, 0x21, 0, 0x36, 1, 0xF7});
         report({0xF0, 0x3E, 0x10, 0x21, 0x21, 0, 0x37, 0, 0xF7});
       },
       [&] { pick(0, 1, 0); }, {}, true},
      {"part 3 sent A 006, then a restore put it on B 010: A 006 goes out",
       [&] {
         sent(2, 0, 5);
         param(kMultiPartBank + 2)->Set(1);
         param(kMultiPartPatch + 2)->Set(9);
         ByteChunk project;
         ASSERT_TRUE(plug->SerializeState(&project));
         ASSERT_GT(plug->UnserializeState(&project, 0), 0);
       },
       [&] { pick(0, 0, 5); }, out(5), false},
      {"the instrument's multi came in, part 2 on B 010: refused",
       [&] {
         for (const auto& [position, value] : {std::pair{54, 1}, {55, 9}, {61, 1}}) instrument.turnMultiKnob(position, value);
         instrumentAnswers();
         setParam(kRequestTempData, 1);
         takeJobs();
         param(kMultiPartMIDICh + 0)->Set(2);  // the multi's part 1 played on Global
       },
       [&] { pick(0, 1, 9); }, {}, true},
      {"part 2 sent A 008, then the instrument chose C 008 for it: A 008 goes out",
       [&] {
         sent(1, 0, 7);
         setParam(kGlobalLocalControl, 1);  // the instrument plays its own pick
         setParam(kMIDIFilterHWCCPassThrough, 1);
         setParam(kMIDIFilterHWPCPassThrough, 1);
         for (IMidiMsg msg : {IMidiMsg(0, 0xB1, 0, 0), IMidiMsg(0, 0xB1, 32, 66), IMidiMsg(0, 0xC1, 7, 0)})
           plug->ProcessMidiMsg(&msg, true);
       },
       [&] { pick(0, 0, 7); }, out(7), false},
      {"part 2 sent A 011, then a multi step: A 011 goes out, part 2's sound is not shared",
       [&] {
         sent(1, 0, 10);
         plug->notePartSoundHeld(1);
         param(kGlobalMidiChannel)->Set(1);
         param(kGlobalRxProgramChange)->Set(1);
         setParam(kDatatype, 1);
         setParam(kPatchUp + 0, 1);
         settle();
         setParam(kDatatype, 0);
         EXPECT_FALSE(plug->partSoundHeld[1]);
       },
       [&] { pick(0, 0, 10); }, out(10), false},
      {"part 2 picked A 008 before the ports were set: A 008 goes out",
       [&] {
         setParam(kDeviceOutSelection, 0);
         param(kGlobalRxProgramChange)->Set(1);
         pick(1, 0, 7);
         settle();
         setParam(kDeviceOutSelection, 2);
         ASSERT_TRUE(plug->midiIOConfigured);
       },
       [&] { pick(0, 0, 7); }, out(7), false},
      {"parts 2 and 3 sent A 011 and A 012: a multi step across them",
       [&] {
         sent(1, 0, 10);
         sent(2, 0, 11);
         param(kGlobalMidiChannel)->Set(1);
         setParam(kDatatype, 1);
         param(kMultiPatch)->Set(10);
       },
       [&] { setParam(kPatchUp + 0, 1); }, {{0xB0, 0x7B, 0}, {0xB0, 0, 0}, {0xC0, 11}}, false},
      {"part 1 locked takes A 008, which part 2 plays: nothing would go out",
       [&] {
         sent(1, 0, 7);
         param(kPartLock + 0)->Set(1);
       },
       [&] { pick(0, 0, 7); }, {}, false, "Nothing sent!"},
      {"program changes not taken", [] {}, [&] { param(kGlobalRxProgramChange)->Set(0), pick(0, 0, 7); }, {}, false,
       "Program Change Disabled."},
      {"part 2's A 008 is on its way, its bank select gone: part 1's is refused and put back", [] {},
       [&] {
         // Part 2's pick stops in the pause after its first message.
         holdMidiThread = true;
         plug->sleepFor = [&](int) {
           while (holdMidiThread) std::this_thread::sleep_for(std::chrono::milliseconds(1));
         };
         pick(1, 0, 7);
         for (int i = 0; i < 2000 && plug->pairClaims[1] == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
         pick(0, 0, 7);
         plug->midiMessageManager->picks.awaitLanesIdle(std::chrono::milliseconds(200));
         holdMidiThread = false;
       },
       out(7, 1), true},
      {"multi mode: part 2's A 008 goes to part 2, not as the multi's program",
       [&] {
         param(kGlobalMidiChannel)->Set(1);
         setParam(kDatatype, 1);
         param(kMultiPatch)->Set(10);
       },
       [&] { pick(1, 0, 7); }, out(7, 1), false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    ControlLayer conflict(1, "bankPatchConflictWindow");
    start();
    plug->conflictLayer = &conflict;
    setParam(kControlProgBank, 0);
    param(kMultiPartStatus + 1)->Set(1);
    param(kMultiPartPatch + 0)->Set(50);
    ASSERT_NO_FATAL_FAILURE(row.before());
    settle();
    arrivedAtInstrument();
    param(kGlobalRxProgramChange)->Set(1);
    conflict.Hide(true);
    const int shown = param(kMultiPartPatch + 0)->Int();
    row.act();
    takeJobs();
    ByteList arrived = shortArrivals();
    arrived.resize(std::min(arrived.size(), std::max<size_t>(row.bytes.size(), 1)));
    EXPECT_EQ(arrived, row.bytes);
    EXPECT_EQ(conflict.IsVisible(), row.refused);
    EXPECT_TRUE((!row.refused && !row.status) || param(kMultiPartPatch + 0)->Int() == shown) << "the part shows what it showed";
    EXPECT_TRUE(!row.status || plug->paramNameDisplay->GetText() == std::string(row.status));
    if (row.status) {
      // The multi that then goes out whole ends what the refusal said.
      setParam(kPushArrangement, 1);
      takeJobs();
      EXPECT_NE(plug->paramNameDisplay->GetText(), std::string(row.status)) << "after SEND MULTI";
    }
    freshMidiSystem();
  }
}

// GET MULTI asks each part's sound in turn. A pick of a part that comes
// after the part's sound was taken, in the pause after it, ends nothing:
// the parts after it and the multi are still asked, and the multi comes in.
TEST_F(CommandsTest, GetMultiGoesOnAfterAPickOfAPartWhoseSoundCame) {
  const Bytes part2Asked = {0xF0, 0x3E, 0x10, kDeviceId, 0x00, 0x30, 0x01, 0xF7};
  for (const bool fromHost : {true, false}) {
    SCOPED_TRACE(fromHost ? "the host's program change" : "the window's pick");
    start();
    setParam(kMIDIFilterDAWPCPassThrough, 1);
    param(kGlobalRxProgramChange)->Set(1);
    const SimBytes multi = instrument.multiBuffer();
    const std::string multiName(multi.begin() + 23, multi.begin() + 39);
    ASSERT_NE(plug->paramDisplayText(kMultiName, 0), multiName);
    ByteList asked;
    bool picked = false;
    plug->midiMessageManager->virtualPause = [&](int) {
      MIDIMessageManager& manager = *plug->midiMessageManager;
      const uint64_t heard = manager.picks.heard();
      bool part2 = false;
      for (const Bytes& message : sentSinceLast()) {
        if (message.size() == 8 && message[0] == 0xF0) asked.push_back(message);
        part2 = part2 || message == part2Asked;
        for (const SimBytes& reply : instrument.receive(message)) backend->inject(reply);
      }
      if (part2 && !picked) {
        // Part 2's sound is in; then part 2 is picked while the job pauses.
        for (int i = 0; i < 2000 && manager.picks.heard() == heard; ++i)
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        picked = true;
        if (fromHost) {
          hostEvents({{0xC1, 5}});
        } else {
          Pick pick;
          pick.road = Pick::Road::kWindow;
          pick.slot = 1;
          pick.program = 5;
          manager.picks.pick(pick);
        }
      }
      return true;
    };
    setParam(kRequestTempData, 1);
    takeJobs();
    ASSERT_TRUE(picked);
    ByteList expected;
    for (unsigned char p = 0; p < 16; ++p) expected.push_back({0xF0, 0x3E, 0x10, kDeviceId, 0x00, 0x30, p, 0xF7});
    expected.push_back({0xF0, 0x3E, 0x10, kDeviceId, 0x01, 0x20, 0x00, 0xF7});
    // The waited pick's own request for part 2 may follow the job's.
    if (asked.size() > expected.size()) asked.resize(expected.size());
    EXPECT_EQ(asked, expected);
    EXPECT_EQ(plug->paramDisplayText(kMultiName, 0), multiName);
    freshMidiSystem();
  }
}

// In multi mode the arrows step the multi: from the multi's program, whatever
// the part's.
TEST_F(CommandsTest, InMultiModeTheArrowsStepFromTheMultisProgram) {
  start();
  plug->midiMessageManager->virtualPause = [](int) { return false; };
  param(kGlobalRxProgramChange)->Set(1);
  param(kGlobalMidiChannel)->Set(1);
  setParam(kDatatype, 1);
  ASSERT_TRUE(plug->multiMode);
  param(kMultiPatch)->Set(10);
  param(kMultiPartPatch + 2)->Set(50);
  setParam(kPatchUp + 2, 1);
  takeJobs();
  EXPECT_EQ(param(kMultiPatch)->Int(), 11);
  setParam(kPatchDown + 2, 1);
  takeJobs();
  EXPECT_EQ(param(kMultiPatch)->Int(), 10);
  EXPECT_EQ(param(kMultiPartPatch + 2)->Int(), 50);
}

TEST_F(CommandsTest, RenameWritesOnlyIntoAWholeDumpAndKeepsItsChecksumRight) {
  Bytes file = soundFile("Bank ", 100);
  std::fill(file.begin() + 392 * 7, file.begin() + 392 * 8, 0x00);  // slot 7 holds no dump
  writeFile(getPatchesFolderStr() + "/Bank.syx", file);
  start();
  plug->setParamDisplayText(kPatchRename, 0, "Fat Bass");
  auto bank = plug->patchLibrarian->bankAt(kSoundList, 0);
  ASSERT_TRUE(bank);
  LibrarianViewControl* view = plug->librarianView();
  ASSERT_NE(view, nullptr);
  // As a click on the slot selects it.
  view->selectedUpper = plug->patchLibrarian->targetSlot = 120;
  setParam(kPatchRename, 1);
  EXPECT_EQ(param(kBankEditUnsaved)->Value(), 0.0);
  EXPECT_EQ(bank->patches.size(), 100u);
  // A slot that holds no dump: the rename is refused, and the status line
  // says why on both lines.
  {
    auto lock = plug->patchLibrarian->lock();
    plug->patchLibrarian->bankForEdit(kSoundList, 0)->patches[9] = LibrarianPatch{};
  }
  view->selectedUpper = plug->patchLibrarian->targetSlot = 9;
  plug->browse.bankEditFlag = false;
  plug->displayText("Filter 1 Cutoff", "ON [1]", "");
  setParam(kPatchRename, 1);
  EXPECT_EQ(param(kBankEditUnsaved)->Value(), 0.0);
  EXPECT_EQ(plug->paramNameDisplay->GetText(), "Rename refused");
  EXPECT_EQ(plug->paramValueDisplay->GetText(), "The slot holds no sound");
  // Nor one its file cut short: renamed, the completed bytes would pass
  // for a whole sound.
  {
    Bytes cut = bank->patches[10].dumps[0].bytes;
    cut.resize(250);
    cut.push_back(0xF7);
    PatchFile read;
    plug->patchLibrarian->loadFromChunk(cut, static_cast<int>(cut.size()), &read);
    auto lock = plug->patchLibrarian->lock();
    plug->patchLibrarian->bankForEdit(kSoundList, 0)->patches[10] = read.patches.at(0);
  }
  view->selectedUpper = plug->patchLibrarian->targetSlot = 10;
  plug->browse.bankEditFlag = false;
  setParam(kPatchRename, 1);
  EXPECT_EQ(param(kBankEditUnsaved)->Value(), 0.0);
  EXPECT_EQ(plug->paramNameDisplay->GetText(), "Rename refused");
  EXPECT_EQ(plug->paramValueDisplay->GetText(), "Not a whole dump");
  view->selectedUpper = plug->patchLibrarian->targetSlot = 3;
  plug->browse.bankEditFlag = false;  // as the view's rename opens it
  setParam(kPatchRename, 0);
  // The renamed bank is the instance's own copy now.
  bank = plug->patchLibrarian->bankAt(kSoundList, 0);
  const Bytes& dump = bank->patches[3].dumps.at(0).bytes;
  EXPECT_EQ(std::string(dump.begin() + 370, dump.begin() + 386), "Fat Bass        ");
  EXPECT_EQ(dump[390], sim::frameChecksum(dump));
  EXPECT_EQ(param(kBankEditUnsaved)->Value(), 1.0);
  // Taken: the bank-edit flag is set, and a further change is no rename.
  EXPECT_TRUE(plug->browse.bankEditFlag);
  plug->setParamDisplayText(kPatchRename, 0, "Thin Bass");
  setParam(kPatchRename, 1);
  EXPECT_EQ(std::string(dump.begin() + 370, dump.begin() + 386), "Fat Bass        ");
}

// "Open Data Folder" and the address controls hand their target to the
// desktop's opener, xdg-open, found on PATH: a stub records what it got.
TEST_F(CommandsTest, TheDataFolderAndAddressesGoToTheDesktopOpener) {
  start();
  const std::string bin = getDataFolder() + "/stub-bin";
  std::filesystem::create_directories(bin);
  const std::string record = bin + "/opened.txt";
  {
    std::ofstream stub(bin + "/xdg-open");
    stub << "#!/bin/sh\nprintf '%s|%s\\n' \"$#\" \"$1\" >> \"$(dirname \"$0\")/opened.txt\"\n";
  }
  std::filesystem::permissions(bin + "/xdg-open", std::filesystem::perms::owner_all);
  const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  setenv("PATH", (bin + ":" + oldPath).c_str(), 1);
  // The stub runs in the background: wait (bounded) for its lines.
  const auto opened = [&](size_t lines) {
    std::string text;
    for (int i = 0; i < 5000; ++i) {
      text = readFile(record);
      if (static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) >= lines) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return text;
  };
  IGraphics* gui = plug->GetGUI();
  ASSERT_NE(gui, nullptr);
  plug->OpenDataDirectory();
  EXPECT_EQ(opened(1), "1|" + getDataFolder() + "\n");
  EXPECT_TRUE(gui->OpenURL("https://example.org/a b?c=\"d\"", nullptr, nullptr, nullptr));
  EXPECT_EQ(opened(2), "1|" + getDataFolder() + "\n1|https://example.org/a b?c=\"d\"\n");
  EXPECT_TRUE(gui->OpenURL("", nullptr, nullptr, nullptr));  // nothing to open is no failure
  setenv("PATH", "/nonexistent", 1);
  EXPECT_FALSE(gui->OpenURL("https://example.org", nullptr, nullptr, nullptr));  // no opener
  setenv("PATH", (bin + ":" + oldPath).c_str(), 1);
  // Neither started the opener: the next line is the next address's.
  EXPECT_TRUE(gui->OpenURL("file:///end", nullptr, nullptr, nullptr));
  EXPECT_EQ(opened(3), "1|" + getDataFolder() + "\n1|https://example.org/a b?c=\"d\"\n1|file:///end\n");
  setenv("PATH", oldPath.c_str(), 1);
}

TEST_F(CommandsTest, LibrarySendsOnlyTheBanksOwnEntries) {
  writeFile(getPatchesFolderStr() + "/Bank.syx", soundFile("Bank ", 100));
  start();
  for (int slot : {-1, 100, 127}) plug->librarianBrowser->sendPatchToDeviceFromLibrarian(slot, 0, 2);
  EXPECT_TRUE(takeJobs().empty());
  EXPECT_TRUE(arrivedAtInstrument().empty());
  // Part 3 shown: the highlight follows what it plays.
  plug->currentPart = 2;
  plug->librarianBrowser->sendPatchToDeviceFromLibrarian(5, 0, 2);
  EXPECT_EQ(takeJobs(), (std::vector<Job>{{3, 2, false, false}}));
  // Silenced part, then the transfer: notes off, the part's bank and program.
  EXPECT_EQ(shortArrivals(),
            (ByteList{{0xB2, 0x7B, 0x00}, {0xB0, 0x7B, 0x00}, {0xB2, 0x00, 0x00}, {0xB2, 0x20, 0x40}, {0xC2, 0x05}}));
  // The window's thread highlights what the part now plays, at its idle.
  plug->OnIdle();
  EXPECT_EQ(plug->librarianView()->cursor, 5);
  // The entry's checksum is right for its slot in the file, and so for the
  // part's edit buffer it is handed on to: no failure is logged.
  EXPECT_EQ(debugLog().find("has a wrong checksum"), std::string::npos);
}

TEST_F(CommandsTest, StatusDisplaysFollowTheTransfers) {
  start();
  EXPECT_STREQ(plug->getPanelString(15, "Osc"), "Part 16 Osc");
  EXPECT_EQ(Tarnivex::getValueString(99.7), "100");
  ControlLayer search(1, "searchField"), limit(2, "categoryLimit");
  plug->pageLayers = {{"searchField", &search}, {"categoryLimit", &limit}};
  search.Hide(true);
  limit.Hide(true);
  param(kMainTab)->Set(1);
  param(kPatchSearch)->Set(1);
  plug->DisplayProcessingIndicator(true);
  EXPECT_TRUE(plug->processing);
  plug->DisplayProcessingIndicator(false);
  EXPECT_FALSE(search.IsHidden());
  EXPECT_TRUE(limit.IsHidden());
  plug->SetLibrarianStatusUnsaved(false);
  EXPECT_EQ(param(kBankEditUnsaved)->Value(), 0.0);
  plug->SetLibrarianRequestActive(true);
  EXPECT_TRUE(plug->midiMessageManager->patchRequest.active);
  plug->SetLibrarianStatusUnsaved(true);
  EXPECT_FALSE(plug->midiMessageManager->patchRequest.active);
  EXPECT_EQ(plug->paramNameDisplay->GetText(), "Data received to slot(s)");
  plug->pageLayers.clear();

  // Every status text sets both lines: no line of an earlier event stays
  // under or over it.
  const auto change = [](Tarnivex& t, int index, double value) {
    t.GetParam(index)->Set(value);
    t.OnParamChange(index);
  };
  const struct {
    const char* what;
    std::function<void(Tarnivex&)> show;
    const char *first, *second;
  } texts[] = {
      {"data into slots", [](Tarnivex& t) { t.SetLibrarianStatusUnsaved(true); }, "Data received to slot(s)", ""},
      {"a library request's end", [](Tarnivex& t) { t.showReceivedToLibrary("Data request Completed!"); },
       "Data received to slot(s)", "Data request Completed!"},
      {"a request's end", [](Tarnivex& t) { t.showStatusText("Data request Completed!"); }, "",
       "Data request Completed!"},
      {"work under way", [](Tarnivex& t) { t.showProgressText("Please wait! 40% received.."); }, "",
       "Please wait! 40% received.."},
      {"a save", [](Tarnivex& t) { t.showSuccess("Bank saved", "Bank B.syx"); }, "Bank saved", "Bank B.syx"},
      // A file's name as it is on disk: each control character, and each
      // byte that is no UTF-8, is shown as "?"; valid UTF-8 stays.
      {"a save of a name with a newline, a tab, ESC and DEL",
       [](Tarnivex& t) { t.showSuccess("Bank saved", "Bank\nB\t\x1b[31m\x7f.syx"); }, "Bank saved",
       "Bank?B??[31m?.syx"},
      {"a failure naming a file of invalid UTF-8",
       [](Tarnivex& t) {
         t.showFailure("Caf\xc3\xa9 \xff\xc0\xaf\xc2\x85\xed\xa0\x80\xe2\x82.syx not split!", "Disk full");
       },
       "Caf\xc3\xa9 ?????????.syx not split!", "Disk full"},
      // Overlong forms, surrogates and code points past U+10FFFF are no
      // characters: each of their bytes is one "?".
      {"a name of ill-formed UTF-8",
       [](Tarnivex& t) {
         t.showSuccess("Bank saved", "\xe0\x80\xaf\xf0\x80\x80\xaf\xed\xbf\xbf\xf4\x90\x80\x80\xc1\xbf\xf0\x9f\x8e\xb9.syx");
       },
       "Bank saved", "????????????????\xf0\x9f\x8e\xb9.syx"},
      {"a refused step",
       [&](Tarnivex& t) {
         t.GetParam(kGlobalRxProgramChange)->Set(0);
         change(t, kPatchUp + 0, 1);
       },
       "Program Change Disabled.", ""},
      {"a short search",
       [](Tarnivex& t) {
         t.setParamDisplayText(kPatchSearchString, 0, "a");
         t.OnParamChange(kPatchSearchString);
       },
       "Enter 2 digits or more!", ""},
      {"randomise",
       [&](Tarnivex& t) {
         t.GetParam(kMainTab)->Set(2);
         change(t, kRandomize, 1);
       },
       "Part Randomized", ""},
  };
  for (const auto& text : texts) {
    plug->displayText("Filter 1 Cutoff", "ON [1]", "CC 74");
    text.show(*plug);
    EXPECT_EQ(plug->paramNameDisplay->GetText(), text.first) << text.what;
    EXPECT_EQ(plug->paramValueDisplay->GetText(), text.second) << text.what;
  }
  EXPECT_NE(debugLog().find("STATUS: Bank saved / Bank\nB\t\x1b[31m\x7f.syx\n"), std::string::npos);
  EXPECT_EQ(takeJobs(), (std::vector<Job>{{2, 0, false, false}}));  // the randomised part
}
}  // namespace

namespace {
TEST_F(CommandsTest, LibrarianViewsSwitchTheirMenuLayersAndRefreshTheMenus) {
  writeFile(getPatchesFolderStr() + "/Bank.syx", soundFile("Bank ", 100));
  writeFile(getPatchesFolderStr() + "/Multis.syx", multiFile("Multi ", 100));
  start();
  enum { kLeftPatch, kRightPatch, kLeftPerf, kRightPerf, kBankEdit, kCategory, kProgram, kBankNumber, kSearch,
         kPerfBankName, kProgBankName };
  auto shown = [this](int row) { return !plug->menuLayers[row]->IsHidden(); };
  LibrarianBrowser& browser = *plug->librarianBrowser;
  setParam(kDatatype, 1);
  EXPECT_TRUE(plug->multiMode);
  EXPECT_TRUE(shown(kLeftPerf) && shown(kRightPerf));
  EXPECT_FALSE(shown(kLeftPatch));
  EXPECT_EQ(browser.leftPerfMenu->tickCount(), 1);
  EXPECT_STREQ(browser.bankEditMenu->mainMenu().GetItemText(0), "Request Multi Data");
  EXPECT_EQ(plug->paramDisplayText(kPatchSelectionListUpper, 0), "Multis.syx");
  EXPECT_TRUE(shown(kBankNumber));
  setParam(kControlLibrary, 1);
  EXPECT_TRUE(shown(kPerfBankName));
  EXPECT_FALSE(shown(kBankNumber));
  setParam(kDatatype, 0);
  EXPECT_TRUE(shown(kLeftPatch) && shown(kRightPatch));
  EXPECT_TRUE(shown(kProgBankName));
  EXPECT_EQ(plug->paramDisplayText(kCurrentOpenPatchBankR + 15, 0), "Bank.syx");
  EXPECT_STREQ(browser.bankEditMenu->mainMenu().GetItemText(0), "Request Patch Data");
  // Browsing categories, to the multis and back: the upper pane's name over
  // the sounds is a sound bank's, and with multis shown the lower pane lists
  // multis.
  setParam(kCategorySelection, 1);
  setParam(kDatatype, 1);
  EXPECT_EQ(plug->librarianView()->slotText(1, 7), numbered("Multi ", 7));
  setParam(kDatatype, 0);
  EXPECT_EQ(plug->paramDisplayText(kPatchSelectionListUpper, param(kPatchSelectionListUpper)->Int()), "Bank.syx");
  EXPECT_EQ(plug->paramDisplayText(kCurrentOpenPatchBankL + 0, 0), "Bank.syx");
}
}  // namespace

namespace {
// Instances of one library show its banks from one list of names; a name one
// instance changes is its own.
TEST_F(CommandsTest, BankListsOfOneLibraryAreSharedAndChangedApart) {
  for (const char* bank : {"Alpha", "Beta", "Gamma"})
    writeFile(getPatchesFolderStr() + "/" + bank + ".syx", soundFile("Bank ", 100));
  start();
  IPlugInstanceInfo info;
  info.mVSTHostCallback = ScriptedHost::callback;
  Tarnivex other(info);
  other.waitForLibrary();
  for (const int list : {kPatchSelectionListUpper, kPatchSelectionListLower}) {
    const IParam* mine = param(list);
    const IParam* theirs = other.GetParam(list);
    ASSERT_EQ(mine->GetNDisplayTexts(), 3);
    EXPECT_EQ(theirs->GetNDisplayTexts(), 3);
    EXPECT_EQ(mine->GetMax(), 2.0);
    EXPECT_EQ(theirs->GetMax(), 2.0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(mine->GetDisplayTextAtIdx(i), theirs->GetDisplayTextAtIdx(i));
    EXPECT_EQ(plug->paramDisplayText(list, 1), "Beta.syx");
  }
  plug->setParamDisplayText(kPatchSelectionListUpper, 1, "Renamed.syx");
  EXPECT_EQ(plug->paramDisplayText(kPatchSelectionListUpper, 1), "Renamed.syx");
  EXPECT_EQ(other.paramDisplayText(kPatchSelectionListUpper, 1), "Beta.syx");
  EXPECT_EQ(plug->paramDisplayText(kPatchSelectionListLower, 1), "Beta.syx");
}

TEST_F(CommandsTest, QuickPartSwitchesQueueEachPartAndTheMultiWithItsPauseOnTheWorker) {
  start();
  recordWorkerPauses();
  // A job is running while the musician clicks two parts in a row.
  holdJobs = true;
  plug->sendPatchToDevice(1, true, false, false, true);
  plug->sendPatchToDevice(2, true, false, false, true);
  EXPECT_FALSE(plug->editorBusy);
  holdJobs = false;
  // Each part's sound, then the multi once (the waiting one was replaced).
  EXPECT_EQ(takeJobs(), (std::vector<Job>{{2, 1, false, false}, {2, 2, false, false}, {0, 0, false, false}}));
  ASSERT_FALSE(workerPauses.empty());
  EXPECT_EQ(workerPauses.back(), 400);
  // The host's thread never waits for the instrument.
  EXPECT_TRUE(sleeps.empty());
}

// SEND MULTI with all parts dropped behind a running job, from the MULTI
// page's button or the bank-edit menu, sets nothing: the next multi that
// goes out carries the current part alone. Started, it sends every active
// part and clears the choice as it ends.
TEST_F(CommandsTest, ASendMultiDroppedBehindARunningJobLeavesAllPartsClearOnEitherRoad) {
  start();
  EditorWindowDriver window(*plug);  // where the bank-edit menu opens
  for (int p : {1, 2}) param(kMultiPartStatus + p)->Set(1);
  plug->currentPart = 1;
  // The parts the sound dumps that reached the instrument went to, in
  // order; 16 for a multi dump.
  const auto dumpParts = [this] {
    std::vector<int> parts;
    for (const Bytes& m : arrivedAtInstrument()) {
      if (m.size() > 300 && m[4] == 0x10) parts.push_back(m[6]);
      if (m.size() > 300 && m[4] == 0x11) parts.push_back(16);
    }
    return parts;
  };
  const struct {
    const char* what;
    std::function<void()> push;
  } roads[] = {
      {"SEND MULTI TO SYNTH", [&] { setParam(kPushArrangement, 1); }},
      {"EDIT > Push Current Multi to HW",
       [&] {
         window.view().ScriptMenuChoice({5});
         plug->librarianBrowser->bankEditMenu->OnMouseDown(0, 0, nullptr);
       }},
  };
  for (const auto& road : roads) {
    SCOPED_TRACE(road.what);
    holdJobs = true;  // the worker is busy sending part 3
    ASSERT_TRUE(plug->startPartDump(2, false, false));
    road.push();
    EXPECT_FALSE(plug->sendAllParts);
    holdJobs = false;
    EXPECT_EQ(takeJobs(), (std::vector<Job>{{2, 2, false, false}}));
    EXPECT_FALSE(plug->sendAllParts);
    EXPECT_EQ(dumpParts(), std::vector<int>{2});
    // The part and the multi after it, as a program picked in multi mode
    // sends them: the multi carries the current part alone.
    plug->sendPatchToDevice(1, true, false, false, true);
    takeJobs();
    EXPECT_EQ(dumpParts(), (std::vector<int>{1, 16, 1}));

    road.push();
    takeJobs();
    EXPECT_EQ(dumpParts(), (std::vector<int>{16, 1, 2}));
    EXPECT_FALSE(plug->sendAllParts);
  }
}

TEST_F(CommandsTest, APartIsSentBackOnlyWhenOneOfItsSectionsIsLocked) {
  start();
  struct Row {
    const char* what;
    int lockBlock;  // 0..39, -1 for none
    double value;
    bool sent;
  };
  const Row rows[] = {{"no section locked", -1, 0.0, false},
                      {"oscillator 1 locked", 0, 1.0, true},
                      {"the last section locked", 39, 1.0, true},
                      {"a lock not exactly on", 7, 0.5, false}};
  constexpr int kPart = 6;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    for (int k = 0; k < 40; ++k) param(kSectionLockOsc1 + 16 * k + kPart)->Set(0.0);
    // Another part's lock is not this part's.
    param(kSectionLockOsc1 + kPart + 1)->Set(1.0);
    if (row.lockBlock >= 0) param(kSectionLockOsc1 + 16 * row.lockBlock + kPart)->Set(row.value);
    recordWorkerPauses();
    // Behind the part request that brought the instrument's sound in.
    holdJobs = true;
    SenderJob request;
    request.jobCode = 6;
    request.partArgument = kPart;
    ASSERT_TRUE(plug->startRequestJob(request));
    plug->sendPartDataBackToHardware(kPart);
    holdJobs = false;
    const std::vector<Job> performed = takeJobs();
    ASSERT_FALSE(performed.empty());
    EXPECT_EQ(performed.front().code, 6);
    EXPECT_EQ(performed.size(), row.sent ? 2u : 1u);
    if (row.sent) {
      EXPECT_EQ(performed.back(), (Job{2, kPart, false, false}));
      // Its wait before the send is the worker's, not the host's.
      std::lock_guard<std::mutex> lock(jobsMutex);
      EXPECT_NE(std::find(workerPauses.begin(), workerPauses.end(), 100), workerPauses.end());
    }
    EXPECT_TRUE(sleeps.empty());
    arrivedAtInstrument();
  }
}
}  // namespace
