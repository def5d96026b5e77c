// The plug-in and the simulated instrument on the in-memory MIDI system:
// a part's sound leaves as a dump job, a requested part comes back.
#include <gtest/gtest.h>

#include "MemoryMidiBackend.h"
#include "PluginMidiTestSupport.h"

namespace {
class MemoryMidiConversationTest : public ::testing::Test {
 protected:
  MemoryMidiConversationTest() {
    backend->setOutPorts({"dirirU"});
    backend->setInPorts({"dirirU"});
    SetMidiBackend(backend);
    plug = std::make_unique<Tarnivex>(IPlugInstanceInfo{});
    plug->getExternalMIDIOutNames();
    plug->getExternalMIDIInNames();
    int out = 1, in = 1;
    plug->setExternalMIDIOut(out, "dirirU");
    plug->setExternalMIDIIn(in, "dirirU");
    prepareSoundParameters(*plug, kDeviceId);
    link = std::make_unique<InstrumentLink>(instrument, [this](const SimBytes& reply) { backend->inject(reply); });
  }
  ~MemoryMidiConversationTest() override {
    link.reset();
    plug.reset();
    SetMidiBackend(nullptr);
  }

  static constexpr int kDeviceId = 0x21;
  std::shared_ptr<MemoryMidiBackend> backend = std::make_shared<MemoryMidiBackend>();
  std::unique_ptr<Tarnivex> plug;
  SimulatedInstrument instrument{kDeviceId};
  std::unique_ptr<InstrumentLink> link;
  // Sent so far, for forwardSent.
  std::function<std::vector<std::vector<unsigned char>>()> sent = [this] { return backend->out().sent; };
};

TEST_F(MemoryMidiConversationTest, PartSoundArrivesAndIsStoredInThatPart) {
  plug->GetParam(kFilter1Cutoff + 6)->Set(101);
  plug->setParamDisplayText(kPatchName + 6, 0, "Memory Part");
  ASSERT_TRUE(sendPartAsJob(*plug, 6));
  ASSERT_TRUE(forwardSent(sent, 1, *link));
  const auto dump = backend->out().sent.at(0);
  EXPECT_EQ(instrument.partBuffer(6), dump);
  EXPECT_EQ(instrument.partsStored(), std::vector<int>{6});
  EXPECT_TRUE(instrument.checksumErrors().empty());
  EXPECT_EQ(dump[85], 101);
  EXPECT_EQ(std::string(dump.begin() + 370, dump.begin() + 386), "Memory Part     ");
}

TEST_F(MemoryMidiConversationTest, RequestedPartComesBackIntoTheEditor) {
  plug->midiMessageManager->dumpExpected = true;
  plug->midiMessageManager->sendSysexMessage({0x3E, 0x10, kDeviceId, 0x00, 0x30, 0x02});
  ASSERT_TRUE(forwardSent(sent, 1, *link));
  EXPECT_EQ(plug->paramDisplayText(kPatchName + 2, 0), "PART A03        ");
  EXPECT_TRUE(plug->replyReceived);
}
}  // namespace
