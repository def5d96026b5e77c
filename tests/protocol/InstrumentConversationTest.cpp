// The engine talking to the simulated instrument on its own thread: what the
// instrument receives from the jobs, and what its answers do to the editor.
#include <gtest/gtest.h>

#include <numeric>

#include "InstrumentLink.h"
#include "ParamIndex.h"
#include "ProtocolTestSupport.h"
#include "SimulatedInstrument.h"

namespace {
using Bytes = std::vector<unsigned char>;

class InstrumentConversationTest : public ::testing::Test, public EngineFixture {
 protected:
  InstrumentConversationTest()
      : link(instrument, [this](const SimBytes& reply) {
          ISysEx message(0, reply.data(), static_cast<int>(reply.size()));
          manager->ProcessSysEx(&message, true);
        }) {
    editor.toDevice = [this](const Bytes& bytes) { link.deliver(bytes); };
  }
  ~InstrumentConversationTest() override { editor.toDevice = nullptr; }

  bool sendPartJob(int part) {
    SenderJob job;
    job.jobCode = 2;
    job.partArgument = part;
    return manager->startJob(job) && waitIdle(JobThread::kRequest) && link.waitIdle(10000);
  }

  SimulatedInstrument instrument{0x05};
  InstrumentLink link;
};

TEST_F(InstrumentConversationTest, PartDumpJobArrivesByteExactInThatPart) {
  editor.setValue(kGlobalSysExID, 0x05);
  editor.setValue(kFilter1Cutoff + 9, 99);
  editor.setParamDisplayText(kPatchName + 9, 0, "Sent Part");
  ASSERT_TRUE(sendPartJob(9));
  const Bytes sent = editor.sentSysEx().at(0);
  EXPECT_EQ(instrument.partBuffer(9), sent);
  EXPECT_EQ(instrument.partsStored(), std::vector<int>{9});
  EXPECT_TRUE(instrument.checksumErrors().empty());
  EXPECT_EQ(sent[85], 99);
}

TEST_F(InstrumentConversationTest, AnotherDeviceIdIsIgnoredByTheInstrument) {
  editor.setValue(kGlobalSysExID, 0x06);
  const Bytes before = instrument.partBuffer(2);
  ASSERT_TRUE(sendPartJob(2));
  EXPECT_EQ(instrument.partBuffer(2), before);
  EXPECT_TRUE(instrument.partsStored().empty());
}

TEST_F(InstrumentConversationTest, RequestedPartIsParsedIntoTheEditor) {
  manager->dumpExpected = true;
  link.deliver({0xF0, 0x3E, 0x10, 0x05, 0x00, 0x30, 0x03, 0xF7});
  ASSERT_TRUE(link.waitIdle(10000));
  EXPECT_EQ(editor.paramDisplayText(kPatchName + 3, 0), "PART A04        ");
  EXPECT_TRUE(manager->replyAccepted);
}

TEST_F(InstrumentConversationTest, SilentOrSlowInstrumentAnswersNothingOrLater) {
  manager->dumpExpected = true;
  instrument.setSilent(true);
  link.deliver({0xF0, 0x3E, 0x10, 0x05, 0x00, 0x30, 0x03, 0xF7});
  ASSERT_TRUE(link.waitIdle(10000));
  EXPECT_FALSE(manager->replyAccepted);
  instrument.setSilent(false);
  instrument.setReplyDelayMs(30);
  link.deliver({0xF0, 0x3E, 0x10, 0x05, 0x00, 0x30, 0x03, 0xF7});
  ASSERT_TRUE(link.waitIdle(10000));
  EXPECT_TRUE(manager->replyAccepted);
}

TEST_F(InstrumentConversationTest, SpontaneousMalformedOutputChangesNothing) {
  manager->dumpExpected = true;
  Bytes badPart = SimulatedInstrument::soundDump(5, 0x30, 0, "Bad");
  badPart[6] = 0x40;
  const std::vector<Bytes> junk = {
      {0xF0, 0xF7}, {0xF0}, Bytes(391, 0x80), Bytes(1, 0xF0), badPart, Bytes(60, 0x00),
      {0xF0, 0x3E, 0x10, 0x05, 0x20, 0x7F, 0x00, 0x10, 0x05, 0xF7}};
  for (const Bytes& message : junk) link.sendToEditor(message);
  EXPECT_TRUE(editor.plugSets().empty());
  for (int p = 0; p < 16; ++p) EXPECT_EQ(editor.paramDisplayText(kPatchName + p, 0), "");
}

TEST_F(InstrumentConversationTest, LibraryRequestFillsTheSelectedSlot) {
  librarian.addBank(0, "Bank.syx");
  librarian.targetSlot = 12;
  manager->patchRequest.arm();
  link.deliver({0xF0, 0x3E, 0x10, 0x05, 0x00, 0x01, 0x2A, 0xF7});
  ASSERT_TRUE(link.waitIdle(10000));
  const LibrarianPatch entry = librarian.entryAt(0, 0, 12);
  ASSERT_EQ(entry.dumps.size(), 1u);
  EXPECT_EQ(entry.dumps[0].bytes, instrument.storedSound(1, 42));
  EXPECT_EQ(entry.name, "SOUND B42       ");
}
}  // namespace
