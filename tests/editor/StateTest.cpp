// The project state in-process: what a restore reopens, restores and sends,
// with and without the instrument, and damaged chunks changing nothing.
#include <condition_variable>
#include <functional>
#include <cstring>
#include <future>
#include <limits>
#include <random>

#include "FrameChecksum.h"
#include "ClosingSends.h"
#include "ControlAction.h"
#include "EditorTestSupport.h"
#include "IGraphics.h"
#include "PatchManager.h"

namespace {
Bytes chunkBytes(const ByteChunk& chunk) { return Bytes(chunk.Data(), chunk.Data() + chunk.Size()); }

// A long-form section with part 3's filter 1 cutoff made value, in the
// section's own values or in those of the snapshot it carries.
Bytes withCutoffOf(Bytes bytes, double value, bool inSnapshot) {
  const size_t idx = kFilter1Cutoff + 3;
  const size_t at = inSnapshot ? 32 + 20 + 8 * idx : bytes.size() - 8 * 8744 + 8 * idx;
  std::memcpy(bytes.data() + at, &value, sizeof value);
  return bytes;
}

class StateTest : public EditorTest {
 protected:
  // The plug-in goes before the job record its observer writes into.
  ~StateTest() override { plug.reset(); }

  // The state of a plug-in whose instrument parameters were edited.
  Bytes savedProject(const std::string& soundName = "Bright Lead", bool allParts = false) {
    makePlug();
    if (allParts)
      for (int p = 0; p < 16; ++p) param(kMultiPartStatus + p)->Set(1);
    param(kFilter1Cutoff + 3)->InitInt("", 0, 0, 127);
    param(kFilter1Cutoff + 3)->Set(77);
    param(kGlobalSysExID)->Set(kDeviceId);
    param(kQuickTab)->Set(3);
    param(kMultiPartStatus + 3)->Set(1);
    param(kMIDIFilterDAWCCPassThrough)->Set(0);  // blocked in the project
    plug->patchManager->setName(0, "My Multi");
    plug->patchManager->setName(1 + 3, soundName);
    plug->patchManager->setName(19 + 3, "LEAD");
    plug->patchManager->setName(1 + 15, "Last Part");
    plug->patchManager->setName(19 + 15, "BASS");
    param(kBankSelection)->InitInt("", 0, 0, 9);
    param(kPatchSelection)->InitInt("", 0, 0, 99);
    param(kBankSelection)->Set(4);
    param(kPatchSelection)->Set(57);
    ByteChunk chunk;
    plug->SerializeState(&chunk);
    plug.reset();
    return chunkBytes(chunk);
  }
  // A fresh plug-in, no ports open, restoring bytes; its result, once the
  // project has gone to the instrument.
  int restore(const Bytes& bytes, bool openPorts = false) {
    makePlug(openPorts);
    param(kFilter1Cutoff + 3)->InitInt("", 0, 0, 127);
    param(kBankSelection)->InitInt("", 0, 0, 9);
    param(kPatchSelection)->InitInt("", 0, 0, 99);
    observe();
    const int result = restoreInto(bytes);
    awaitRequestThread();
    return result;
  }
  int restoreInto(const Bytes& bytes) {
    ByteChunk chunk;
    chunk.AppendBytes(bytes.data(), static_cast<int>(bytes.size()));
    return plug->UnserializeState(&chunk, 0);
  }
  bool restoreFlagsUp() { return plug->stateRestore || plug->sendAllParts || plug->sendGlobalFirst || plug->editorBusy; }
  void observe() {
    // The plug-in itself, not the fixture's pointer, which is already null
    // while a job that follows the restore ends during the plug-in's close.
    Tarnivex* observed = plug.get();
    plug->midiMessageManager->jobObserver = [this, observed](JobThread, const SenderJob& job) {
      std::lock_guard<std::mutex> lock(jobMutex);
      jobs.push_back({job.jobCode, observed->sendGlobalFirst && observed->sendAllParts && observed->stateRestore});
    };
  }
  std::vector<std::pair<int, bool>> jobsSeen() {
    std::lock_guard<std::mutex> lock(jobMutex);
    return jobs;
  }
  Bytes current() {
    ByteChunk chunk;
    plug->SerializeState(&chunk);
    return chunkBytes(chunk);
  }

  // The restore's send is held in its pause number holdAt (counted from 1)
  // until the plug-in closes; atPause(k) runs on the worker as pause k begins.
  void holdRestoreInPause(size_t holdAt, std::function<void(size_t)> atPause = {}) {
    hold = std::make_shared<PauseHold>();
    plug->midiMessageManager->virtualPause = [hold = hold, holdAt, atPause,
                                              manager = plug->midiMessageManager.get()](int) {
      std::unique_lock<std::mutex> lock(hold->mutex);
      const size_t pause = ++hold->pauses;
      hold->changed.notify_all();
      if (atPause) atPause(pause);
      if (pause < holdAt) return true;
      // Held until the close (nothing notifies: looked at every millisecond).
      for (int i = 0; i < 10000 && !manager->isShuttingDown(); ++i) hold->changed.wait_for(lock, std::chrono::milliseconds(1));
      return false;
    };
  }
  // The closing send's pauses are recorded, not waited out.
  void recordClosingPauses() {
    closingPauses.clear();
    ClosingSends::setPauseForTests([this](int ms) {
      closingPauses.push_back(ms);
      return true;
    });
  }
  // The plug-in closes; true once what it handed on has gone.
  bool closeAndFlush() {
    plug.reset();
    const bool flushed = ClosingSends::flush();
    ClosingSends::setPauseForTests(nullptr);
    return flushed;
  }
  bool awaitPause(size_t pause) {
    std::unique_lock<std::mutex> lock(hold->mutex);
    return hold->changed.wait_for(lock, std::chrono::seconds(10), [&] { return hold->pauses >= pause; });
  }

