// With no MIDI system at all (no ALSA sequencer, no JACK server) the
// plug-in still loads, answers the host and offers only "Select MIDI Device".
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "MidiPorts.h"
#include "Tarnivex.h"
#include "TestHost.h"

namespace {
void PointJackAtNoServer() {
  const std::string absent = "tarnivex-absent-" + std::to_string(getpid());
  setenv("JACK_DEFAULT_SERVER", absent.c_str(), 1);
  setenv("JACK_NO_START_SERVER", "1", 1);
  SetMidiBackend(nullptr);
}

// TARNIVEX_MIDI_API as each case sets it; empty: ALSA, then JACK.
class NoMidiSystemTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (GetParam() != "jack" && access("/dev/snd/seq", F_OK) == 0)
      GTEST_SKIP() << "this machine has an ALSA sequencer, so it has a MIDI system";
    PointJackAtNoServer();
    if (GetParam().empty())
      unsetenv("TARNIVEX_MIDI_API");
    else
      setenv("TARNIVEX_MIDI_API", GetParam().c_str(), 1);
  }
  void TearDown() override { unsetenv("TARNIVEX_MIDI_API"); }
};

TEST_P(NoMidiSystemTest, ThePlugInAnswersTheHostAndOffersOnlySelect) {
  Tarnivex plug(IPlugInstanceInfo{});
  AEffect* effect = plug.GetAEffect();
  effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
  const std::vector<std::string> onlySelect = {"Select MIDI Device"};
  EXPECT_EQ(plug.getExternalMIDIOutNames(), onlySelect);
  EXPECT_EQ(plug.getExternalMIDIInNames(), onlySelect);
  int index = 1;
  EXPECT_EQ(plug.setExternalMIDIOut(index, "Select MIDI Device"), 0);
  EXPECT_EQ(plug.setExternalMIDIIn(index, "Select MIDI Device"), 0);
  EXPECT_EQ(plug.getExternalMIDIOutDevice("Select MIDI Device"), -1);
  EXPECT_EQ(plug.GetMIDIInPortNumber("any"), -1);
  IMidiMsg msg(0, 0x90, 0x3C, 0x64);
  EXPECT_FALSE(plug.SendMidiMsg(&msg));
  EXPECT_FALSE(plug.SendMidiSysex2({0xF8}));
  void* chunk = nullptr;
  EXPECT_GT(effect->dispatcher(effect, effGetChunk, 0, 0, &chunk, 0.0f), 0);
  EXPECT_NE(chunk, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Apis, NoMidiSystemTest, ::testing::Values("", "alsa", "jack"),
                         [](const auto& info) { return info.param.empty() ? std::string("Default") : info.param; });

TEST(NoMidiSystemPluginTest, TheBuiltPlugInLoadsOpensAndCloses) {
  PointJackAtNoServer();
  setenv("TARNIVEX_MIDI_API", "jack", 1);
  TestHost host;
  ASSERT_TRUE(host.Loaded()) << host.LoadError();
  ASSERT_NE(host.Create(), nullptr);
  host.Dispatch(effOpen);
  EXPECT_FALSE(host.GetChunk(false).empty());
  host.Close();
  unsetenv("TARNIVEX_MIDI_API");
}
}  // namespace
