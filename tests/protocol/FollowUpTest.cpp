// A bank or program chosen for a multi part on the instrument, as its report
// tells it: a pick of the part. With local control on the instrument plays
// it already (recorded, nothing sent back but notes off); with it off, the
// pair goes back whole where it differs from what the part plays, or nothing
// of it when the part is locked. Within a second of a program change the
// editor sent, the instrument's report of it is its echo, once.
#include <gtest/gtest.h>

#include "IMidiMsg.h"
#include "ParamIndex.h"
#include "ProtocolTestSupport.h"

namespace {
using Calls = std::vector<std::string>;
constexpr int kId = 0x10;

TEST(FollowUpTest, ABankOrProgramChosenOnTheInstrumentIsAPickOfThePart) {
  constexpr int kPart = 3, kBankPosition = 32 + 22 * kPart;
  const struct {
    const char* what;
    bool local;
    double lock;
    uint32_t msSinceProgramChange;
    int position, value;
    Calls calls;
    Calls plays;                 // what the record took
    double channel = kPart + 2;  // the part's MIDI channel setting: channel 4
    int toldFirst = -1;          // a program report the instrument sent before (what it did not counted)
  } rows[] = {
      {"program, local on", true, 0, 5000, kBankPosition + 1, 2, {"AllSoundsOff 3"}, {"3 -1/2"}},
      {"bank, local on", true, 0, 5000, kBankPosition, 2, {"AllSoundsOff 3"}, {"3 2/-1"}},
      {"a lock of 0.5 is no lock", true, 0.5, 5000, kBankPosition + 1, 2, {"AllSoundsOff 3"}, {"3 -1/2"}},
      {"program, local on, locked: what it plays is still recorded", true, 1, 5000, kBankPosition + 1, 2, {}, {"3 -1/2"}},
      {"program, local off: the pair goes back", false, 0, 5000, kBankPosition + 1, 2,
       {"AllSoundsOff 3", "BankChangeMessage 3"}, {"3 0/2"}},
      {"bank, local off: the pair goes back", false, 0, 5000, kBankPosition, 2,
       {"AllSoundsOff 3", "BankChangeMessage 3"}, {"3 2/0"}},
      {"program, local off, locked: nothing", false, 1, 5000, kBankPosition + 1, 2, {}, {}},
      {"the echo of a program change 500 ms ago: nothing", false, 0, 500, kBankPosition + 1, 0, {}, {}},
      {"the echo of its bank: nothing", false, 0, 500, kBankPosition, 0, {}, {}},
      // A pick of what the part plays already: nothing goes back after its notes off.
      {"the echo told a second time: a pick of what it plays", false, 0, 500, kBankPosition + 1, 0,
       {"AllSoundsOff 3"}, {"3 0/0"}, kPart + 2, 0},
      {"past due, 1500 ms after the change: a pick of what it plays", false, 0, 1500, kBankPosition + 1, 0,
       {"AllSoundsOff 3"}, {"3 0/0"}},
      // Within the change's second, its value is its echo, whatever came between.
      {"after a pick of its own, the change's value: its echo", false, 0, 500, kBankPosition + 1, 0, {}, {},
       kPart + 2, 2},
      {"another program 500 ms after one: a pick", false, 0, 500, kBankPosition + 1, 2,
       {"AllSoundsOff 3", "BankChangeMessage 3"}, {"3 0/2"}},
      // Told, never played: no channel to answer on.
      {"program, the part on Global: not taken", false, 0, 5000, kBankPosition + 1, 2, {}, {}, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    EngineFixture engine;
    FakeEditor& editor = engine.editor;
    editor.localControl = row.local;
    editor.setValue(kGlobalSysExID, kId);
    editor.setValue(kGlobalRxProgramChange, 1);
    editor.setValue(kPartLock + kPart, row.lock);
    editor.setValue(kMultiPartMIDICh + kPart, row.channel);
    // The page's controls of the part's bank and program, which the report addresses.
    editor.bindSysEx({0x00, 0x21, 0, kBankPosition, 0}, kMultiPartBank + kPart);
    editor.bindSysEx({0x00, 0x21, 0, kBankPosition + 1, 0}, kMultiPartPatch + kPart);
    engine.manager->virtualPause = [](int) { return true; };
    // The part is known on A 001, as the program change sent then made it.
    PartPicks& picks = engine.manager->picks;
    picks.letGo(picks.current(kPart), [&](const GatePass& pass) {
      editor.recordPartPlays(pass, 0, 0, nullptr);
      return true;
    });
    // The editor's program change of 001 went to the part's channel at tick 0.
    editor.tick = 0;
    engine.manager->goingToDevice(IMidiMsg(0, 0xC0 | kPart, 0, 0));
    editor.tick = row.msSinceProgramChange;
    const auto report = [&](int position, int value) {
      engine.receive({0xF0, 0x3E, 0x10, kId, 0x21, 0, static_cast<unsigned char>(position),
                      static_cast<unsigned char>(value), 0xF7},
                     false);
    };
    if (row.toldFirst >= 0) report(kBankPosition + 1, row.toldFirst);
    editor.clearRecords();
    report(row.position, row.value);
    EXPECT_EQ(editor.calls(), row.calls);
    EXPECT_EQ(editor.plays(), row.plays);
  }
}
}  // namespace