  std::mutex jobMutex;
  std::vector<std::pair<int, bool>> jobs;
  struct PauseHold {
    std::mutex mutex;
    std::condition_variable changed;
    size_t pauses = 0;
  };
  std::shared_ptr<PauseHold> hold;
  std::vector<int> closingPauses;
};

TEST_F(StateTest, RestoreWithTheInstrumentReopensThePortsByNameAndSendsTheProject) {
  const Bytes project = savedProject();
  ASSERT_EQ(restore(project), static_cast<int>(project.size()));
  EXPECT_TRUE(backend->out().open);
  EXPECT_EQ(backend->out().openedPort, 1);
  EXPECT_TRUE(backend->in().open);
  EXPECT_EQ(backend->in().openedPort, 1);
  EXPECT_EQ(param(kDeviceOutSelection)->Int(), 2);
  EXPECT_EQ(param(kDeviceInSelection)->Int(), 2);
  EXPECT_TRUE(plug->midiIOConfigured);
  // Job 0 (global, multi and the active parts) ran with the restore flags
  // up, and the restore waited for it to end.
  EXPECT_EQ(jobsSeen(), (std::vector<std::pair<int, bool>>{{0, true}}));
  EXPECT_FALSE(plug->midiMessageManager->isThreadRunning(JobThread::kRequest));
  EXPECT_FALSE(plug->stateRestore || plug->sendAllParts || plug->sendGlobalFirst || plug->editorBusy);
  EXPECT_EQ(param(kFilter1Cutoff + 3)->Value(), 77);
  EXPECT_EQ(plug->currentPart, 3);
  EXPECT_TRUE(plug->hostBlocked[Tarnivex::kFilterCC]);
  EXPECT_EQ(plug->paramDisplayText(kPatchName + 3, 0), "Bright Lead");
  EXPECT_EQ(plug->paramDisplayText(kCategoryName + 3, 0), "LEAD");
  EXPECT_EQ(plug->paramDisplayText(kMultiName, 0), "My Multi");
  // The last part's names too.
  EXPECT_EQ(plug->paramDisplayText(kPatchName + 15, 0), "Last Part");
  EXPECT_EQ(plug->paramDisplayText(kCategoryName + 15, 0), "BASS");
  // The selections come back; nothing else reads them.
  EXPECT_EQ(plug->patchManager->bankSelection, 4);
  EXPECT_EQ(plug->patchManager->patchSelection, 57);
  // Saved again, the project reads the same.
  EXPECT_EQ(current(), project);
}

TEST_F(StateTest, TheRestoredProjectLeavesAsGlobalMultiAndActivePartsByteExact) {
  const Bytes saved = savedProject();
  // A value far outside its range leaves clamped into it.
  const struct {
    const char* what;
    Bytes project;
    int cutoff;  // part 3's filter 1 cutoff byte in its dump
  } rows[] = {{"as saved", saved, 77}, {"a huge cutoff", withCutoffOf(saved, 1e300, false), 127},
              {"a huge negative cutoff", withCutoffOf(saved, -1e300, false), 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    const Bytes& project = row.project;
    ASSERT_EQ(restore(project), static_cast<int>(project.size()));
    ByteList dumps;
    for (const Bytes& m : backend->out().sent)  // the port the restore opened
      if (m.size() > 200) dumps.push_back(m);
    ASSERT_EQ(dumps.size(), 3u);
    const Bytes& global = dumps[0];
    const Bytes& multi = dumps[1];
    const Bytes& part = dumps[2];
    ASSERT_EQ(global.size(), 207u);
    ASSERT_EQ(multi.size(), 393u);
    ASSERT_EQ(part.size(), 392u);
    EXPECT_EQ(Bytes(global.begin(), global.begin() + 5), (Bytes{0xF0, 0x3E, 0x10, kDeviceId, 0x14}));
    EXPECT_EQ(global[30], kDeviceId);
    EXPECT_EQ(Bytes(multi.begin(), multi.begin() + 7), (Bytes{0xF0, 0x3E, 0x10, kDeviceId, 0x11, 0x20, 0x00}));
    EXPECT_EQ(std::string(multi.begin() + 23, multi.begin() + 39), "My Multi        ");
    EXPECT_EQ(multi[39 + 3 * 22 + 7], 1);  // part 3 active
    EXPECT_EQ(Bytes(part.begin(), part.begin() + 7), (Bytes{0xF0, 0x3E, 0x10, kDeviceId, 0x10, 0x30, 3}));
    EXPECT_EQ(part[85], row.cutoff);  // filter 1 cutoff
    EXPECT_EQ(std::string(part.begin() + 370, part.begin() + 390), "Bright Lead     LEAD");
    for (const Bytes* dump : {&global, &multi, &part}) {
      const int n = static_cast<int>(dump->size());
      EXPECT_EQ((*dump)[static_cast<size_t>(n - 2)], sim::frameChecksum(*dump));
      EXPECT_EQ(dump->back(), 0xF7);
    }
  }
}

TEST_F(StateTest, RestoreWithoutTheInstrumentStillRestoresEveryValueAndName) {
  const Bytes project = savedProject();
  backend->setOutPorts({"Other synth"});
  backend->setInPorts({"Other synth"});
  ASSERT_EQ(restore(project, true), static_cast<int>(project.size()));
  // The output that was open is closed now: nothing claims to be configured.
  EXPECT_FALSE(plug->midiIOConfigured);
  EXPECT_FALSE(backend->out().open);
  EXPECT_TRUE(jobsSeen().empty());
  EXPECT_EQ(param(kFilter1Cutoff + 3)->Value(), 77);
  EXPECT_EQ(param(kGlobalSysExID)->Int(), kDeviceId);
  EXPECT_EQ(plug->paramDisplayText(kPatchName + 3, 0), "Bright Lead");
  EXPECT_TRUE(plug->hostBlocked[Tarnivex::kFilterCC]);
  EXPECT_EQ(plug->patchManager->name(Patch::kMidiOutName), kPort);
  EXPECT_NE(debugLog().find(std::string("PROJECT RECALL: MIDI Out device stored ") + kPort), std::string::npos);
}

// Saved while the instrument is off, a project keeps the ports the user
// chose; loaded with it on, the ports the settings file opened stay open and
// the project goes out. A name no port has never closes an open port.
TEST_F(StateTest, AProjectSavedWithTheInstrumentOffKeepsThePortsTheUserChose) {
  backend->setOutPorts({"Other synth"});
  backend->setInPorts({"Other synth"});
  // Projects that name no port, or one that is gone.
  makePlug(false);
  const Bytes noPort = current();
  plug->setChosenPortName(true, "Gone synth");
  plug->setChosenPortName(false, "Gone synth");
  const Bytes gone = current();
  plug.reset();

  // The settings file names the instrument's ports; it is off.
  std::ofstream(getSettingsPath(), std::ios::binary) << "yellow\nnormal\nyes\n" << kPort << "\n" << kPort;
  makePlug(false);
  EXPECT_FALSE(plug->midiIOConfigured);
  const Bytes project = current();
  EXPECT_EQ(plug->patchManager->name(Patch::kMidiOutName), kPort);
  EXPECT_EQ(plug->patchManager->name(Patch::kMidiInName), kPort);
  plug.reset();

  // On again: the settings file opens the ports, the restore keeps them and
  // sends the project; the enquiry goes out with the first block.
  backend->setOutPorts({"Other synth", kPort});
  backend->setInPorts({"Other synth", kPort});
  ASSERT_EQ(restore(project), static_cast<int>(project.size()));
  EXPECT_TRUE(backend->out().open);
  EXPECT_TRUE(backend->in().open);
  EXPECT_EQ(backend->out().opens, 1);
  EXPECT_TRUE(plug->midiIOConfigured);
  EXPECT_TRUE(plug->initialisationPending);
  EXPECT_EQ(jobsSeen(), (std::vector<std::pair<int, bool>>{{0, true}}));

  // A name no port has leaves the open ports as they are.
  for (const Bytes* other : {&noPort, &gone}) {
    ByteChunk in;
    in.AppendBytes(other->data(), static_cast<int>(other->size()));
    ASSERT_GE(plug->UnserializeState(&in, 0), 0);
    EXPECT_TRUE(backend->out().open);
    EXPECT_TRUE(backend->in().open);
    EXPECT_EQ(backend->out().closes, 0);
    EXPECT_EQ(backend->in().closes, 0);
    EXPECT_EQ(param(kDeviceOutSelection)->Int(), 2);
    EXPECT_TRUE(plug->midiIOConfigured);
  }
  // Saved now, the project holds the open port.
  current();
  EXPECT_EQ(plug->patchManager->name(Patch::kMidiOutName), kPort);

  // Switched off while its ports are open: the device menus opened now still
  // offer and tick them, and the project keeps them.
  backend->setOutPorts({"Other synth"});
  backend->setInPorts({"Other synth"});
  plug->OnMidiDeviceMenu(false);
  plug->OnMidiDeviceMenu(true);
  EXPECT_EQ(plug->getExternalMIDIOutNames(), (std::vector<std::string>{"Select MIDI Device", "Other synth", kPort}));
  EXPECT_EQ(plug->getExternalMIDIInNames(), (std::vector<std::string>{"Select MIDI Device", "Other synth", kPort}));
  EXPECT_EQ(param(kDeviceOutSelection)->Int(), 2);
  EXPECT_EQ(param(kDeviceInSelection)->Int(), 2);
  EXPECT_EQ(plug->paramDisplayText(kDeviceOutSelection, 2), kPort);
  current();
  EXPECT_EQ(plug->patchManager->name(Patch::kMidiOutName), kPort);
  EXPECT_EQ(plug->patchManager->name(Patch::kMidiInName), kPort);
}

TEST_F(StateTest, LongPortNamesAreFoundByTheirKeptBeginning) {
  const std::string longName = "dirirU Synthesizer MIDI Port 1 on a long bus path (USB)";
  struct Row {
    const char* name;
    std::vector<std::string> ports;
    int opened;
  };
  const Row table[] = {
      {"one port starts with the kept name", {"Other synth", longName}, 2},
      {"two ports start with it", {longName + " A", longName + " B"}, 0},
  };
  backend->setOutPorts({"Other synth", longName});
  backend->setInPorts({"Other synth", longName});
  makePlug(false);
  plug->getExternalMIDIOutNames();
  plug->getExternalMIDIInNames();
  setParam(kDeviceOutSelection, 2);
  setParam(kDeviceInSelection, 2);
  ByteChunk chunk;
  plug->SerializeState(&chunk);
  const Bytes project = chunkBytes(chunk);
  plug.reset();
  for (const Row& row : table) {
    SCOPED_TRACE(row.name);
    backend->setOutPorts(row.ports);
    backend->setInPorts(row.ports);
    restore(project);
    EXPECT_EQ(param(kDeviceOutSelection)->Int(), row.opened);
    EXPECT_EQ(plug->midiIOConfigured.load(), row.opened > 0);
    EXPECT_EQ(plug->patchManager->name(Patch::kMidiOutName), longName.substr(0, 32));
    plug.reset();
  }
}

TEST_F(StateTest, ARunningRequestGivesWayToTheRestoreWhichDoesNotWaitForIt) {
  const Bytes project = savedProject();
  makePlug(false);
  std::mutex holdMutex;
  std::condition_variable holdChanged;
  bool running = false, released = false;
  plug->midiMessageManager->jobObserver = [&](JobThread, const SenderJob& job) {
    {
      std::lock_guard<std::mutex> lock(jobMutex);
      jobs.push_back({job.jobCode, plug->sendGlobalFirst && plug->sendAllParts && plug->stateRestore});
    }
    if (job.jobCode != 6) return;
    // The request runs until the test lets it see the stop it was asked for.
    std::unique_lock<std::mutex> lock(holdMutex);
    running = true;
    holdChanged.notify_all();
    holdChanged.wait_for(lock, std::chrono::seconds(10), [&] { return released; });
  };
  SenderJob request;
  request.jobCode = 6;
  ASSERT_TRUE(plug->midiMessageManager->startJob(request));
  {
    std::unique_lock<std::mutex> lock(holdMutex);
    ASSERT_TRUE(holdChanged.wait_for(lock, std::chrono::seconds(10), [&] { return running; }));
  }
  // The restore returns with the request still running: asked to stop, and
  // the project's send waiting behind it.
  EXPECT_EQ(restoreInto(project), static_cast<int>(project.size()));
  EXPECT_TRUE(plug->midiMessageManager->sender->cancelRequested);
  EXPECT_EQ(plug->midiMessageManager->queuedJobCount(JobThread::kRequest), 1u);
  EXPECT_FALSE(restoreFlagsUp());
  {
    std::lock_guard<std::mutex> lock(holdMutex);
    released = true;
  }
  holdChanged.notify_all();
  awaitRequestThread();
  EXPECT_EQ(jobsSeen(), (std::vector<std::pair<int, bool>>{{6, false}, {0, true}}));
  EXPECT_FALSE(restoreFlagsUp());
}

// What the instrument receives, one step at a time: the dumps as they leave
// and the pauses between them, the first pause held until the test lets go.
struct HeldSend {
  std::mutex mutex;
  std::condition_variable changed;
  bool released = false;
  std::vector<std::pair<size_t, int>> pauses;  // messages sent before the pause, its length

  // The pause also ends when the manager goes away.
  std::function<bool(int)> pauseWith(MemoryMidiBackend& backend, MIDIMessageManager& manager) {
    return [this, &backend, &manager](int ms) {
      std::unique_lock<std::mutex> lock(mutex);
      pauses.push_back({backend.out().sent.size(), ms});
      changed.notify_all();
      for (int i = 0; i < 10000 && !released && !manager.isShuttingDown(); ++i)
        changed.wait_for(lock, std::chrono::milliseconds(1));
      return !manager.isShuttingDown();
    };
  }
  void release() {
    std::lock_guard<std::mutex> lock(mutex);
    released = true;
    changed.notify_all();
  }
};

TEST_F(StateTest, TheProjectReachesTheInstrumentInOrderWithItsPausesAfterTheRestoreReturned) {
  const Bytes project = savedProject();  // part 3 active
  makePlug(false);
  observe();
  HeldSend held;
  plug->midiMessageManager->virtualPause = held.pauseWith(*backend, *plug->midiMessageManager);
  ASSERT_EQ(restoreInto(project), static_cast<int>(project.size()));
  // Returned while the send waits in its first pause at the latest.
  EXPECT_LE(backend->out().sent.size(), 1u);
  held.release();
  awaitRequestThread();
  const ByteList sent = backend->out().sent;
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0].size(), 207u);  // global
  EXPECT_EQ(sent[1].size(), 393u);  // multi
  EXPECT_EQ(Bytes(sent[2].begin(), sent[2].begin() + 7), (Bytes{0xF0, 0x3E, 0x10, kDeviceId, 0x10, 0x30, 3}));
  // A pacing tick (50 ms) after the global dump, 500 ms after the multi,
  // the sound's own 150 ms and 400 ms after each active part.
  using Pauses = std::vector<std::pair<size_t, int>>;
  std::lock_guard<std::mutex> lock(held.mutex);
  EXPECT_EQ(held.pauses, (Pauses{{1, 50}, {2, 500}, {3, 150}, {3, 400}}));
  EXPECT_EQ(jobsSeen(), (std::vector<std::pair<int, bool>>{{0, true}}));
  EXPECT_FALSE(restoreFlagsUp());
}

