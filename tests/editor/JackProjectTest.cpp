// The built plug-in in the test host, on real JACK ports: the settings file
// names the instrument's ports, a saved project brings them back by name.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <fstream>

#include "../host/HostEvents.h"
#include "DataFolder.h"
#include "InstrumentOnPeer.h"
#include "JackClientLock.h"
#include "JackTest.h"
#include "TestHost.h"

namespace {
using Bytes = std::vector<unsigned char>;

class JackProjectTest : public JackTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(JackTest::SetUp());
    std::filesystem::remove_all(getDataFolder());
    std::filesystem::create_directories(getDataFolder());
  }
  void writeSettings(const std::string& out, const std::string& in) {
    std::ofstream(getSettingsPath(), std::ios::binary) << "yellow\nnormal\nyes\n" << out << "\n" << in;
  }
  // Whether message reached the instrument's port, waiting (bounded) for it
  // behind whatever else the plug-in sends (the device enquiry, the project).
  bool arrived(const Bytes& message) {
    for (size_t count = 1; count < 64; ++count) {
      const std::vector<PeerEvent> events = peer->WaitForEvents(count, std::chrono::seconds(5));
      if (events.size() < count) return false;
      for (const PeerEvent& event : events)
        if (event.bytes == message) return true;
    }
    return false;
  }
  // Whether a message for which is(message) holds reached the instrument's port.
  template <class Predicate>
  bool arrivedSuch(Predicate is) {
    for (size_t count = 1; count < 256; ++count) {
      const std::vector<PeerEvent> events = peer->WaitForEvents(count, std::chrono::seconds(20));
      if (events.size() < count) return false;
      if (is(events[count - 1].bytes)) return true;
    }
    return false;
  }
  // The names of the process's threads.
  static std::vector<std::string> threadNames() {
    std::vector<std::string> names;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
      std::string name;
      std::getline(std::ifstream(task.path() / "comm"), name);
      names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  // The multi tempo (55) that the first block with MIDI configured sends.
  const Bytes tempo = {0xF0, 0x3E, 0x10, 0x00, 0x21, 0x00, 0x05, 55, 0xF7};
};

TEST_F(JackProjectTest, SettingsOpenThePortsAndAProjectReopensThemByName) {
  std::vector<uint8_t> project;
  {
    writeSettings(peer->InPortName(), peer->OutPortName());
    TestHost host;
    ASSERT_TRUE(host.Loaded()) << host.LoadError();
    ASSERT_NE(host.Create(), nullptr);
    host.Dispatch(effOpen);
    peer->AwaitListener();  // the plug-in's input listens to the instrument
    host.RunBlock(TestHost::Process::kDoubleReplacing, 64, 0.0);
    EXPECT_TRUE(arrived(tempo));
    project = host.GetChunk(true);
    host.Close();
  }
  peer->Clear();
  std::filesystem::remove(getSettingsPath());

  TestHost fresh;
  ASSERT_NE(fresh.Create(), nullptr);
  fresh.Dispatch(effOpen);
  fresh.RunBlock(TestHost::Process::kDoubleReplacing, 64, 0.0);
  EXPECT_TRUE(peer->Events().empty());  // nothing open, nothing sent
  ASSERT_EQ(fresh.SetChunk(true, project), 1);
  peer->AwaitListener();
  fresh.RunBlock(TestHost::Process::kDoubleReplacing, 64, 0.0);
  EXPECT_TRUE(arrived(tempo));
  EXPECT_EQ(fresh.GetChunk(true), project);
  fresh.Close();
}

