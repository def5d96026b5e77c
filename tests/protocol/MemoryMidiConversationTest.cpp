// The plug-in and the simulated instrument on the in-memory MIDI system:
// a part's sound leaves as a dump job, a requested part comes back.
#include <gtest/gtest.h>

#include "InstrumentLink.h"
#include "MemoryMidiBackend.h"
#include "MessagePump.h"
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
    pump = std::make_unique<MessagePump>([this] { return backend->out().sent; }, *link);
  }
  ~MemoryMidiConversationTest() override {
    pump.reset();
    link.reset();
    plug.reset();
    SetMidiBackend(nullptr);
  }

  static constexpr int kDeviceId = 0x21;
  std::shared_ptr<MemoryMidiBackend> backend = std::make_shared<MemoryMidiBackend>();
  std::unique_ptr<Tarnivex> plug;
  SimulatedInstrument instrument{kDeviceId};
  std::unique_ptr<InstrumentLink> link;
  std::unique_ptr<MessagePump> pump;
};

TEST_F(MemoryMidiConversationTest, PartSoundArrivesAndIsStoredInThatPart) {
  plug->GetParam(kFilter1Cutoff + 6)->Set(101);
  plug->setParamDisplayText(kPatchName + 6, 0, "Memory Part");
  ASSERT_TRUE(sendPartAsJob(*plug, 6));
  ASSERT_TRUE(pump->waitForCount(1));
  const auto sent = backend->out().sent;
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(instrument.partBuffer(6), sent[0]);
  EXPECT_EQ(instrument.partsStored(), std::vector<int>{6});
  EXPECT_TRUE(instrument.checksumErrors().empty());
  EXPECT_EQ(sent[0][85], 101);
  EXPECT_EQ(std::string(sent[0].begin() + 370, sent[0].begin() + 386), "Memory Part     ");
}

TEST_F(MemoryMidiConversationTest, RequestedPartComesBackIntoTheEditor) {
  plug->midiMessageManager->dumpExpected = true;
  plug->midiMessageManager->sendSysexMessage({0x3E, 0x10, kDeviceId, 0x00, 0x30, 0x02});
  ASSERT_TRUE(pump->waitForCount(1));
  EXPECT_EQ(plug->paramDisplayText(kPatchName + 2, 0), "PART A03        ");
  EXPECT_TRUE(plug->replyReceived);
}
}  // namespace