TEST_F(StateTest, ARestoreFollowedAtOnceByAnotherOrAnEditEndsWithTheInstrumentInTheLastState) {
  const Bytes first = savedProject("Bright Lead");
  const Bytes second = savedProject("Dark Pad");
  constexpr int kCutoffPosition = 85 - 7;  // byte 85 of the sound dump
  struct Row {
    const char* name;
    std::function<void()> then;
    std::string soundName;
    int cutoff;
  };
  const Row table[] = {
      {"another restore", [&] { restoreInto(second); }, "Dark Pad", 77},
      {"an edit", [&] { setParam(kFilter1Cutoff + 3, 99); }, "Bright Lead", 99},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.name);
    makePlug(false);
    ControlAction cutoff;
    cutoff.actionType = ControlAction::kSysEx;
    for (int v = 0; v < 128; ++v) cutoff.sysex.messages.push_back({0x3E, 0x10, 0, 0x20, 3, 0, kCutoffPosition, v});
    param(kFilter1Cutoff + 3)->InitInt("", 0, 0, 127);
    param(kFilter1Cutoff + 3)->SetControlAction(&cutoff);
    SimulatedInstrument fresh{kDeviceId};
    ASSERT_EQ(restoreInto(first), static_cast<int>(first.size()));
    row.then();
    awaitRequestThread();
    for (const Bytes& message : backend->out().sent) fresh.receive(message);
    const SimBytes part = fresh.partBuffer(3);
    ASSERT_EQ(part.size(), 392u);
    EXPECT_EQ(std::string(part.begin() + 370, part.begin() + 386), (row.soundName + "                ").substr(0, 16));
    EXPECT_EQ(part[85], row.cutoff);
    EXPECT_FALSE(restoreFlagsUp());
    param(kFilter1Cutoff + 3)->SetControlAction(nullptr);
    plug.reset();
  }
}

