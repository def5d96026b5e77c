// The plug-in itself in a conversation with the simulated instrument: the
// parameters a part's sound needs, and what carries its messages across.
#pragma once

#include <gtest/gtest.h>

#include "FrameChecksum.h"
#include "InstrumentLink.h"
#include "ParamIndex.h"
#include "ProtocolTestSupport.h"
#include "SoundDumpLayout.h"
#include "Tarnivex.h"

// What the plug-in has sent so far on its MIDI system.
using SentMessages = std::function<std::vector<std::vector<unsigned char>>()>;

// Parameters with ranges the dump can carry, the device ID, MIDI configured.
inline void prepareSoundParameters(Tarnivex& plug, int deviceId) {
  for (const SoundDumpField& field : soundDumpFields())
    for (int block : {field.a, field.b, field.c})
      for (int p = 0; block >= 0 && p < 16; ++p) plug.GetParam(block + p)->InitInt("", 0, 0, 127);
  plug.GetParam(kGlobalSysExID)->InitInt("", deviceId, 0, 127);
  plug.GetParam(kDeviceOutSelection)->InitInt("", 1, 0, 16);
  plug.midiIOConfigured = true;
}

// Waits (bounded) until the plug-in has sent count messages, hands them to
// the instrument and waits until it has answered.
inline bool forwardSent(const SentMessages& sent, size_t count, InstrumentLink& link) {
  if (!waitUntil([&] { return sent().size() >= count; })) return false;
  for (const auto& message : sent()) link.deliver(message);
  return link.waitIdle(10000);
}

// Part 12's sound, sent as job 2, reaches the instrument byte-exact with a
// correct checksum and is stored in that part's edit buffer.
inline void expectPartSoundStored(Tarnivex& plug, int deviceId, const SentMessages& sent, InstrumentLink& link,
                                  const SimulatedInstrument& instrument) {
  plug.GetParam(kOscillator1Octave + 12)->Set(3);
  plug.GetParam(kFilter1Cutoff + 12)->Set(101);
  plug.GetParam(kArpPattern05Step + 12)->Set(2);
  plug.GetParam(kArpPattern05Glide + 12)->Set(1);
  plug.GetParam(kArpPattern05Accent + 12)->Set(3);
  plug.setParamDisplayText(kPatchName + 12, 0, "Part Twelve");
  plug.setParamDisplayText(kCategoryName + 12, 0, "LEAD");
  SenderJob job;
  job.jobCode = 2;
  job.partArgument = 12;
  ASSERT_TRUE(plug.midiMessageManager->startJob(job));
  ASSERT_TRUE(waitUntil([&] { return plug.midiMessageManager->atRest(); }));
  ASSERT_TRUE(forwardSent(sent, 1, link));

  const std::vector<unsigned char> received = sent().at(0);
  ASSERT_EQ(received.size(), 392u);
  const std::vector<unsigned char> header = {0xF0, 0x3E, 0x10, static_cast<unsigned char>(deviceId), 0x10, 0x30, 12, 1};
  EXPECT_EQ(std::vector<unsigned char>(received.begin(), received.begin() + 8), header);
  EXPECT_EQ(received[8], 52);      // octave 3
  EXPECT_EQ(received[85], 101);    // cutoff
  EXPECT_EQ(received[338], 0x2B);  // step 5: step 2, glide, accent 3
  EXPECT_EQ(std::string(received.begin() + 370, received.begin() + 390), "Part Twelve     LEAD");
  EXPECT_EQ(received[390], sim::frameChecksum(received.data(), 392));
  EXPECT_EQ(received[391], 0xF7);
  EXPECT_EQ(instrument.partsStored(), std::vector<int>{12});
  EXPECT_TRUE(instrument.checksumErrors().empty());
  EXPECT_EQ(instrument.partBuffer(12), received);
}
