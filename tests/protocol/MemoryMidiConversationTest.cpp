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
    plug->waitForLibrary();
    plug->getExternalMIDIOutNames();
    plug->getExternalMIDIInNames();
    int out = 1, in = 1;
    plug->setExternalMIDIOut(out, "dirirU");
    plug->setExternalMIDIIn(in, "dirirU");
    prepareSoundParameters(*plug, kDeviceId);
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
  std::unique_ptr<InstrumentLink> link =
      std::make_unique<InstrumentLink>(instrument, [this](const SimBytes& reply) { backend->inject(reply); });
  SentMessages sent = [this] { return backend->out().sent; };
};

TEST_F(MemoryMidiConversationTest, PartSoundArrivesAndIsStoredInThatPart) {
  expectPartSoundStored(*plug, kDeviceId, sent, *link, instrument);
}

TEST_F(MemoryMidiConversationTest, RequestedPartComesBackIntoTheEditor) {
  // GET SOUND for part 3: its request leaves, and the reply it awaits comes
  // back into the part.
  Pick pick;
  pick.work = Pick::Work::kRequest;
  pick.slot = 2;
  plug->midiMessageManager->picks.pick(pick);
  ASSERT_TRUE(forwardSent(sent, 1, *link));
  EXPECT_EQ(sent().at(0), (std::vector<unsigned char>{0xF0, 0x3E, 0x10, kDeviceId, 0x00, 0x30, 0x02, 0xF7}));
  EXPECT_TRUE(waitUntil([&] { return plug->paramDisplayText(kPatchName + 2, 0) == "PART A03        "; }));
  EXPECT_TRUE(plug->replyReceived);
}
}  // namespace