// Closed while the project is on its way, the plug-in lets the rest go out
// after it: the host's close does not wait, what reached the instrument is
// not sent again, and the instrument ends holding the project.
TEST_F(StateTest, CloseWhileARestoreSendsHandsOnTheRestInOrderWithItsPauses) {
  struct Row {
    const char* name;
    bool allParts;
    size_t closeAtPause;  // the job's pause, counted from 1, during which the host closes
    size_t sentBeforeClose;
    std::vector<int> closingPauses;  // the pause before the first handed-on dump, then after each
  };
  // Pauses: a pacing tick (50) after the global dump, 500 after the multi,
  // a part's 150 and 400 after each part: 550 when handed on.
  std::vector<int> thirteenParts(14, 550);
  const Row rows[] = {
      {"in the pause after the global dump", false, 1, 1, {50, 500, 550}},
      {"after the third of sixteen parts", true, 8, 5, thirteenParts},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Bytes project = savedProject("Bright Lead", row.allParts);
    makePlug(false);
    param(kFilter1Cutoff + 3)->InitInt("", 0, 0, 127);
    holdRestoreInPause(row.closeAtPause);
    recordClosingPauses();
    ASSERT_EQ(restoreInto(project), static_cast<int>(project.size()));
    ASSERT_TRUE(awaitPause(row.closeAtPause));
    EXPECT_EQ(backend->out().sent.size(), row.sentBeforeClose);
    ASSERT_TRUE(closeAndFlush());  // ends the held pause, and with it the job
    // Its thread ends with the send.
    const auto closingThreads = [] {
      int n = 0;
      for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string name;
        std::getline(std::ifstream(task.path() / "comm"), name);
        n += name == "tvx closing";
      }
      return n;
    };
    for (int i = 0; i < 1000 && closingThreads() > 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(closingThreads(), 0);
    const ByteList sent = backend->out().sent;
    SimulatedInstrument fresh{kDeviceId};
    for (const Bytes& message : sent) fresh.receive(message);
    EXPECT_TRUE(fresh.checksumErrors().empty());
    // Global and multi once each, then the active parts in order, each once.
    std::vector<int> parts;
    for (int p = 0; p < 16; ++p)
      if (row.allParts || p == 3) parts.push_back(p);
    ASSERT_EQ(sent.size(), 2 + parts.size());
    EXPECT_EQ(Bytes(sent[0].begin(), sent[0].begin() + 5), (Bytes{0xF0, 0x3E, 0x10, kDeviceId, 0x14}));
    EXPECT_EQ(Bytes(sent[1].begin(), sent[1].begin() + 5), (Bytes{0xF0, 0x3E, 0x10, kDeviceId, 0x11}));
    for (size_t i = 0; i < parts.size(); ++i)
      EXPECT_EQ(Bytes(sent[2 + i].begin(), sent[2 + i].begin() + 7),
                (Bytes{0xF0, 0x3E, 0x10, kDeviceId, 0x10, 0x30, static_cast<unsigned char>(parts[i])}))
          << i;
    EXPECT_EQ(closingPauses, row.closingPauses);
    const SimBytes part = fresh.partBuffer(3);
    ASSERT_EQ(part.size(), 392u);
    EXPECT_EQ(std::string(part.begin() + 370, part.begin() + 386), "Bright Lead     ");
    EXPECT_EQ(part[85], 77);
    const SimBytes multi = fresh.multiBuffer();
    EXPECT_EQ(std::string(multi.begin() + 23, multi.begin() + 39), "My Multi        ");
  }
}

