// End to end on JACK: the plug-in sends a part's sound as a dump job through
// its direct MIDI output to the simulated instrument on a real JACK port.
#include <gtest/gtest.h>

#include "JackTest.h"
#include "PluginMidiTestSupport.h"

namespace {
class JackEndToEndTest : public JackTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(JackTest::SetUp());
    plug = std::make_unique<Tarnivex>(IPlugInstanceInfo{});
    ASSERT_NO_FATAL_FAILURE(Connect(*plug, false));
    prepareSoundParameters(*plug, kDeviceId);
    link = std::make_unique<InstrumentLink>(instrument, [this](const SimBytes& reply) { peer->Send(reply); });
  }

  static constexpr int kDeviceId = 0x10;
  std::unique_ptr<Tarnivex> plug;
  SimulatedInstrument instrument{kDeviceId};
  std::unique_ptr<InstrumentLink> link;
  // What arrived at the instrument's port.
  SentMessages arrived = [this] {
    std::vector<std::vector<unsigned char>> all;
    for (const PeerEvent& event : peer->Events()) all.push_back(event.bytes);
    return all;
  };
};

TEST_F(JackEndToEndTest, PartDumpJobReachesTheInstrumentByteExact) {
  expectPartSoundStored(*plug, kDeviceId, arrived, *link, instrument);
}
}  // namespace