// A DAW restores a project saved with no port chosen right after it creates
// the plug-in, before the process's JACK client has looked at the ports (the
// first instance of a process): the ports the settings file opened stay
// open, and the instrument is reached.
TEST_F(JackProjectTest, AProjectWithNoPortKeepsTheSettingsPortsWhileTheClientHasNotLooked) {
  TestHost host;
  ASSERT_TRUE(host.Loaded()) << host.LoadError();
  {
    const JackClientTurn held;  // the plug-in's client cannot open, so it has not looked
    ASSERT_NE(host.Create(), nullptr);
    host.Dispatch(effOpen);
    const std::vector<uint8_t> project = host.GetChunk(true);
    host.Close();
    ASSERT_NE(std::string(project.begin(), project.end()).find("Select MIDI Device"), std::string::npos);
    writeSettings(peer->InPortName(), peer->OutPortName());
    ASSERT_NE(host.Create(), nullptr);
    host.Dispatch(effOpen);
    ASSERT_EQ(host.SetChunk(true, project), 1);
  }
  peer->AwaitListener();
  host.RunBlock(TestHost::Process::kDoubleReplacing, 64, 0.0);
  EXPECT_TRUE(arrived(tempo));
  host.Close();
}
// Saved while the instrument is off, the project keeps the ports the user
// chose in the settings file; loaded with the instrument on, the ports are
// open, the device-ID enquiry goes out and the project is sent.
TEST_F(JackProjectTest, AProjectSavedWithTheInstrumentOffBringsItsPortsBackWhenItIsOn) {
  const std::string toInstrument = peer->InPortName();
  const std::string fromInstrument = peer->OutPortName();
  // The instrument is off: its ports are gone. (The peer stays: one made
  // after the plug-in's client would not count that client, and the server
  // would be stopped under it.)
  peer->UnplugPorts();
  writeSettings(toInstrument, fromInstrument);
  std::vector<uint8_t> project;
  {
    TestHost host;
    ASSERT_TRUE(host.Loaded()) << host.LoadError();
    ASSERT_NE(host.Create(), nullptr);
    host.Dispatch(effOpen);
    host.RunBlock(TestHost::Process::kDoubleReplacing, 64, 0.0);
    project = host.GetChunk(true);
    host.Close();
  }
  const std::string text(project.begin(), project.end());
  EXPECT_NE(text.find(toInstrument), std::string::npos);
  EXPECT_NE(text.find(fromInstrument), std::string::npos);
  EXPECT_EQ(text.find("Select MIDI Device"), std::string::npos);

  peer->PlugPorts();  // on again, with the same ports
  ASSERT_EQ(peer->InPortName(), toInstrument);
  TestHost host;
  ASSERT_NE(host.Create(), nullptr);
  host.Dispatch(effOpen);
  peer->AwaitListener();
  ASSERT_EQ(host.SetChunk(true, project), 1);
  host.RunBlock(TestHost::Process::kDoubleReplacing, 64, 0.0);
  // The project (its multi dump), then the enquiry (a global request).
  EXPECT_TRUE(arrivedSuch([](const Bytes& m) { return m.size() == 393 && m[4] == 0x11; }));
  EXPECT_TRUE(arrivedSuch([](const Bytes& m) { return m.size() == 6 && m[1] == 0x3E && m[4] == 0x04; }));
  host.Close();
}