// A project that did not go out while it was open (the out port gone, the
// instrument unplugged, from the start or from a dump on) is not sent at its
// close, though the port is back by then, nor is the rest of one whose
// instrument is unplugged as it closes: nothing of it follows what went.
TEST_F(StateTest, ARestoreThatDidNotGoOutIsNotSentAtTheClose) {
  struct Row {
    const char* name;
    bool gone;  // else unplugged
    size_t lostFromPause;  // the port lost as this pause begins (0: before the restore)
    size_t closeAtPause;
    size_t sentBeforeClose;
    bool backAtClose;
  };
  const Row rows[] = {
      {"the out port gone from the start", true, 0, 1, 0, true},
      {"the instrument unplugged from the start", false, 0, 1, 0, true},
      {"the out port gone after the global dump went", true, 1, 2, 1, true},
      {"the instrument unplugged after the global dump went", false, 1, 3, 1, true},
      // Nothing of it was lost yet, but the rest would be.
      {"the instrument unplugged at the close", false, 1, 1, 1, false},
  };
  const Bytes project = savedProject("Bright Lead", true);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    makePlug(false);
    param(kFilter1Cutoff + 3)->InitInt("", 0, 0, 127);
    const auto lose = [this, gone = row.gone](bool lost) {
      if (gone) backend->setOutGone(lost);
      else backend->setOutUnplugged(lost);
    };
    if (row.lostFromPause == 0) lose(true);
    holdRestoreInPause(row.closeAtPause, [&, from = row.lostFromPause](size_t pause) {
      if (pause == from) lose(true);
    });
    recordClosingPauses();
    ASSERT_EQ(restoreInto(project), static_cast<int>(project.size()));
    ASSERT_TRUE(awaitPause(row.closeAtPause));
    const ByteList before = backend->out().sent;
    ASSERT_EQ(before.size(), row.sentBeforeClose);
    if (!before.empty()) {
      EXPECT_EQ(Bytes(before[0].begin(), before[0].begin() + 5), (Bytes{0xF0, 0x3E, 0x10, kDeviceId, 0x14}));
    }
    if (row.backAtClose) lose(false);
    ASSERT_TRUE(closeAndFlush());
    lose(false);
    EXPECT_EQ(backend->out().sent, before);
    EXPECT_EQ(closingPauses, std::vector<int>{});
  }
}

// The port takes a while before what it was handed has left (a reopened
// port still connecting): each pause starts only once the dump has left.
TEST_F(StateTest, TheRestoresPausesStartWhenTheDumpHasLeftThePort) {
  const Bytes project = savedProject();
  makePlug(false);
  backend->setSendLatencyPolls(3);
  std::vector<std::pair<size_t, int>> pauses;  // messages sent, "not yet" answers left
  plug->midiMessageManager->virtualPause = [&](int) {
    const MemoryOutRecord out = backend->out();
    pauses.push_back({out.sent.size(), out.unsentPolls});
    return true;
  };
  ASSERT_EQ(restoreInto(project), static_cast<int>(project.size()));
  awaitRequestThread();
  using Pauses = std::vector<std::pair<size_t, int>>;
  EXPECT_EQ(pauses, (Pauses{{1, 0}, {2, 0}, {3, 0}, {3, 0}}));
  backend->setSendLatencyPolls(0);
}

// A project send asked to stop (a later restore, the progress overlay's
// Cancel) stops after the pause it is in: the parts after it stay unsent.
TEST_F(StateTest, AProjectSendAskedToStopSendsNoMoreParts) {
  const Bytes project = savedProject("Bright Lead", true);  // sixteen active parts
  makePlug(false);
  size_t pauses = 0;
  plug->midiMessageManager->virtualPause = [&, manager = plug->midiMessageManager.get()](int) {
    // Global, multi, then 150 and 400 after each part: asked to stop in the
    // pause after the second part.
    if (++pauses == 6) manager->sender->cancelRequested = true;
    return true;
  };
  ASSERT_EQ(restoreInto(project), static_cast<int>(project.size()));
  awaitRequestThread();
  const ByteList sent = backend->out().sent;
  ASSERT_EQ(sent.size(), 4u);  // global, multi, parts 1 and 2
  EXPECT_EQ(Bytes(sent[3].begin(), sent[3].begin() + 7), (Bytes{0xF0, 0x3E, 0x10, kDeviceId, 0x10, 0x30, 1}));
  EXPECT_FALSE(restoreFlagsUp());
}

