// End to end on JACK: the plug-in sends a part's sound as a dump job through
// its direct MIDI output to the simulated instrument on a real JACK port.
#include <gtest/gtest.h>

#include "InstrumentLink.h"
#include "JackTest.h"
#include "PluginMidiTestSupport.h"
#include "SysExFormat.h"

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
