// Tests on the in-memory MIDI system: two devices, "A" and "B", in each
// direction, and a recording plug-in.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "MemoryMidiBackend.h"
#include "RecordingPlug.h"

inline const std::vector<std::string> kDevices = {"A", "B"};
inline const std::string kSelect = "Select MIDI Device";

class MemoryMidiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    backend->setOutPorts(kDevices);
    backend->setInPorts(kDevices);
    SetMidiBackend(backend);
  }
  void TearDown() override {
    plug.reset();
    SetMidiBackend(nullptr);
  }
  // Builds both lists and selects device A in both directions.
  void OpenA() {
    plug->getExternalMIDIOutNames();
    plug->getExternalMIDIInNames();
    int out = 1, in = 1;
    ASSERT_EQ(plug->setExternalMIDIOut(out, "A"), 1);
    ASSERT_EQ(plug->setExternalMIDIIn(in, "A"), 1);
  }
  std::vector<MidiBytes> Sent() const { return backend->out().sent; }

  std::shared_ptr<MemoryMidiBackend> backend = std::make_shared<MemoryMidiBackend>();
  std::unique_ptr<RecordingPlug> plug = std::make_unique<RecordingPlug>();
};