// A project of sixteen parts goes to the instrument under the progress
// overlay, drawn as it comes up and not again for each part (each part's end
// hides it and the next part shows it at once, with its cancel button: the
// whole window under it would be drawn again for nothing), and gone once the
// send ends.
TEST_F(StateTest, TheOverlayStaysUpWithoutBeingDrawnAgainFromPartToPartOfAProjectSend) {
  const Bytes project = savedProject("Bright Lead", true);
  setenv("TARNIVEX_RESOURCE_DIR", TARNIVEX_BUNDLE_RESOURCES, 1);
  makePlug(false);
  unsetenv("TARNIVEX_RESOURCE_DIR");
  ASSERT_NE(plug->progressLayer, nullptr);
  IGraphics& gui = *plug->GetGUI();
  // At each pause, as the window's idle call finds it: whether the overlay
  // shows, and whether anything is to be drawn again.
  std::vector<std::pair<bool, bool>> pauses;
  plug->midiMessageManager->virtualPause = [&](int) {
    IRECT due;
    const bool dirty = gui.IsDirty(&due);
    pauses.push_back({plug->progressLayer->IsVisible(), dirty});
    if (dirty) gui.Draw(&due);
    return true;
  };
  ASSERT_EQ(restoreInto(project), static_cast<int>(project.size()));
  awaitRequestThread();
  ASSERT_EQ(backend->out().sent.size(), 18u);  // global, multi, sixteen parts
  // The global dump's pause, the multi's, and 150 and 400 ms after each part.
  ASSERT_EQ(pauses.size(), 2u + 2 * 16);
  // The overlay goes with the global dump and comes up again with the first
  // part; a change of it is drawn in two passes. From the second part's
  // pause after its dump on, it shows and nothing of it is drawn again.
  using Pauses = std::vector<std::pair<bool, bool>>;
  const Pauses later(pauses.begin() + 5, pauses.end());
  EXPECT_EQ(later, Pauses(later.size(), {true, false}));
  EXPECT_TRUE(plug->progressLayer->IsHidden());
  EXPECT_FALSE(restoreFlagsUp());
}

// The host restores a project with no editor open: no control is drawn (the
// block waits on the same lock); they show the project when it opens.
TEST_F(StateTest, ARestoreWithNoEditorOpenDrawsNothingUntilItOpens) {
  const Bytes project = savedProject();  // part 3's cutoff 77
  makePlug(false);
  param(kFilter1Cutoff + 3)->InitInt("", 0, 0, 127);
  const IColor white(255, 255, 255, 255);
  auto knob = std::make_unique<IKnobLineControl>(plug.get(), IRECT(0, 0, 20, 20), kFilter1Cutoff + 3, &white);
  IControl* cutoff = knob.get();
  plug->GetGUI()->AttachControl(knob.release());
  cutoff->SetClean();
  std::vector<uint8_t> bytes(project.begin(), project.end());
  AEffect* effect = plug->GetAEffect();
  ASSERT_EQ(effect->dispatcher(effect, effSetChunk, 1, static_cast<VstIntPtr>(bytes.size()), bytes.data(), 0.0f), 1);
  awaitRequestThread();
  EXPECT_EQ(param(kFilter1Cutoff + 3)->Int(), 77);
  EXPECT_FALSE(cutoff->IsDirty());
  EXPECT_EQ(cutoff->GetValue(), 0.0);
  plug->DrawStaleParamControls();  // what the editor-open call does first
  EXPECT_DOUBLE_EQ(cutoff->GetValue(), 77.0 / 127.0);
  plug->DrawStaleParamControls();  // once
}

