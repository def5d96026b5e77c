// Program changes on their way in, from the instrument's port or the host:
// each reaches the part on its channel, as what the instrument's parts play
// afterwards tells.
#include "EditorTestSupport.h"

namespace {
class ProgramChangeRoadTest : public EditorTest {
 protected:
  ProgramChangeRoadTest() {
    makePlug();  // part p listens on channel p
    setParam(kGlobalLocalControl, 1);
    setParam(kMIDIFilterHWPCPassThrough, 1);
    setParam(kMIDIFilterDAWPCPassThrough, 1);
    param(kGlobalRxProgramChange)->Set(1);
    setParam(kControlProgBank, 0);  // no part is read back: the request would hold off what follows
    settle();
  }
  // The name of the sound a part of the instrument plays.
  std::string playing(int part) {
    const Bytes dump = instrument.partBuffer(part);
    return std::string(dump.begin() + 370, dump.begin() + 379);
  }
};

TEST_F(ProgramChangeRoadTest, AProgramChangeReachesThePartOnItsChannel) {
  // A locked part takes no program change, nor one whose sound another part
  // plays: the host's is not passed on to the instrument by itself either,
  // and nothing of it goes out, not even its notes off.
  const struct {
    const char* what;
    bool fromDevice;
    int channel, part;
    bool locked = false, playedElsewhere = false;
  } rows[] = {{"instrument, channel 1", true, 0, 0},   {"instrument, channel 6", true, 5, 5},
              {"instrument, channel 16", true, 15, 15}, {"host, channel 8", false, 7, 7},
              {"host, channel 12", false, 11, 11},      {"host, channel 3, part locked", false, 2, 2, true},
              {"host, channel 4, another part plays it", false, 3, 3, false, true},
              {"instrument, channel 5, another part plays it", true, 4, 4, false, true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    for (int p = 0; p < 16; ++p) param(kMultiPartPatch + p)->Set(0);
    param(kPartLock + row.part)->Set(row.locked ? 1 : 0);
    const std::string before = playing(row.part);
    const int program = 40 + row.part;
    if (row.playedElsewhere) {
      param(kMultiPartStatus + 9)->Set(1);
      plug->notePartPlays(9, param(kMultiPartBank + row.part)->Int(), program);
    }
    const Bytes change = {static_cast<unsigned char>(0xC0 | row.channel), static_cast<unsigned char>(program)};
    if (row.fromDevice) {
      ASSERT_TRUE(backend->inject(change));
    } else {
      hostEvents({change});  // through the plug-in's event call, as a host sends it
    }
    const ByteList arrived = arrivedAtInstrument();
    // The instrument's own change is what its part plays: shown, not echoed.
    const bool refused = row.locked || row.playedElsewhere;
    const int shown = row.locked || (row.playedElsewhere && !row.fromDevice) ? 0 : program;
    for (int p = 0; p < 16; ++p) EXPECT_EQ(param(kMultiPartPatch + p)->Int(), p == row.part ? shown : 0) << p;
    // (The instrument's own change is injected here, not made on the stand-in.)
    EXPECT_EQ(playing(row.part), refused ? before : "SOUND A" + std::to_string(program));
    if (refused) {
      EXPECT_EQ(arrived, ByteList{});
    }
  }
}

}  // namespace
