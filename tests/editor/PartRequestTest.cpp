// A part's request and its reply while the editor is busy with a send
// another thread starts: the reply is still its request's answer; a sound
// dump nobody asked for is still dropped.
#include <string>

#include "EditorTestSupport.h"

namespace {
// The sound name as the dump carries it (its first nine characters).
std::string dumpName(const Bytes& dump) { return std::string(dump.begin() + 370, dump.begin() + 379); }
std::string shownName(Tarnivex& plug, int part) {
  std::string name = plug.paramDisplayText(kPatchName + part, 0).substr(0, 9);
  name.resize(9, ' ');
  return name;
}

class PartRequestTest : public EditorTest {};

struct BusyRow {
  const char* what;
  bool requested;  // GET SOUND asked for the part first
  bool taken;      // the part then shows the instrument's sound
};

TEST_F(PartRequestTest, AReplyWhileASendStartsIsItsRequestsAnswer) {
  const Bytes asked = {0xF0, 0x3E, 0x10, kDeviceId, 0x00, 0x30, 0x01, 0xF7};
  const BusyRow rows[] = {
      {"GET SOUND's reply", true, true},
      {"a sound nobody asked for", false, false},
  };
  for (const BusyRow& row : rows) {
    SCOPED_TRACE(row.what);
    makePlug();
    const Bytes reply = instrument.receive(asked).at(0);
    const std::string before = shownName(*plug, 1);
    ASSERT_NE(before, dumpName(reply));
    ByteList sent;
    // The instrument answers at the request's first pause, as the window's
    // thread starts a send of another part (busy meanwhile).
    const auto answerWhileBusy = [&] {
      plug->setEditorBusy(true);
      backend->inject(reply);
      plug->setEditorBusy(false);
    };
    plug->midiMessageManager->virtualPause = [&](int) {
      for (const Bytes& message : sentSinceLast()) {
        sent.push_back(message);
        if (message == asked) answerWhileBusy();
      }
      return true;
    };
    if (row.requested) {
      Pick pick;
      pick.work = Pick::Work::kRequest;
      pick.slot = 1;
      plug->midiMessageManager->picks.pick(pick);
    } else {
      answerWhileBusy();
    }
    awaitRequestThread();
    for (const Bytes& message : sentSinceLast()) sent.push_back(message);
    // Asked once, on the instrument's ID: no device-ID search.
    EXPECT_EQ(sent, row.requested ? ByteList{asked} : ByteList{});
    EXPECT_EQ(shownName(*plug, 1), row.taken ? dumpName(reply) : before);
    EXPECT_FALSE(plug->partSoundHeld[1].load()) << "read back, it is never sent back";
    EXPECT_NE(valueText.GetText(), std::string("CONNECTION TIMED OUT!"));
    EXPECT_EQ(plug->midiMessageManager->picks.repliesAwaited(), 0);
    freshMidiSystem();
  }
}
}  // namespace
