// The plug-in itself in a conversation with the simulated instrument: the
// parameters a part's sound needs, and what carries its messages across.
#pragma once

#include <gtest/gtest.h>

#include "InstrumentLink.h"
#include "ParamIndex.h"
#include "ProtocolTestSupport.h"
#include "SoundDumpLayout.h"
#include "Tarnivex.h"

// Parameters with ranges the dump can carry, the device ID, MIDI configured.
inline void prepareSoundParameters(Tarnivex& plug, int deviceId) {
  for (const SoundDumpField& field : soundDumpFields())
    for (int block : {field.a, field.b, field.c})
      for (int p = 0; block >= 0 && p < 16; ++p) plug.GetParam(block + p)->InitInt("", 0, 0, 127);
  plug.GetParam(kGlobalSysExID)->InitInt("", deviceId, 0, 127);
  plug.GetParam(kDeviceOutSelection)->InitInt("", 1, 0, 16);
  plug.midiIOConfigured = true;
}

// Starts job 2 for the part and waits (bounded) until it has run.
inline bool sendPartAsJob(Tarnivex& plug, int part) {
  SenderJob job;
  job.jobCode = 2;
  job.partArgument = part;
  return plug.midiMessageManager->startJob(job) &&
         waitUntil([&] { return !plug.midiMessageManager->isThreadRunning(JobThread::kRequest); });
}

// Waits (bounded) until the plug-in has sent count messages on its MIDI
// system, hands them to the instrument and waits until it has answered.
inline bool forwardSent(const std::function<std::vector<std::vector<unsigned char>>()>& sent, size_t count,
                        InstrumentLink& link) {
  if (!waitUntil([&] { return sent().size() >= count; })) return false;
  for (const auto& message : sent()) link.deliver(message);
  return link.waitIdle(10000);
}
