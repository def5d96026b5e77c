// A bank or program chosen for a multi part on the instrument: the editor
// follows it up for that part (all sounds off, the bank and program change,
// the part read back) unless the part is locked or a program change has
// just been handled.
#include <gtest/gtest.h>

#include "ParamIndex.h"
#include "ProtocolTestSupport.h"

namespace {
using Bytes = std::vector<unsigned char>;
using Calls = std::vector<std::string>;
constexpr int kId = 0x10;

TEST(FollowUpTest, ABankOrProgramChosenOnTheInstrumentIsFollowedUpUnlessThePartIsLocked) {
  constexpr int kPart = 3, kBankPosition = 32 + 22 * kPart;
  const struct {
    const char* what;
    double lock;
    uint32_t msSinceProgramChange;
    int position;
    Calls calls;
    double channel = kPart + 2;  // the part's MIDI channel setting: channel 4
  } rows[] = {
      {"program, unlocked", 0, 5000, kBankPosition + 1, {"AllSoundsOff 3", "BankChangeMessage 3"}},
      {"bank, unlocked", 0, 5000, kBankPosition, {"AllSoundsOff 3", "BankChangeMessage 3"}},
      {"a lock of 0.5 is no lock", 0.5, 5000, kBankPosition + 1, {"AllSoundsOff 3", "BankChangeMessage 3"}},
      {"program, locked", 1, 5000, kBankPosition + 1, {}},
      {"bank, locked", 1, 5000, kBankPosition, {}},
      {"a program change came 500 ms ago", 0, 500, kBankPosition + 1, {}},
      {"program, the part on Global: nothing to echo on", 0, 5000, kBankPosition + 1, {"AllSoundsOff 3"}, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    EngineFixture engine;
    FakeEditor& editor = engine.editor;
    editor.setValue(kGlobalSysExID, kId);
    editor.setValue(kGlobalRxProgramChange, 1);
    editor.setValue(kPartLock + kPart, row.lock);
    editor.setValue(kMultiPartMIDICh + kPart, row.channel);
    editor.bindSysEx({0x00, 0x21, 0, kBankPosition, 0}, kMultiPartBank + kPart);
    editor.bindSysEx({0x00, 0x21, 0, kBankPosition + 1, 0}, kMultiPartPatch + kPart);
    engine.manager->virtualPause = [](int) { return true; };
    editor.tick = row.msSinceProgramChange;
    engine.receive({0xF0, 0x3E, 0x10, kId, 0x21, 0, static_cast<unsigned char>(row.position), 2, 0xF7}, false);
    EXPECT_EQ(editor.calls(), row.calls);
    EXPECT_EQ(editor.value(row.position % 2 ? kMultiPartPatch + kPart : kMultiPartBank + kPart), 2);
  }
}
}  // namespace
