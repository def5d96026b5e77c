// The simulated instrument itself: it must behave as the real one does for
// the engine's tests to mean anything.
#include <gtest/gtest.h>

#include <chrono>
#include <numeric>
#include <thread>

#include "InstrumentLink.h"
#include "SimulatedInstrument.h"

namespace {
using Bytes = std::vector<uint8_t>;
const Bytes kPartRequest = {0xF0, 0x3E, 0x10, 0x00, 0x00, 0x30, 0x01, 0xF7};

uint8_t checksumOf(const Bytes& dump) { return std::accumulate(dump.begin() + 4, dump.end() - 2, 0u) & 0x7F; }

TEST(SimulatedInstrument, AnswersEachRequestWithAChecksummedDump) {
  const struct {
    const char* what;
    Bytes request;
    size_t size;
    Bytes header;  // bytes 0..6
  } cases[] = {
      {"global", {0xF0, 0x3E, 0x10, 7, 0x04, 0xF7}, 207, {0xF0, 0x3E, 0x10, 7, 0x14, 0, 0}},
      {"part", {0xF0, 0x3E, 0x10, 7, 0x00, 0x30, 0x0F, 0xF7}, 392, {0xF0, 0x3E, 0x10, 7, 0x10, 0x30, 15}},
      {"stored sound", {0xF0, 0x3E, 0x10, 7, 0x00, 0x02, 99, 0xF7}, 392, {0xF0, 0x3E, 0x10, 7, 0x10, 2, 99}},
      {"multi", {0xF0, 0x3E, 0x10, 7, 0x01, 0x20, 0x00, 0xF7}, 393, {0xF0, 0x3E, 0x10, 7, 0x11, 0x20, 0}},
      {"stored multi", {0xF0, 0x3E, 0x10, 7, 0x01, 0x00, 5, 0xF7}, 393, {0xF0, 0x3E, 0x10, 7, 0x11, 0, 5}},
  };
  SimulatedInstrument instrument(7);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto replies = instrument.receive(c.request);
    ASSERT_EQ(replies.size(), 1u);
    const Bytes& dump = replies[0];
    ASSERT_EQ(dump.size(), c.size);
    EXPECT_EQ(Bytes(dump.begin(), dump.begin() + 7), c.header);
    EXPECT_EQ(dump[dump.size() - 2], checksumOf(dump));
    EXPECT_EQ(dump.back(), 0xF7);
  }
}

TEST(SimulatedInstrument, AnswersOnlyItsOwnDeviceIdWhichTheGlobalBlockCarries) {
  SimulatedInstrument instrument(7);
  for (int id = 0; id < 128; ++id) {
    const auto replies = instrument.receive({0xF0, 0x3E, 0x10, static_cast<uint8_t>(id), 0x04, 0xF7});
    EXPECT_EQ(replies.size(), id == 7 ? 1u : 0u) << id;
  }
  instrument.setDeviceId(9);
  EXPECT_EQ(instrument.receive({0xF0, 0x3E, 0x10, 9, 0x04, 0xF7}).at(0)[30], 9);
  // Every answer carries the ID it has now, a stored part's sound too.
  EXPECT_EQ(instrument.receive({0xF0, 0x3E, 0x10, 9, 0x00, 0x30, 0x02, 0xF7}).at(0)[3], 9);
  instrument.receive({0xF0, 0x3E, 0x10, 9, 0x24, 0x00, 0x19, 0x0B, 0xF7});  // global position 25
  EXPECT_EQ(instrument.deviceId(), 0x0B);
  EXPECT_TRUE(instrument.receive({0xF0, 0x3E, 0x10, 9, 0x04, 0xF7}).empty());
}

