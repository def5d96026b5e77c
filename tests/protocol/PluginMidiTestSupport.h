// The plug-in itself set up for a conversation with the simulated instrument:
// the parameters a part's sound needs, with ranges the dump can carry.
#pragma once

#include <gtest/gtest.h>

#include "MIDIMessageManager.h"
#include "ParamIndex.h"
#include "SoundDumpLayout.h"
#include "Tarnivex.h"

inline void prepareSoundParameters(Tarnivex& plug, int deviceId) {
  for (const SoundDumpField& field : soundDumpFields())
    for (int block : {field.a, field.b, field.c})
      if (block >= 0)
        for (int p = 0; p < 16; ++p) plug.GetParam(block + p)->InitInt("", 0, 0, 127);
  plug.GetParam(kGlobalSysExID)->InitInt("", deviceId, 0, 127);
  plug.GetParam(kDeviceOutSelection)->InitInt("", 1, 0, 16);
  plug.midiIOConfigured = true;
}

// Starts job 2 for the part and waits (bounded) until it has run.
inline bool sendPartAsJob(Tarnivex& plug, int part) {
  SenderJob job;
  job.jobCode = 2;
  job.partArgument = part;
  if (!plug.midiMessageManager->startJob(job)) return false;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (plug.midiMessageManager->isThreadRunning(JobThread::kRequest))
    if (std::chrono::steady_clock::now() > end) return false;
  return true;
}
