// End to end on JACK: the plug-in sends a part's sound as a dump job through
// its direct MIDI output to the simulated instrument on a real JACK port.
#include <gtest/gtest.h>

#include <cstdlib>

#include "InstrumentLink.h"
#include "JackPeer.h"
#include "JackServer.h"
#include "MidiPorts.h"
#include "PluginMidiTestSupport.h"
#include "SysExFormat.h"

namespace {
class JackEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(server.Start()) << "cannot start the JACK test server: " << server.Error();
    setenv("TARNIVEX_MIDI_API", "jack", 1);
    SetMidiBackend(nullptr);
    peer = std::make_unique<JackPeer>();
    plug = std::make_unique<Tarnivex>(IPlugInstanceInfo{});
    const auto& names = plug->getExternalMIDIOutNames();
    int out = -1;
    for (size_t i = 0; i < names.size(); ++i)
      if (names[i] == peer->InPortName()) out = static_cast<int>(i);
    ASSERT_GT(out, 0) << "the out list does not show " << peer->InPortName();
    ASSERT_EQ(plug->setExternalMIDIOut(out, peer->InPortName().c_str()), out);
    prepareSoundParameters(*plug, kDeviceId);
    link = std::make_unique<InstrumentLink>(instrument, [this](const SimBytes& reply) { peer->Send(reply); });
  }
  void TearDown() override {
    link.reset();
    plug.reset();
    peer.reset();
    unsetenv("TARNIVEX_MIDI_API");
    server.Stop();
  }

  static constexpr int kDeviceId = 0x10;
  JackServer server;
  std::unique_ptr<JackPeer> peer;
  std::unique_ptr<Tarnivex> plug;
  SimulatedInstrument instrument{kDeviceId};
  std::unique_ptr<InstrumentLink> link;
  // What arrived at the instrument's port, for forwardSent.
  std::function<std::vector<std::vector<unsigned char>>()> arrived = [this] {
    std::vector<std::vector<unsigned char>> all;
    for (const PeerEvent& event : peer->Events()) all.push_back(event.bytes);
    return all;
  };
};

TEST_F(JackEndToEndTest, PartDumpJobReachesTheInstrumentByteExact) {
  plug->GetParam(kOscillator1Octave + 12)->Set(3);
  plug->GetParam(kArpPattern05Step + 12)->Set(2);
  plug->GetParam(kArpPattern05Glide + 12)->Set(1);
  plug->GetParam(kArpPattern05Accent + 12)->Set(3);
  plug->setParamDisplayText(kPatchName + 12, 0, "Over JACK");
  plug->setParamDisplayText(kCategoryName + 12, 0, "LEAD");
  ASSERT_TRUE(sendPartAsJob(*plug, 12));
  ASSERT_TRUE(forwardSent(arrived, 1, *link));

  const std::vector<unsigned char> received = peer->Events().at(0).bytes;
  ASSERT_EQ(received.size(), 392u);
  const unsigned char header[] = {0xF0, 0x3E, 0x10, kDeviceId, 0x10, 0x30, 12, 0x01};
  EXPECT_TRUE(std::equal(std::begin(header), std::end(header), received.begin()));
  EXPECT_EQ(received[8], 52);     // octave 3
  EXPECT_EQ(received[338], 0x2B);  // step 5: step 2, glide, accent 3
  EXPECT_EQ(std::string(received.begin() + 370, received.begin() + 390), "Over JACK       LEAD");
  EXPECT_EQ(received[390], dumpChecksum(received.data(), 392));
  EXPECT_EQ(received[391], 0xF7);

  EXPECT_EQ(instrument.partsStored(), std::vector<int>{12});
  EXPECT_TRUE(instrument.checksumErrors().empty());
  EXPECT_EQ(instrument.partBuffer(12), received);
}
}  // namespace