TEST(SimulatedInstrument, StoresDumpsWithAGoodChecksumAndAppliesParameterChanges) {
  SimulatedInstrument instrument(0);
  const Bytes dump = SimulatedInstrument::soundDump(0, 0x30, 4, "Stored");
  const Bytes bank = SimulatedInstrument::soundDump(0, 1, 50, "Bank");
  Bytes bad = SimulatedInstrument::soundDump(0, 0x30, 5, "Bad");
  bad[390] ^= 0x01;
  for (const Bytes& m : {dump, bank, bad}) instrument.receive(m);
  EXPECT_EQ(instrument.partBuffer(4), dump);
  EXPECT_EQ(instrument.storedSound(1, 50), bank);
  EXPECT_NE(instrument.partBuffer(5), bad);
  ASSERT_EQ(instrument.checksumErrors().size(), 1u);
  EXPECT_EQ(instrument.checksumErrors()[0].received, bad[390]);
  EXPECT_EQ(instrument.partsStored(), std::vector<int>{4});

  instrument.receive({0xF0, 0x3E, 0x10, 0x00, 0x20, 0x03, 0x00, 78, 0x55, 0xF7});  // part 3 cutoff, byte 85
  EXPECT_EQ(instrument.partBuffer(3)[85], 0x55);
  EXPECT_EQ(instrument.partBuffer(3)[390], checksumOf(instrument.partBuffer(3)));
  instrument.receive({0xF0, 0x3E, 0x10, 0x00, 0x21, 0x00, 0x05, 0x40, 0xF7});  // tempo
  EXPECT_EQ(instrument.multiBuffer()[12], 0x40);
}

TEST(SimulatedInstrument, RecordsShortMessagesAndAProgramChangeLoadsTheStoredSound) {
  SimulatedInstrument instrument(0);
  const std::vector<Bytes> sent = {{0xFA}, {0xF8}, {0xFC}, {0xB2, 123, 0}, {0xB2, 32, 66}, {0xC2, 17}};
  for (const Bytes& m : sent) instrument.receive(m);
  EXPECT_EQ(instrument.received(), sent);
  const Bytes part = instrument.partBuffer(2);
  EXPECT_EQ(std::string(part.begin() + 370, part.begin() + 379), "SOUND C17");
  EXPECT_EQ(Bytes(part.begin() + 5, part.begin() + 7), (Bytes{0x30, 2}));
  EXPECT_EQ(part[390], checksumOf(part));
}

TEST(SimulatedInstrument, SpoiledRepliesAreWhatTheirModeSaysAndASilentOneSaysNothing) {
  using M = SimulatedInstrument::Malformation;
  SimulatedInstrument instrument(0);
  const Bytes clean = instrument.receive(kPartRequest).at(0);
  const struct {
    M kind;
    size_t size, at;
    uint8_t value;
  } cases[] = {{M::kTruncated, 200, 199, 0xF7},
               {M::kOverlong, 402, 391, 0x11},
               {M::kPartAbove15, 392, 6, 0x20},
               {M::kWrongHeader, 392, 2, 0x11},
               {M::kWrongChecksum, 392, 390, static_cast<uint8_t>((clean[390] + 1) & 0x7F)},
               {M::kHighBytes, 392, 8, static_cast<uint8_t>(0x80 | clean[8])}};
  for (const auto& c : cases) {
    instrument.setMalformation(c.kind);
    const Bytes reply = instrument.receive(kPartRequest).at(0);
    ASSERT_EQ(reply.size(), c.size) << static_cast<int>(c.kind);
    EXPECT_EQ(reply[c.at], c.value) << static_cast<int>(c.kind);
  }
  instrument.setSilent(true);
  instrument.setMalformation(M::kNone);
  EXPECT_TRUE(instrument.receive(kPartRequest).empty());
}

TEST(InstrumentLink, RepliesLeaveThroughItsOutputAndASlowReplyNeverKeepsItFromClosing) {
  SimulatedInstrument instrument;
  std::vector<Bytes> out;  // written on the link's thread, read once it is idle or gone
  {
    InstrumentLink link(instrument, [&](const Bytes& reply) { out.push_back(reply); });
    link.deliver(kPartRequest);
    ASSERT_TRUE(link.waitIdle(10000));
    EXPECT_EQ(out, std::vector<Bytes>{instrument.partBuffer(1)});
    instrument.setReplyDelayMs(3600 * 1000);
    link.deliver(kPartRequest);
    while (instrument.received().size() < 2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_FALSE(link.waitIdle(0));
  }
  EXPECT_EQ(out.size(), 1u);  // the held-back reply never left
}
}  // namespace