// Standard output a pipe that nobody reads while the host plays 2,000 events
// in blocks: the trace lines wait for it on their own, every event reaches
// the instrument, in order.
TEST_F(JackProjectTest, EveryHostEventReachesTheInstrumentWhileNobodyReadsStandardOutput) {
  writeSettings(peer->InPortName(), peer->OutPortName());
  SimulatedInstrument instrument{0};
  InstrumentOnPeer onPeer(instrument, *peer);  // answers the device-ID enquiry
  const std::vector<std::string> threadsBefore = threadNames();
  TestHost host;
  ASSERT_TRUE(host.Loaded()) << host.LoadError();
  ASSERT_NE(host.Create(), nullptr);
  host.Dispatch(effOpen);
  peer->AwaitListener();
  const auto hostEvents = [&](const std::vector<Bytes>& messages) {
    HostEventList list(messages, 64);
    host.Dispatch(effProcessEvents, 0, 0, list.events());
    host.RunBlock(TestHost::Process::kDoubleReplacing, 64, 0.0);
  };
  host.RunBlock(TestHost::Process::kDoubleReplacing, 64, 0.0);  // starts the enquiry
  ASSERT_TRUE(arrivedSuch([](const Bytes& m) { return m.size() == 6 && m[4] == 0x04; }));
  // Host notes are dropped while the editor is busy with the enquiry: a
  // probe until one comes through. (Channel 16: the global channel is not
  // passed on.)
  const Bytes probe = {0x9F, 127, 127};
  bool through = false;
  for (int i = 0; i < 1000 && !through; ++i) {
    hostEvents({probe});
    const std::vector<PeerEvent> events = peer->WaitForEvents(peer->Events().size() + 1, std::chrono::milliseconds(20));
    through = std::any_of(events.begin(), events.end(), [&](const PeerEvent& e) { return e.bytes == probe; });
  }
  ASSERT_TRUE(through);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the last probes arrive
  const size_t before = peer->Events().size();

  std::fflush(stdout);
  const int saved = dup(STDOUT_FILENO);
  int pipeEnds[2];
  ASSERT_EQ(pipe2(pipeEnds, O_CLOEXEC), 0);
  fcntl(pipeEnds[1], F_SETPIPE_SZ, 4096);  // full after a few hundred trace lines
  dup2(pipeEnds[1], STDOUT_FILENO);

  constexpr int kEvents = 2000, kPerBlock = 100;
  std::vector<Bytes> expected;
  for (int i = 0; i < kEvents; ++i)
    expected.push_back({static_cast<unsigned char>(i % 2 ? 0x8F : 0x9F), static_cast<unsigned char>(i / 2 % 128),
                        static_cast<unsigned char>(1 + i / 256)});
  for (int first = 0; first < kEvents; first += kPerBlock)
    hostEvents(std::vector<Bytes>(expected.begin() + first, expected.begin() + first + kPerBlock));
  const std::vector<PeerEvent> got = peer->WaitForEvents(before + kEvents, std::chrono::seconds(60));

  // Standard output back; what waited in the pipe is read away.
  dup2(saved, STDOUT_FILENO);
  close(saved);
  close(pipeEnds[1]);
  fcntl(pipeEnds[0], F_SETFL, O_NONBLOCK);
  char sink[4096];
  while (read(pipeEnds[0], sink, sizeof(sink)) > 0) {
  }
  close(pipeEnds[0]);

  std::vector<Bytes> notes;
  for (size_t i = before; i < got.size(); ++i)
    if (got[i].bytes.size() == 3 && (got[i].bytes[0] & 0xEF) == 0x8F && got[i].bytes != probe) notes.push_back(got[i].bytes);
  ASSERT_EQ(notes.size(), expected.size());
  EXPECT_EQ(notes, expected);
  // The plug-in's threads carry names, and none outlives the instance.
  const std::vector<std::string> running = threadNames();
  for (const char* name : {"tvx midi out", "tvx trace", "tvx jack"})  // the workers run only for their jobs
    EXPECT_NE(std::find(running.begin(), running.end(), name), running.end()) << name;
  host.Close();
  ASSERT_TRUE(peer->AwaitOtherClientsGone());
  for (int i = 0; i < 1000 && threadNames() != threadsBefore; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(threadNames(), threadsBefore);
}

// A host loads and closes a project of 32 instances whose settings name the
// instrument's ports, while the instrument sends: every instance's ports
// open, and the closes crash nothing. (The ports alone come and go twenty
// times in tests/midi; the whole plug-in is slower to make under the
// sanitizers.)
TEST_F(JackProjectTest, ThirtyTwoInstancesWithPortsComeAndGo) {
  constexpr size_t kInstances = 32;
  writeSettings(peer->InPortName(), peer->OutPortName());
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    std::vector<std::unique_ptr<TestHost>> hosts;
    for (size_t i = 0; i < kInstances; ++i) {
      hosts.push_back(std::make_unique<TestHost>());
      ASSERT_NE(hosts.back()->Create(), nullptr);
      hosts.back()->Dispatch(effOpen);
    }
    peer->AwaitListener();
    for (int m = 0; m < 8; ++m) peer->Send({0xB0, 1, static_cast<unsigned char>(m)});
    // The first block of each sends the multi tempo: every one arrives.
    peer->Clear();
    for (auto& host : hosts) host->RunBlock(TestHost::Process::kDoubleReplacing, 64, 0.0);
    const auto tempos = [&] {
      const std::vector<PeerEvent> events = peer->Events();
      return static_cast<size_t>(std::count_if(events.begin(), events.end(), [&](const PeerEvent& e) { return e.bytes == tempo; }));
    };
    for (int wait = 0; wait < 1000 && tempos() < kInstances; ++wait) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(tempos(), kInstances);
    hosts.clear();
    // JACK's clients are few machine-wide: the next round waits for these.
    ASSERT_TRUE(peer->AwaitOtherClientsGone()) << "the instances' JACK clients did not close";
  }
}
}  // namespace
