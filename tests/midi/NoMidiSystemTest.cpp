// With no MIDI system at all (no ALSA sequencer, no JACK server) the
// plug-in still loads, answers the host and offers only "Select MIDI Device".
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "JackMidiClient.h"
#include "MidiPorts.h"
#include "Tarnivex.h"
#include "TestHost.h"

namespace {
// No JACK server to find or start; api as TARNIVEX_MIDI_API (empty: ALSA, then JACK).
void WithoutMidiSystem(const std::string& api) {
  setenv("JACK_DEFAULT_SERVER", ("tarnivex-absent-" + std::to_string(getpid())).c_str(), 1);
  setenv("JACK_NO_START_SERVER", "1", 1);
  setenv("TARNIVEX_MIDI_API", api.c_str(), 1);
  SetMidiBackend(nullptr);
}

TEST(NoMidiSystemTest, ThePlugInAnswersTheHostAndOffersOnlySelect) {
  const bool alsa = access("/dev/snd/seq", F_OK) == 0;  // then ALSA is a MIDI system
  for (const std::string api : {"", "alsa", "jack"}) {
    if (alsa && api != "jack") continue;
    SCOPED_TRACE("TARNIVEX_MIDI_API=" + api);
    WithoutMidiSystem(api);
    Tarnivex plug(IPlugInstanceInfo{});
    AEffect* effect = plug.GetAEffect();
    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(plug.getExternalMIDIOutNames(), std::vector<std::string>{"Select MIDI Device"});
    EXPECT_EQ(plug.getExternalMIDIInNames(), std::vector<std::string>{"Select MIDI Device"});
    IMidiMsg msg(0, 0x90, 0x3C, 0x64);
    EXPECT_FALSE(plug.SendMidiMsg(&msg));
    void* chunk = nullptr;
    EXPECT_GT(effect->dispatcher(effect, effGetChunk, 0, 0, &chunk, 0.0f), 0);
    EXPECT_NE(chunk, nullptr);
  }
}

// With no JACK server to be found, an out port asked for after the client's
// open failed (a project restored later, its port taken by name) is gone at
// once, as the one asked for before: the server is looked for again only for
// a menu or a new instance, so nothing is kept or waited for until then.
TEST(NoMidiSystemTest, AJackOutPortAskedForAfterNoServerWasFoundIsGone) {
  WithoutMidiSystem("jack");
  {
    const auto client = JackMidiClient::Open("tarnivex-no-server");
    client->openOut("dirirU:in", "out");
    for (int i = 0; i < 5000 && !client->isOutGone(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(client->isOutGone());  // the open failed
    client->closeOut();
    client->openOut("dirirU:in", "out");
    EXPECT_TRUE(client->isOutGone());
    EXPECT_FALSE(client->isOutOpen());
    const unsigned char note[] = {0x90, 60, 100};
    EXPECT_FALSE(client->send(note, sizeof note));  // a port not there takes nothing, at once
    client->closeOut();
  }
  EXPECT_TRUE(JackMidiClient::AwaitClosed(std::chrono::seconds(5)));
}

TEST(NoMidiSystemTest, TheBuiltPlugInLoadsOpensAndCloses) {
  WithoutMidiSystem("jack");
  TestHost host;
  ASSERT_TRUE(host.Loaded()) << host.LoadError();
  ASSERT_NE(host.Create(), nullptr);
  host.Dispatch(effOpen);
  EXPECT_FALSE(host.GetChunk(false).empty());
  host.Close();
}
}  // namespace