// The host is told its state changed (the display-changed call) once per
// idle call after an edit that changed what the project saves, never
// again for the same change, and for an answer that changes the saved
// state within ten seconds of an edit; a page switch tells it nothing. The
// saved state is looked at without the block's lock: an idle call tells
// the host while a block is held inside that lock.
TEST_F(StateTest, TheHostIsToldOnceOfEachChangeOfWhatTheProjectSaves) {
  makePlug();
  auto clock = std::chrono::steady_clock::now();
  plug->stampClock = [&clock] { return clock; };
  AEffect* effect = plug->GetAEffect();
  const auto idle = [&] {
    const int before = host.displayUpdates;
    effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
    return host.displayUpdates - before;
  };
  const int lastSaved = kSustainPedal + 15;  // the last value of the saved state
  param(lastSaved)->Set(param(lastSaved)->GetMin());
  param(kFilter1Cutoff + 3)->InitInt("", 0, 0, 127);
  // A saved state whose size is no multiple of 8, so that its last bytes
  // are what a word-wise hash takes last (by the length of the multi's name).
  const auto stateSize = [&] {
    ByteChunk chunk;
    plug->appendState(&chunk, true);
    return chunk.Size();
  };
  for (int length = 1; length <= 16 && stateSize() % 8 != 4; ++length) plug->patchManager->setName(0, std::string(length, 'M'));
  ASSERT_EQ(stateSize() % 8, 4);
  idle();  // what create left for the first idle call

  // A block held inside its lock while it asks the host for the time.
  std::mutex blockMutex;
  std::condition_variable blockChanged;
  bool inBlock = false, blockReleased = false;
  const auto idleDuringBlock = [&] {
    host.onTime = [&] {
      std::unique_lock<std::mutex> lock(blockMutex);
      inBlock = true;
      blockChanged.notify_all();
      blockChanged.wait_for(lock, std::chrono::seconds(20), [&] { return blockReleased; });
    };
    std::thread audio([&] {
      std::vector<double> samples(64);
      double* channels[] = {samples.data(), samples.data()};
      effect->processDoubleReplacing(effect, channels, channels, 64);
    });
    {
      std::unique_lock<std::mutex> lock(blockMutex);
      blockChanged.wait_for(lock, std::chrono::seconds(10), [&] { return inBlock; });
    }
    auto told = std::async(std::launch::async, idle);
    const bool returned = told.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    {
      std::lock_guard<std::mutex> lock(blockMutex);
      blockReleased = true;
    }
    blockChanged.notify_all();
    audio.join();
    host.onTime = nullptr;
    EXPECT_TRUE(returned) << "the idle call waited for the block";
    return told.get();
  };

  struct Row {
    const char* name;
    std::function<void()> change;
    std::vector<int> idlesAfterMs;  // idle calls, each so long after the one before
    int told;
    bool duringBlock = false;
  };
  const Row table[] = {
      {"nothing changed", [] {}, {0, 600}, 0},
      {"a page switch saves nothing", [&] { plug->SetParameterFromGUI(kMainTab, 1.0); }, {0, 600}, 0},
      {"a knob's edit", [&] { plug->SetParameterFromGUI(kFilter1Cutoff + 3, 0.5); }, {0, 0}, 1},
      {"idle calls past the recheck tell it no more", [] {}, {600, 600, 600}, 0},
      {"a value the instrument answers within the watch", [&] { param(kFilter1Cutoff + 3)->Set(99); }, {0, 600}, 1},
      {"the state's last bytes", [&] { plug->SetParameterFromGUI(lastSaved, 1.0); }, {0}, 1},
      {"a name only the long form saves, answered within the watch",
       [&] { plug->patchManager->setName(1 + 5, "Answered Sound"); }, {0, 600}, 1},
      {"an edit told while a block holds its lock", [&] { plug->SetParameterFromGUI(kFilter1Cutoff + 3, 0.25); }, {},
       1, true},
      {"the watch is over", [&] { param(kFilter1Cutoff + 3)->Set(3); }, {10000, 600}, 0},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.name);
    row.change();
    int told = 0;
    if (row.duringBlock) told += idleDuringBlock();
    for (int ms : row.idlesAfterMs) {
      clock += std::chrono::milliseconds(ms);
      told += idle();
    }
    EXPECT_EQ(told, row.told);
  }
}

TEST_F(StateTest, DamagedChunksChangeNothing) {
  const Bytes project = savedProject();
  // Without the instrument: a restore that loads sends nothing, so the loop
  // stays quick.
  backend->setOutPorts({"Other synth"});
  backend->setInPorts({"Other synth"});
  makePlug(false);
  param(kFilter1Cutoff + 3)->InitInt("", 5, 0, 127);
  const Bytes before = current();
  std::mt19937 rng(99);
  const size_t blockEnd = 40 + 69972 + 400;  // head, block and names: the parts with lengths
  int refused = 0;
  for (int i = 0; i < 400; ++i) {
    Bytes bytes = project;
    switch (i % 4) {
      case 0:  // cut anywhere
        bytes.resize(rng() % bytes.size());
        break;
      case 1:  // a few bytes of the head, the block or the names spoiled
        for (int k = 0; k < 4; ++k) {
          const size_t at = rng() % 32 + (k % 2 ? 69972 + 32 : 0) + (rng() % 2 ? rng() % blockEnd : 0);
          bytes[std::min(at, bytes.size() - 1)] = static_cast<uint8_t>(rng());
        }
        break;
      case 2:  // random bytes behind a valid marker
        bytes.resize(rng() % 4096 + 4);
        for (size_t k = 4; k < bytes.size(); ++k) bytes[k] = static_cast<uint8_t>(rng());
        break;
      default:  // a valid chunk with a value that is not a number
        bytes.resize(bytes.size());
        std::fill_n(bytes.end() - 8 * (1 + static_cast<long>(rng() % 8744)), 8, 0xFF);
        break;
    }
    ByteChunk chunk;
    chunk.AppendBytes(bytes.data(), static_cast<int>(bytes.size()));
    if (plug->UnserializeState(&chunk, 0) < 0) {
      ++refused;
      ASSERT_EQ(current(), before) << "case " << i;
    } else {
      // Something valid enough to load: back to the start for the next case,
      // port names it chose (no port is open) included.
      plug->setChosenPortName(true, "");
      plug->setChosenPortName(false, "");
      ByteChunk original;
      original.AppendBytes(before.data(), static_cast<int>(before.size()));
      ASSERT_GE(plug->UnserializeState(&original, 0), 0);
    }
  }
  EXPECT_GT(refused, 250);
}

