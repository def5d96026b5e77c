// The simulated instrument itself: it must behave as the real one does for
// the engine's tests to mean anything.
#include <gtest/gtest.h>

#include <numeric>

#include "SimulatedInstrument.h"

namespace {
using Bytes = std::vector<uint8_t>;

uint8_t checksumOf(const Bytes& dump) {
  return std::accumulate(dump.begin() + 4, dump.end() - 2, 0u) & 0x7F;
}

struct RequestCase {
  const char* what;
  Bytes request;
  size_t size;
  uint8_t command;
  uint8_t bank;
  uint8_t program;
};

class Requests : public ::testing::TestWithParam<RequestCase> {};

TEST_P(Requests, AreAnsweredWithAChecksummedDump) {
  SimulatedInstrument instrument(7);
  const RequestCase& c = GetParam();
  const auto replies = instrument.receive(c.request);
  ASSERT_EQ(replies.size(), 1u) << c.what;
  const Bytes& dump = replies[0];
  ASSERT_EQ(dump.size(), c.size);
  EXPECT_EQ(dump[0], 0xF0);
  EXPECT_EQ(dump[1], 0x3E);
  EXPECT_EQ(dump[2], 0x10);
  EXPECT_EQ(dump[3], 7);
  EXPECT_EQ(dump[4], c.command);
  if (c.command != 0x14) {
    EXPECT_EQ(dump[5], c.bank);
    EXPECT_EQ(dump[6], c.program);
  } else {
    EXPECT_EQ(dump[30], 7);
  }
  EXPECT_EQ(dump[dump.size() - 2], checksumOf(dump));
  EXPECT_EQ(dump.back(), 0xF7);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, Requests,
    ::testing::Values(RequestCase{"global", {0xF0, 0x3E, 0x10, 7, 0x04, 0xF7}, 207, 0x14, 0, 0},
                      RequestCase{"part", {0xF0, 0x3E, 0x10, 7, 0x00, 0x30, 0x0F, 0xF7}, 392, 0x10, 0x30, 15},
                      RequestCase{"stored sound", {0xF0, 0x3E, 0x10, 7, 0x00, 0x02, 99, 0xF7}, 392, 0x10, 2, 99},
                      RequestCase{"multi", {0xF0, 0x3E, 0x10, 7, 0x01, 0x20, 0x00, 0xF7}, 393, 0x11, 0x20, 0},
                      RequestCase{"stored multi", {0xF0, 0x3E, 0x10, 7, 0x01, 0x00, 5, 0xF7}, 393, 0x11, 0, 5}));

TEST(SimulatedInstrument, AnswersOnlyItsOwnDeviceId) {
  SimulatedInstrument instrument(7);
  for (int id = 0; id < 128; ++id) {
    const auto replies = instrument.receive({0xF0, 0x3E, 0x10, static_cast<uint8_t>(id), 0x04, 0xF7});
    EXPECT_EQ(replies.size(), id == 7 ? 1u : 0u) << id;
  }
  instrument.setDeviceId(9);
  EXPECT_EQ(instrument.receive({0xF0, 0x3E, 0x10, 9, 0x04, 0xF7}).at(0)[30], 9);
}

TEST(SimulatedInstrument, StoresDumpsAndRecordsBadChecksums) {
  SimulatedInstrument instrument(0);
  Bytes dump = SimulatedInstrument::soundDump(0, 0x30, 4, "Stored");
  instrument.receive(dump);
  EXPECT_EQ(instrument.partBuffer(4), dump);
  Bytes bank = SimulatedInstrument::soundDump(0, 1, 50, "Bank");
  instrument.receive(bank);
  EXPECT_EQ(instrument.storedSound(1, 50), bank);
  Bytes bad = SimulatedInstrument::soundDump(0, 0x30, 5, "Bad");
  bad[390] ^= 0x01;
  instrument.receive(bad);
  EXPECT_NE(instrument.partBuffer(5), bad);
  ASSERT_EQ(instrument.checksumErrors().size(), 1u);
  EXPECT_EQ(instrument.partsStored(), std::vector<int>{4});
}

TEST(SimulatedInstrument, AppliesParameterChangesAtTheirPositions) {
  SimulatedInstrument instrument(0);
  instrument.receive({0xF0, 0x3E, 0x10, 0x00, 0x20, 0x03, 0x00, 78, 0x55, 0xF7});  // cutoff, byte 85
  EXPECT_EQ(instrument.partBuffer(3)[85], 0x55);
  EXPECT_EQ(instrument.partBuffer(3)[390], checksumOf(instrument.partBuffer(3)));
  instrument.receive({0xF0, 0x3E, 0x10, 0x00, 0x21, 0x00, 0x05, 0x40, 0xF7});  // tempo
  EXPECT_EQ(instrument.multiBuffer()[12], 0x40);
  instrument.receive({0xF0, 0x3E, 0x10, 0x00, 0x24, 0x00, 0x19, 0x0B, 0xF7});  // device ID
  EXPECT_EQ(instrument.deviceId(), 0x0B);
}

TEST(SimulatedInstrument, CountsClockAndProgramMessages) {
  SimulatedInstrument instrument(0);
  for (uint8_t status : {0xFA, 0xF8, 0xF8, 0xFC}) instrument.receive({status});
  EXPECT_EQ(instrument.clockCount(0xFA), 1);
  EXPECT_EQ(instrument.clockCount(0xF8), 2);
  EXPECT_EQ(instrument.clockCount(0xFC), 1);
  instrument.receive({0xB2, 123, 0});
  instrument.receive({0xB2, 32, 66});
  instrument.receive({0xC2, 17});
  EXPECT_EQ(instrument.allNotesOffCount(), 1);
  const Bytes part = instrument.partBuffer(2);
  EXPECT_EQ(std::string(part.begin() + 370, part.begin() + 379), "SOUND C17");
  EXPECT_EQ(part[5], 0x30);
  EXPECT_EQ(part[390], checksumOf(part));
}

TEST(SimulatedInstrument, MalformedRepliesAreWhatTheyClaim) {
  SimulatedInstrument instrument(0);
  const Bytes request = {0xF0, 0x3E, 0x10, 0x00, 0x00, 0x30, 0x01, 0xF7};
  using M = SimulatedInstrument::Malformation;
  instrument.setMalformation(M::kTruncated);
  EXPECT_EQ(instrument.receive(request).at(0).size(), 200u);
  instrument.setMalformation(M::kOverlong);
  EXPECT_EQ(instrument.receive(request).at(0).size(), 402u);
  instrument.setMalformation(M::kPartAbove15);
  EXPECT_GT(instrument.receive(request).at(0)[6], 15);
  instrument.setMalformation(M::kWrongHeader);
  EXPECT_NE(instrument.receive(request).at(0)[2], 0x10);
  instrument.setMalformation(M::kWrongChecksum);
  const Bytes wrong = instrument.receive(request).at(0);
  EXPECT_NE(wrong[390], checksumOf(wrong));
  instrument.setMalformation(M::kHighBytes);
  const Bytes high = instrument.receive(request).at(0);
  EXPECT_TRUE(std::any_of(high.begin() + 1, high.end() - 1, [](uint8_t b) { return b >= 0x80; }));
  instrument.setSilent(true);
  instrument.setMalformation(M::kNone);
  EXPECT_TRUE(instrument.receive(request).empty());
}
}  // namespace
