// The road back from the instrument and the jobs that talk with it: every
// parameter-change form, multi and global dumps both ways, job 0's order,
// requests against the simulated instrument, library transfers, channel
// routing and the randomiser. Pauses take virtual time.
#include <gtest/gtest.h>

#include <random>

#include "FrameChecksum.h"
#include "ArrangementDumps.h"
#include "ParamIndex.h"
#include "PatchFile.h"
#include "ProtocolTestSupport.h"

namespace {
using Bytes = std::vector<unsigned char>;
constexpr int kId = 0x10;

class RoadBackTest : public ::testing::Test, public EngineFixture {
 protected:
  RoadBackTest() {
    editor.setValue(kGlobalSysExID, kId);
    manager->virtualPause = [this](int ms) {
      pauses.push_back(ms);
      return pauses.size() < 100000;
    };
  }
  void run(SenderJob job) { ASSERT_TRUE(runJob(job)); }
  SenderJob job(int code, int part = 0, bool flag = true) {
    SenderJob j;
    j.jobCode = code;
    j.partArgument = part;
    j.requestFlag = flag;
    return j;
  }
  bool said(const std::string& text) {
    const auto all = editor.statusTexts();
    return std::find(all.begin(), all.end(), text) != all.end();
  }
  std::vector<int> pauses;
};

// 10-byte sound and 9-byte multi/global changes; value byte last but one.
Bytes change(std::vector<int> body, int device = kId) {
  Bytes m = {0xF0, 0x3E, 0x10, static_cast<unsigned char>(device)};
  for (int b : body) m.push_back(static_cast<unsigned char>(b));
  m.push_back(0xF7);
  return m;
}

TEST_F(RoadBackTest, EveryChangeFormReachesItsParametersAndNothingGoesBack) {
  editor.bindSysEx({0x20, 3, 0, 78, 0}, kFilter1Cutoff + 3);
  editor.bindSysEx({0x20, 15, 0, 78, 0}, kFilter1Cutoff + 15);
  editor.bindSysEx({0x20, 0, 0, 1, 0}, kOscillator1Octave);
  editor.bindSysEx({0x20, 0, 0, 2, 0}, kOscillator1Semitone);
  editor.bindSysEx({0x20, 2, 0, 4, 0}, kOscillator1BendRange + 2);
  editor.bindSysEx({0x00, 0x24, 0, 5, 0}, kGlobalTuning);
  editor.bindSysEx({0x20, 1, 1, 20, 8}, kFX2ReverbSize + 1);
  editor.paramAt(kGlobalTuning)->InitInt("", 0, -64, 63);
  editor.setValue(kEffect2Mode + 1, 9);  // effect 2 type 9 looks up sub-key 8
  const struct {
    const char* what;
    Bytes message;
    std::vector<std::pair<int, double>> expected;
  } rows[] = {
      {"sound change", change({0x20, 3, 0, 78, 100}), {{kFilter1Cutoff + 3, 100}}},
      {"part 15 taken", change({0x20, 15, 0, 78, 90}), {{kFilter1Cutoff + 15, 90}}},
      {"octave from its wire byte", change({0x20, 0, 0, 1, 64}), {{kOscillator1Octave, 4}}},
      {"semitone from its wire byte", change({0x20, 0, 0, 2, 64}), {{kOscillator1Semitone, 12}}},
      {"bend range", change({0x20, 2, 0, 4, 52}), {{kOscillator1BendRange + 2, 12}}},
      {"unisono and mono", change({0x20, 5, 0, 58, 17}), {{kOscillatorUnisono + 5, 1}, {kOscillatorMonoPolyMode + 5, 1}}},
      {"envelope mode and trigger", change({0x20, 6, 1, 104, 40}), {{kEnvelope4Mode + 6, 8}, {kEnv4Trigger + 6, 1}}},
      {"envelope mode 0, triggered", change({0x20, 6, 1, 68, 32}), {{kFilterEnvMode + 6, 0}, {kFilterEnvTrigger + 6, 1}}},
      {"envelope mode 31, not triggered", change({0x20, 6, 1, 80, 31}), {{kAmpEnvMode + 6, 31}, {kAmpEnvTrigger + 6, 0}}},
      {"arpeggiator step 5", change({0x20, 7, 2, 0x4B, 0x3C}),
       {{kArpPattern05Step + 7, 3}, {kArpPattern05Accent + 7, 4}, {kArpPattern05Glide + 7, 1}}},
      {"effect 2 by its type", change({0x20, 1, 1, 20, 33}), {{kFX2ReverbSize + 1, 33}}},
      {"multi program of part 7", change({0x21, 1, 59, 42}), {{kMultiPartPatch + 7, 42}}},
      {"global tuning, signed", change({0x24, 0, 5, 0x30}), {{kGlobalTuning, -6}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    receive(row.message, false);
    for (const auto& [idx, value] : row.expected) EXPECT_EQ(editor.value(idx), value) << idx;
  }
  EXPECT_TRUE(editor.echoes().empty());
  EXPECT_TRUE(editor.sentSysEx().empty());
  EXPECT_TRUE(editor.calls().empty());  // the page refreshes take the instrument's road
}

TEST_F(RoadBackTest, ForeignShortHighAndOutOfRangeMessagesChangeNothing) {
  editor.bindSysEx({0x20, 3, 0, 78, 0}, kFilter1Cutoff + 3);
  const Bytes rows[] = {
      {0xF0, 0x41, 0x10, kId, 0x20, 3, 0, 78, 5, 0xF7},  // another maker
      change({0x20, 3, 0, 78, 5}, kId + 1),              // another device ID
      change({0x20, 16, 0, 78, 5}),                      // part 16, in every form
      change({0x20, 16, 0, 58, 17}), change({0x20, 16, 1, 104, 40}), change({0x20, 16, 2, 0x4B, 0x3C}),
      change({0x20, 16, 1, 20, 33}),
      change({0x20, 3, 0, 78, 0x85}),                    // no data byte
      change({0x20, 3, 0, 78}),                          // short
      change({0x21, 1, 59, 5}, kId + 1),
      change({0x24, 0, 5, 5}, kId + 1),
  };
  for (const Bytes& message : rows) receive(message, false);
  // A sound dump for part 16 would write into another parameter's block.
  SimBytes dump = SimulatedInstrument::soundDump(kId, 0x30, 16, "SIXTEEN");
  receive(dump);
  EXPECT_TRUE(editor.plugSets().empty());
  EXPECT_TRUE(editor.echoes().empty());
  EXPECT_EQ(editor.value(kFilter1Cutoff + 3), 0);
}

TEST_F(RoadBackTest, MultiAndGlobalDumpsByteExactBothWays) {
  editor.setValue(kMultiTempo, 37);
  editor.setValue(kMultiPartTranspose + 2, 48);
  editor.setValue(kMultiPartVeloLow + 15, 0);
  editor.setParamDisplayText(kMultiName, 0, "Twenty Characters!!!");
  editor.paramAt(kGlobalTuning)->InitInt("", -6, -64, 63);
  editor.setValue(kGlobalMidiChannel, 3);
  editor.sendGlobalFirst = true;
  editor.currentPart = 4;
  run(job(0));
  const auto sent = editor.sentSysEx();
  ASSERT_EQ(sent.size(), 3u);  // global, multi, the current part
  const Bytes& global = sent[0];
  const Bytes& multi = sent[1];
  ASSERT_TRUE(global.size() == 207u && multi.size() == 393u);
  EXPECT_EQ(Bytes(global.begin(), global.begin() + 13),
            (Bytes{0xF0, 0x3E, 0x10, kId, 0x14, 0x31, 0x00, 0x63, 0x63, 0x63, 48, 52, 0x00}));
  EXPECT_EQ(global[29], 3);
  EXPECT_EQ(global[30], kId);
  EXPECT_EQ(global[205], sim::frameChecksum(global.data(), 207));
  EXPECT_EQ(Bytes(multi.begin(), multi.begin() + 7), (Bytes{0xF0, 0x3E, 0x10, kId, 0x11, 0x20, 0x00}));
  EXPECT_EQ(multi[12], 37);
  EXPECT_EQ(multi[39 + 44 + 4], 64);  // transpose 48 + 16
  EXPECT_EQ(multi[39 + 330 + 12], 1);  // velocity 0 + 1
  EXPECT_EQ((Bytes{multi[385], multi[386]}), (Bytes{0x77, 0x7F}));
  EXPECT_EQ(std::string(multi.begin() + 23, multi.begin() + 39), "Twenty Character");
  EXPECT_EQ(multi[391], sim::frameChecksum(multi.data(), 393));
  EXPECT_EQ(editor.patchNames()[0], "Twenty Characters!!!");

  EngineFixture other;
  other.editor.paramAt(kGlobalTuning)->InitInt("", 0, -64, 63);
  other.receive(multi);
  other.receive(global);
  EXPECT_EQ(other.editor.value(kMultiTempo), 37);
  EXPECT_EQ(other.editor.value(kMultiPartTranspose + 2), 48);
  EXPECT_EQ(other.editor.value(kGlobalTuning), -6);
  EXPECT_EQ(other.editor.value(kGlobalMidiChannel), 3);
  EXPECT_FALSE(other.manager->dumpExpected);
}

TEST_F(RoadBackTest, ArrangementSendsGlobalMultiThenActivePartsWithTheirPauses) {
  editor.sendGlobalFirst = true;
  editor.sendAllParts = true;
  editor.setValue(kMultiPartStatus + 2, 1);
  editor.setValue(kMultiPartStatus + 9, 1);
  editor.setValue(kMultiPartStatus + 11, 3);  // only exactly 1 is active
  run(job(0));
  std::vector<std::pair<size_t, int>> shape;
  for (const Bytes& m : editor.sentSysEx()) shape.emplace_back(m.size(), m[6]);
  EXPECT_EQ(shape, (std::vector<std::pair<size_t, int>>{{207, 0}, {393, 0}, {392, 2}, {392, 9}}));
  EXPECT_EQ(pauses, (std::vector<int>{50, 500, 150, 400, 150, 400}));
}

TEST_F(RoadBackTest, RequestsAnswerTimeOutAndFindTheInstrumentOnAnotherID) {
  SimulatedInstrument instrument(5);
  editor.instrument = &instrument;
  instrument.setSilent(true);
  run(job(6, 3));
  EXPECT_TRUE(said("CONNECTION TIMED OUT!"));
  EXPECT_EQ(pauses.size(), 1u + 25u + 128u + 5u + 1u);  // bounded: no wait beyond the 30th tick
  instrument.setSilent(false);

  editor.learning = true;
  run(job(13));
  EXPECT_EQ(editor.value(kGlobalSysExID), 5);
  EXPECT_TRUE(said("Plug-in is ready to go!"));
  editor.clearRecords();
  run(job(6, 3));
  ASSERT_FALSE(editor.sentSysEx().empty());
  // No search: asked on the ID found, again while what the unanswered
  // request and its search may still be answered comes as nobody's.
  for (const Bytes& request : editor.sentSysEx()) EXPECT_EQ(request, (Bytes{0x3E, 0x10, 5, 0x00, 0x30, 3}));
  EXPECT_LE(editor.sentSysEx().size(), 3u);
  EXPECT_TRUE(said("Data request Completed!"));
  EXPECT_EQ(editor.paramDisplayText(kPatchName + 3, 0), "PART A04        ");
}

// The out port goes while the enquiry searches: nothing more is asked into
// it, the job ends so host notes pass, and it is asked for again once the
// port is back. Then the ID the instrument last answered on goes first.
TEST_F(RoadBackTest, AnEnquiryAsksNothingWhileItsPortIsGoneAndAsksTheKnownIdFirstWhenItIsBack) {
  SimulatedInstrument instrument(kId);
  editor.instrument = &instrument;
  editor.learning = true;
  instrument.setSilent(true);
  size_t sentBeforeGone = 0;
  manager->virtualPause = [&](int ms) {
    pauses.push_back(ms);
    if (pauses.size() == 22) {  // two IDs into the search
      sentBeforeGone = editor.sentSysEx().size();
      editor.outPortGone = true;
    }
    return pauses.size() < 100000;
  };
  run(job(13));
  std::vector<int> asked;
  for (const Bytes& request : editor.sentSysEx()) asked.push_back(request.at(3));
  EXPECT_EQ(asked, (std::vector<int>{kId, 0x00, 0x01}));
  EXPECT_EQ(editor.sentSysEx().size(), sentBeforeGone);
  EXPECT_EQ(editor.enquiriesAwaitingPort, 1);
  EXPECT_FALSE(said("No response from dirirU!"));
  // Asked again while the port is still gone: it does not start.
  editor.clearRecords();
  run(job(13));
  EXPECT_TRUE(editor.sentSysEx().empty());
  EXPECT_EQ(editor.enquiriesAwaitingPort, 2);

  editor.outPortGone = false;
  instrument.setSilent(false);
  run(job(13));
  asked.clear();
  for (const Bytes& request : editor.sentSysEx()) asked.push_back(request.at(3));
  EXPECT_EQ(asked, std::vector<int>{kId});
  EXPECT_TRUE(said("Plug-in is ready to go!"));
  EXPECT_EQ(editor.enquiriesAwaitingPort, 2);
}

TEST_F(RoadBackTest, ABankOf100ArrivesEntryByEntry) {
  SimulatedInstrument instrument(kId);
  editor.instrument = &instrument;
  librarian.upperBank = librarian.addBank(0, "Bank.syx");
  SenderJob bank = job(10);
  bank.bankArgument = 1;
  run(bank);
  EXPECT_TRUE(said("Data request completed!"));
  for (int slot : {0, 57, 99}) {
    const LibrarianPatch entry = librarian.entryAt(0, librarian.upperBank, slot);
    ASSERT_EQ(entry.dumps.size(), 1u);
    EXPECT_EQ(entry.dumps[0].bytes, instrument.storedSound(1, slot));
  }
  EXPECT_FALSE(manager->patchRequest.active);
}

TEST_F(RoadBackTest, BankStoreReaddressesEveryWholeEntryWithAFreshChecksum) {
  SimulatedInstrument instrument(kId);
  editor.instrument = &instrument;
  const int index = librarian.addBank(0, "Store.syx");
  librarian.upperBank = index;
  {
    auto lock = librarian.lock();
    auto& patches = librarian.bankAt(0, index)->patches;
    for (int e = 0; e < 64; ++e) patches[static_cast<size_t>(e)].dumps.push_back({SimulatedInstrument::soundDump(3, 2, 77, "X")});
    patches[5].dumps[0].bytes.resize(300);  // a fragment is not sent
    // Nor an entry cut short in its file, completed to full size.
    patches[9].asRead = Bytes(patches[9].dumps[0].bytes.begin(), patches[9].dumps[0].bytes.begin() + 200);
  }
  SenderJob store = job(4);
  store.storeArgument1 = 0;
  store.storeArgument3 = 1;
  run(store);
  const auto sent = editor.sentRaw();
  ASSERT_EQ(sent.size(), 62u);
  EXPECT_EQ(Bytes(sent[5].begin(), sent[5].begin() + 7), (Bytes{0xF0, 0x3E, 0x10, kId, 0x10, 1, 6}));
  EXPECT_EQ(Bytes(sent[8].begin(), sent[8].begin() + 7), (Bytes{0xF0, 0x3E, 0x10, kId, 0x10, 1, 10}));
  EXPECT_TRUE(instrument.checksumErrors().empty());
  EXPECT_EQ(instrument.storedSound(1, 63)[6], 63);
  EXPECT_TRUE(said("Data written, 2 not whole skipped"));
}

TEST_F(RoadBackTest, ALibraryEntryIsPaddedAddressedToThePartAndChecksummed) {
  LibrarianPatch entry;
  SimBytes dump = SimulatedInstrument::soundDump(3, 1, 77, "Short One");
  dump.resize(380);  // the name survives, the category does not
  entry.dumps.push_back({dump});
  SenderJob send = job(3, 6);
  send.patchArgument = entry;
  send.slotArgument = 42;
  run(send);
  EXPECT_EQ(editor.paramDisplayText(kPatchName + 6, 0), "Short One ");  // padding ends the name
  EXPECT_EQ(editor.value(kMultiPartPatch + 6), 42);
  const auto sent = editor.sentSysEx();
  ASSERT_EQ(sent.size(), 1u);  // the part's sound after the bank change
  EXPECT_EQ(sent[0][6], 6);
  EXPECT_EQ(editor.sentShort().front(), (Bytes{0xB0, 123, 0}));
}

TEST_F(RoadBackTest, ChannelMessagesThroughFiltersLatchAndControllerConversions) {
  for (int k = 0; k < 6; ++k) editor.setValue(kMIDIFilterHWCCPassThrough + k, 1);
  editor.setValue(kMIDIFilterHWNotePassThrough, 0);
  editor.localControl = false;
  editor.bindCC(1, 27, kOscillator1Octave);
  editor.bindCC(1, 28, kOscillator1Semitone);
  const auto fromDevice = [this](Bytes m) {
    IMidiMsg msg(0, m[0], m[1], m.size() > 2 ? m[2] : 0);
    manager->ProcessMidiMsgFromDevice(&msg);
  };
  fromDevice({0xB0, 0, 0});
  fromDevice({0xB0, 32, 64});
  fromDevice({0xB0, 32, 64});  // the latch is spent: this one is handled
  fromDevice({0xB0, 27, 40});
  fromDevice({0xB0, 28, 64});
  fromDevice({0x90, 60, 100});  // notes are blocked
  EXPECT_EQ(editor.value(kOscillator1Octave), 2);
  EXPECT_EQ(editor.value(kOscillator1Semitone), 12);
  EXPECT_EQ(editor.passedOn(), (std::vector<Bytes>{{0xB0, 32, 64}, {0xB0, 27, 40}, {0xB0, 28, 64}}));
  EXPECT_EQ(editor.echoes(), (std::vector<int>{kOscillator1Octave, kOscillator1Semitone}));  // local control off
  editor.localControl = true;
  fromDevice({0xB0, 27, 64});
  EXPECT_EQ(editor.echoes().size(), 2u);  // with local control on, nothing goes back
}

// A program change from the instrument goes back to it only as the editor's
// answer: a program change a part takes is answered with the part's bank
// and program change, never echoed on whatever bank the instrument is on;
// one the editor does not take does not go back at all.
// Into the host's buffer the instrument's playing goes on, a bank select
// with its program change.
TEST_F(RoadBackTest, AnInstrumentsProgramChangeGoesBackOnlyAsTheEditorsAnswer) {
  for (int k = 0; k < 6; ++k) editor.setValue(kMIDIFilterHWCCPassThrough + k, 1);
  for (int p = 0; p < 16; ++p) editor.setValue(kMultiPartMIDICh + p, p + 2);  // part p on channel p + 1
  const Bytes pc = {0xC1, 5, 0};
  const std::vector<Bytes> bankAndProgram = {{0xB1, 0, 0}, {0xB1, 32, 0x42}, pc};
  const struct {
    const char* what;
    std::vector<Bytes> messages;
    bool local = false, library = false, rx = true, locked = false, toHost = false;
    std::vector<Bytes> passedOn;
  } rows[] = {
      {.what = "program changes taken", .messages = {pc}, .passedOn = {}},
      {.what = "bank select and program change taken", .messages = bankAndProgram, .passedOn = {}},
      {.what = "library stepping", .messages = {pc}, .library = true, .passedOn = {}},
      {.what = "library stepping, bank select first", .messages = bankAndProgram, .library = true, .passedOn = {}},
      {.what = "program changes taken, a channel no part uses (part 1 answers)", .messages = {{0xC0, 5, 0}},
       .passedOn = {}},
      // Not taken, nothing goes back: the instrument stays on what it plays.
      {.what = "program changes not taken", .messages = {pc}, .rx = false, .passedOn = {}},
      {.what = "part locked", .messages = {pc}, .locked = true, .passedOn = {}},
      {.what = "part locked, bank select first", .messages = bankAndProgram, .locked = true, .passedOn = {}},
      {.what = "library stepping, part locked", .messages = {pc}, .library = true, .locked = true, .passedOn = {}},
      {.what = "into the host's buffer", .messages = {pc}, .toHost = true, .passedOn = {pc}},
      {.what = "into the host's buffer, bank select first", .messages = bankAndProgram, .toHost = true,
       .passedOn = bankAndProgram},
      {.what = "local control on", .messages = {pc}, .local = true, .rx = false, .passedOn = {}},
      {.what = "notes", .messages = {{0x91, 60, 100}, {0x81, 60, 0}}, .passedOn = {{0x91, 60, 100}, {0x81, 60, 0}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    editor.clearRecords();
    editor.localControl = row.local;
    editor.libraryMode = row.library;
    editor.toHostBuffer = row.toHost;
    editor.setValue(kGlobalRxProgramChange, row.rx ? 1 : 0);
    editor.setValue(kPartLock + 1, row.locked ? 1 : 0);
    for (const Bytes& m : row.messages) {
      IMidiMsg msg(0, m[0], m[1], m[2]);
      manager->ProcessMidiMsgFromDevice(&msg);
    }
    waitIdle(JobThread::kRequest);
    EXPECT_EQ(editor.passedOn(), row.passedOn);
  }
}

TEST_F(RoadBackTest, RandomiserKeepsLockedSectionsAndAlwaysEnds) {
  for (int lock = kSectionLockOsc1; lock < kSectionLockGlobal; ++lock) editor.setValue(lock, 1);
  manager->randomGenerator();
  manager->randomizePatchSettings(2);
  EXPECT_TRUE(editor.plugSets().empty());

  editor.setValue(kSectionLockOsc1 + 2, 0);
  editor.paramAt(kOscillator1Detune + 2)->InitDouble("", 0, 0, 0.5, 0.1);  // a step below 1
  manager->randomTable.fill(255);
  manager->randomizePatchSettings(2);
  std::vector<int> written;
  for (const auto& [idx, value] : editor.plugSets()) written.push_back(idx);
  ASSERT_EQ(written.size(), 13u);
  EXPECT_EQ(written.back(), kOscillator1SubLevel + 2);
}

TEST_F(RoadBackTest, FuzzedInstrumentMessagesNeverCrashOrGetAnswered) {
  editor.bindSysEx({0x20, 3, 0, 78, 0}, kFilter1Cutoff + 3);
  std::mt19937 rng(99);
  const SimBytes seeds[] = {SimulatedInstrument::soundDump(kId, 0x30, 2, "A"), SimulatedInstrument::multiDump(kId, 0x20, 0, "B"),
                            change({0x20, 3, 0, 78, 5}), change({0x21, 1, 59, 5}), change({0x24, 0, 6, 70})};
  for (int i = 0; i < 3000; ++i) {
    SimBytes m = seeds[rng() % 5];
    if (rng() % 4 == 0) m.resize(rng() % (m.size() + 1));
    for (int k = rng() % 6; k > 0 && !m.empty(); --k) m[rng() % m.size()] = static_cast<unsigned char>(rng());
    if (!m.empty()) receive(m, rng() % 2 == 0);
  }
  EXPECT_TRUE(editor.sentSysEx().empty());
  EXPECT_TRUE(editor.echoes().empty());
}
}  // namespace