// A chunk whose blocks are not whole in their layout is refused, changes
// nothing and says so; the short form of earlier versions and the long form
// are taken.
TEST_F(StateTest, ChunksOfEitherLayoutAreTakenAndTheTwoDamagedClassesRefused) {
  const Bytes project = savedProject();
  constexpr size_t kShortForm = 69972;  // marker, part shown, model, 8744 values
  ASSERT_EQ(Bytes(project.begin() + 28, project.begin() + 32), (Bytes{0x00, 0x01, 0x11, 0x54}));
  const auto snapshotShorter = [&](uint32_t by) {
    Bytes bytes = project;
    const uint32_t length = (69972u - by);
    for (int k = 0; k < 4; ++k) bytes[28 + static_cast<size_t>(k)] = static_cast<uint8_t>(length >> (24 - 8 * k));
    return bytes;
  };
  // The snapshot starts with the marker 0x01000000 as the machine writes an int.
  ASSERT_EQ(Bytes(project.begin() + 32, project.begin() + 36), (Bytes{0x00, 0x00, 0x00, 0x01}));
  Bytes unmarked = project;
  unmarked[35] = 0x00;
  const auto withCutoff = [&](double value, bool inSnapshot) { return withCutoffOf(project, value, inSnapshot); };
  constexpr double kInf = std::numeric_limits<double>::infinity();
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  backend->setOutPorts({"Other synth"});
  backend->setInPorts({"Other synth"});
  makePlug(false);
  ByteChunk shortChunk;
  param(kFilter1Cutoff + 3)->InitInt("", 66, 0, 127);
  plug->SerializeState2(&shortChunk, false);
  const Bytes shortForm = chunkBytes(shortChunk);
  ASSERT_EQ(shortForm.size(), kShortForm);
  // The host's own header (magic and version) before the section.
  void* data = nullptr;
  AEffect* effect = plug->GetAEffect();
  ASSERT_GT(effect->dispatcher(effect, effGetChunk, 1, 0, &data, 0.0f), 8);
  const Bytes header(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + 8);
  struct Row {
    const char* what;
    Bytes section;
    bool taken;
    double cutoff;  // filter 1 cutoff of part 3 afterwards
  };
  const Row table[] = {
      {"the long form", project, true, 77},
      {"the short form of earlier versions", shortForm, true, 66},
      // A value out of its range is clamped into it, as every restored value is.
      {"a huge value", withCutoff(1e300, false), true, 127},
      {"a huge negative value", withCutoff(-1e300, false), true, 0},
      {"the long form cut at the short form's length", Bytes(project.begin(), project.begin() + kShortForm), false, 5},
      {"a snapshot length 8 too small", snapshotShorter(8), false, 5},
      {"a snapshot length 16 too small", snapshotShorter(16), false, 5},
      {"a snapshot without its state marker", unmarked, false, 5},
      // A value that is no number is damage.
      {"a value of +inf", withCutoff(kInf, false), false, 5},
      {"a value of -inf", withCutoff(-kInf, false), false, 5},
      {"a value that is not a number", withCutoff(kNaN, false), false, 5},
      {"a value of +inf in the snapshot", withCutoff(kInf, true), false, 5},
      {"a value of -inf in the snapshot", withCutoff(-kInf, true), false, 5},
      {"a value that is not a number in the snapshot", withCutoff(kNaN, true), false, 5},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.what);
    param(kFilter1Cutoff + 3)->Set(5);
    nameText.SetTextFromPlug("");
    const Bytes before = current();
    const size_t sentBefore = backend->out().sent.size();
    ByteChunk chunk;
    chunk.AppendBytes(row.section.data(), static_cast<int>(row.section.size()));
    const int result = plug->UnserializeState(&chunk, 0);
    EXPECT_EQ(result, row.taken ? static_cast<int>(row.section.size()) : -1);
    EXPECT_EQ(param(kFilter1Cutoff + 3)->Value(), row.cutoff);
    if (row.taken) {
      // Saved again, no value is outside its range.
      const Bytes saved = current();
      double cutoff = 0.0;
      std::memcpy(&cutoff, saved.data() + saved.size() - 8 * 8744 + 8 * (kFilter1Cutoff + 3), sizeof cutoff);
      EXPECT_EQ(cutoff, row.cutoff);
      continue;
    }
    EXPECT_EQ(current(), before);
    EXPECT_EQ(backend->out().sent.size(), sentBefore);
    EXPECT_EQ(std::string(nameText.GetText()), "Project not loaded");
    // The same through the host's call, header first: 69,980 bytes for the cut one.
    Bytes hosted = header;
    hosted.insert(hosted.end(), row.section.begin(), row.section.end());
    EXPECT_EQ(effect->dispatcher(effect, effSetChunk, 1, static_cast<VstIntPtr>(hosted.size()), hosted.data(), 0.0f), 0);
    EXPECT_EQ(current(), before);
  }
  // A good load after the refusal replaces both lines.
  {
    ByteChunk chunk;
    chunk.AppendBytes(project.data(), static_cast<int>(project.size()));
    ASSERT_EQ(plug->UnserializeState(&chunk, 0), static_cast<int>(project.size()));
    EXPECT_EQ(nameText.GetText(), "Project loaded");
    EXPECT_EQ(valueText.GetText(), "");
  }
  // A bank chunk is taken whole, and refused whole when cut.
  param(kFilter1Cutoff + 3)->Set(9);
  const VstIntPtr bankSize = effect->dispatcher(effect, effGetChunk, 0, 0, &data, 0.0f);
  ASSERT_GT(bankSize, 16);
  Bytes bank(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + bankSize);
  param(kFilter1Cutoff + 3)->Set(10);
  EXPECT_EQ(effect->dispatcher(effect, effSetChunk, 0, static_cast<VstIntPtr>(bank.size()), bank.data(), 0.0f), 1);
  EXPECT_EQ(param(kFilter1Cutoff + 3)->Value(), 9);
  param(kFilter1Cutoff + 3)->Set(10);
  const Bytes before = current();
  bank.resize(bank.size() - 8);
  EXPECT_EQ(effect->dispatcher(effect, effSetChunk, 0, static_cast<VstIntPtr>(bank.size()), bank.data(), 0.0f), 0);
  EXPECT_EQ(param(kFilter1Cutoff + 3)->Value(), 10);
  EXPECT_EQ(current(), before);
}

TEST(PatchManagerBlock, NamesAreCutToTheirWidthAndTheLengthIsBigEndian) {
  PatchManager manager;
  std::string name;
  manager.getName(&name, 35);
  EXPECT_EQ(name, "INIT");
  EXPECT_TRUE(manager.snapshot().empty());
  manager.setName(1, std::string("Pad\0\0\0\0\0\0\0\0\0\0\0\0\0", 16));
  manager.setName(17, std::string(40, 'x'));
  manager.setName(19, "LEADS");
  ByteChunk chunk;
  manager.saveAllToChunk(&chunk);
  const Bytes bytes = chunkBytes(chunk);
  EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 12), (Bytes{0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0}));
  // Name 0 "INIT", then name 1 with its visible length only.
  EXPECT_EQ(Bytes(bytes.begin() + 12, bytes.begin() + 27), (Bytes{4, 0, 0, 0, 'I', 'N', 'I', 'T', 3, 0, 0, 0, 'P', 'a', 'd'}));
  Patch::Block block;
  ASSERT_EQ(Patch::readBlock(chunk, 0, &block), chunk.Size());
  EXPECT_EQ(block.names[17], std::string(32, 'x'));
  EXPECT_EQ(block.names[19], "LEAD");
  EXPECT_EQ(block.names[0], std::string("INIT\0\0\0\0\0\0\0\0\0\0\0\0", 16));
}
}  // namespace
