// The direct ports on RtMidi against a real JACK server (dummy driver) with
// a plain JACK client on the other end.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "JackClientLock.h"
#include "JackHostClient.h"
#include "JackServerWatch.h"
#include "JackTest.h"
#include "RecordingPlug.h"

namespace {
class JackMidiTest : public JackTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(JackTest::SetUp());
    plug = std::make_unique<RecordingPlug>();
    Connect(*plug);
  }
  // The process's client is named after the first instance, which has no
  // name here (the plug-in class names it).
  static std::string ClientName() { return "RtMidi Client"; }
  // A note reaches the instrument byte for byte, and, with inToo, a program
  // change from it reaches the plug-in.
  void ExpectCarried(bool inToo) {
    IMidiMsg note(0, 0x90, 0x3C, 0x64);
    ASSERT_TRUE(plug->SendMidiMsg(&note));
    ASSERT_EQ(peer->WaitForEvents(1).size(), 1u);
    EXPECT_EQ(peer->Events().front().bytes, (MidiBytes{0x90, 0x3C, 0x64}));
    if (!inToo) return;
    peer->Send({0xC3, 0x05});
    const std::vector<ReceivedMidi> expected = {{{0xC3, 0x05, 0x00}, false, true, 0}};
    EXPECT_EQ(plug->WaitForCount(1), expected);
  }
  // The server that went is started again under its name (its clients
  // left to libjack): a new instance connects to it as to any, and carries.
  void ExpectANewInstanceOnTheServerBack() {
    peer->Abandon();
    ASSERT_TRUE(server.Start()) << server.Error();
    peer = std::make_unique<JackPeer>();
    plug = std::make_unique<RecordingPlug>();
    ASSERT_NO_FATAL_FAILURE(Connect(*plug));
    ExpectCarried(false);
  }
  std::unique_ptr<RecordingPlug> plug;
};

TEST_F(JackMidiTest, WhatThePlugInSendsArrivesByteExactAndNothingIsLost) {
  MidiBytes body = {0x3E, 0x10, 0x00, 0x01};
  IMidiMsg noteOn(0, 0x90, 0x3C, 0x64), program(0, 0xC3, 0x05, 0x00), volume(0, 0xB0, 0x07, 0x7F);
  ASSERT_TRUE(plug->SendMidiSysex(body.data(), static_cast<int>(body.size())));
  ASSERT_TRUE(plug->SendMidiMsg(&noteOn));
  ASSERT_TRUE(plug->SendMidiMsg(&program));
  for (unsigned char clock : {0xFA, 0xF8, 0xF8, 0xFC}) ASSERT_TRUE(plug->SendMidiSysex2({clock}));
  std::vector<MidiBytes> expected = {{0xF0, 0x3E, 0x10, 0x00, 0x01, 0xF7}, {0x90, 0x3C, 0x64}, {0xC3, 0x05},
                                     {0xFA}, {0xF8}, {0xF8}, {0xFC}};
  // A hundred dumps back to back, and a short message behind them.
  for (int i = 0; i < 100; ++i) {
    expected.push_back(PatternDump(static_cast<unsigned char>(i)));
    ASSERT_TRUE(plug->SendMidiSysex2(expected.back()));
  }
  ASSERT_TRUE(plug->SendMidiMsg(&volume));
  expected.push_back({0xB0, 0x07, 0x7F});
  std::vector<MidiBytes> arrived;
  for (const PeerEvent& event : peer->WaitForEvents(expected.size())) arrived.push_back(event.bytes);
  EXPECT_EQ(arrived, expected);
}

TEST_F(JackMidiTest, ThePeersMessagesReachTheHandlersFromTheDevice) {
  const MidiBytes sysex = {0xF0, 0x3E, 0x10, 0x00, 0xF7};
  // A SysEx message may come in pieces, with a timing clock between them:
  // the pieces make one message, and the clock (dropped) is not part of it.
  for (const MidiBytes& message : {MidiBytes{0xC3, 0x05}, MidiBytes{0xF8}, MidiBytes{0x90, 0x3C, 0x64},
                                   MidiBytes{0xF1, 0x20}, sysex, MidiBytes{0xFE}, PatternDump(7),
                                   MidiBytes{0xF0, 0x3E, 0x10, 0x00}, MidiBytes{0x01, 0x02, 0xF7},
                                   MidiBytes{0xF0, 0x3E}, MidiBytes{0xF8}, MidiBytes{0x10, 0xF7},
                                   MidiBytes{0xF2, 0x01, 0x02}})
    peer->Send(message);
  const std::vector<ReceivedMidi> expected = {{{0xC3, 0x05, 0x00}, false, true, 0},
                                              {{0x90, 0x3C, 0x64}, false, true, 0},
                                              {sysex, true, true, 0},
                                              {PatternDump(7), true, true, 0},
                                              {{0xF0, 0x3E, 0x10, 0x00, 0x01, 0x02, 0xF7}, true, true, 0},
                                              {{0xF0, 0x3E, 0x10, 0xF7}, true, true, 0},
                                              {{0xF2, 0x01, 0x02}, false, true, 0}};
  // The last message is sent after all the dropped kinds, so once it is in
  // nothing else can still be on its way.
  EXPECT_EQ(plug->WaitForCount(expected.size()), expected);
}
// What the out port took before it was closed still goes out.
TEST_F(JackMidiTest, ClosingTheOutPortSendsWhatItTookFirst) {
  IMidiMsg first(0, 0xB0, 0x07, 0x7F);
  ASSERT_TRUE(plug->SendMidiMsg(&first));
  ASSERT_EQ(peer->WaitForEvents(1).size(), 1u);  // the connection is live
  peer->Clear();
  std::vector<MidiBytes> expected;
  for (int i = 0; i < 20; ++i) {
    expected.push_back(PatternDump(static_cast<unsigned char>(i)));
    ASSERT_TRUE(plug->SendMidiSysex2(expected.back()));
  }
  int none = 0;
  EXPECT_EQ(plug->setExternalMIDIOut(none, "Select MIDI Device"), 0);
  std::vector<MidiBytes> arrived;
  for (const PeerEvent& event : peer->WaitForEvents(expected.size())) arrived.push_back(event.bytes);
  EXPECT_EQ(arrived, expected);
}

// The instrument's ports go and come back under the same names (a USB
// replug, the instrument restarted): both directions connect again by
// themselves, and nothing is sent on its own when they do.
TEST_F(JackMidiTest, AnInstrumentWhosePortsComeBackIsConnectedAgainBothWays) {
  peer->RestartPorts();
  ASSERT_TRUE(peer->AwaitConnected()) << "the plug-in's ports were not connected again";
  EXPECT_TRUE(peer->Events().empty());
  IMidiMsg edit(0, 0xB0, 0x4A, 0x40);
  ASSERT_TRUE(plug->SendMidiMsg(&edit));
  ASSERT_EQ(peer->WaitForEvents(1).size(), 1u);
  EXPECT_EQ(peer->Events().front().bytes, (MidiBytes{0xB0, 0x4A, 0x40}));
  peer->Send({0xC3, 0x05});
  const std::vector<ReceivedMidi> expected = {{{0xC3, 0x05, 0x00}, false, true, 0}};
  EXPECT_EQ(plug->WaitForCount(1), expected);
}

// The server goes away while the last instance closes, and a client opens
// in the process before the plug-in's thread is done with its own (a host
// reconnecting to a restarted server): libjack then frees every client of the
// server that went, and the plug-in's thread must not touch its client again.
// The plug-in connects to the new server as to any.
TEST_F(JackMidiTest, TheServerGoingAwayAsTheLastInstanceClosesCrashesNothing) {
  plug.reset();
  server.Stop();
  ExpectANewInstanceOnTheServerBack();
}

// The server goes while the plug-in's thread is inside a call on its client
// (a port of the last instance unregistered): the notice that it went must
// wait for that call, or an open elsewhere in the process frees the client
// under it (the fixture opens one as soon as a told client is called).
TEST_F(JackMidiTest, AServerGoingDuringACallOnTheClientCrashesNothing) {
  std::mutex mutex;
  std::condition_variable changed;
  bool inCall = false, stopped = false;
  const size_t mark = JackClientEvents().size();
  JackOnNextUnregister([&] {
    std::unique_lock lock(mutex);
    inCall = true;
    changed.notify_all();
    changed.wait_for(lock, std::chrono::seconds(10), [&] { return stopped; });
    lock.unlock();
    // Told within this wait, the call below would land on a freed client.
    JackAwaitClientEvent("told " + ClientName(), mark, std::chrono::milliseconds(150));
  });
  plug.reset();
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return inCall; }))
        << "the plug-in's ports were not unregistered";
  }
  server.Stop();
  {
    std::lock_guard lock(mutex);
    stopped = true;
    changed.notify_all();
  }
  EXPECT_TRUE(JackAwaitClientEvent("told " + ClientName(), mark, std::chrono::seconds(10)));
  ExpectANewInstanceOnTheServerBack();
}

// The host's own client beside the plug-in's in the process; the server goes
// and comes back under its name. libjack frees every client of the process
// at the first open after the server went: a client not yet told then never
// learns that it went, and one told but not yet open again (a host that
// waits for its user) is freed under its owner. So the plug-in opens nothing
// by itself before every other client of the process has been told and is
// back on the new server, however long that takes; a menu opens at once.
// Its ports then come back and connect to the instrument again by name.
// Nothing but a menu does so early: not a project restored or an edit sent
// while the server is still down, nor a server socket the plug-in cannot
// find (the process's clients tell then).
struct RestartRow {
  const char* name;
  bool hostSlowToBeTold;  // its client's thread busy, so the notice waits
  bool menuOpens;         // while the host is told but not back
  bool serverDownMeanwhile = false;  // a restore and an edit before it is back
  bool probeMisses = false;          // the server's socket is not where it is looked for
  bool hostLetGoBefore = false;      // the host's client went while the server stayed (told, waiting for its user)
  bool menuSeesNoServer = false;     // the menu opens before the instrument is back, the server unseen till then
  bool serverGoesAgain = false;      // after the menu's open, while the host is still away
  friend void PrintTo(const RestartRow& row, std::ostream* out) { *out << row.name; }
};

class JackRestartTest : public JackMidiTest, public ::testing::WithParamInterface<RestartRow> {
 protected:
  // Two looks of the plug-in's client thread from now have gone by without
  // an open of its own since mark.
  bool opensNothing(size_t mark) {
    const auto opened = [&] {
      const std::vector<std::string> events = JackClientEvents();
      return std::count(events.begin() + static_cast<std::ptrdiff_t>(mark), events.end(), "open " + ClientName()) > 0;
    };
    const unsigned long looks = JackMidiClient::ServerLooks();
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (JackMidiClient::ServerLooks() < looks + 2 && !opened() && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return !opened() && JackMidiClient::ServerLooks() >= looks + 2;
  }
};

TEST_P(JackRestartTest, ThePlugInOpensAfterEveryOtherClientOfTheProcessIsBack) {
  const RestartRow& row = GetParam();
  struct ProbeAsTheProcess {
    ~ProbeAsTheProcess() { jackwatch::ProbeServerNamed(""); }
  } probeAfter;
  if (row.probeMisses) {  // the plug-in's client opens again with the probe missing
    jackwatch::ProbeServerNamed("tarnivex-no-such-server");
    plug.reset();
    ASSERT_TRUE(JackMidiClient::AwaitClosed(std::chrono::seconds(60)));
    plug = std::make_unique<RecordingPlug>();
    ASSERT_NO_FATAL_FAILURE(Connect(*plug));
  }
  auto host = std::make_unique<JackHostClient>();
  const std::string toInstrument = peer->InPortName();
  // With the host slow, the instrument's client leaves the process first:
  // an open of its own would free the held host under it.
  if (row.hostSlowToBeTold) peer.reset();
  // A menu that shows the host's port: the plug-in's client has looked
  // since the process's clients last changed.
  const std::string hostPort = host->AddPort();
  for (const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);;) {
    const std::vector<std::string> list = plug->refreshExternalMIDIOutNames();
    if (std::count(list.begin(), list.end(), hostPort) || std::chrono::steady_clock::now() > until) break;
  }
  if (row.hostSlowToBeTold) {
    ASSERT_TRUE(host->Hold()) << "the host's client thread was not held";
  }
  if (row.hostLetGoBefore) {
    host.reset();
    for (const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);;) {
      const std::vector<std::string> list = plug->refreshExternalMIDIOutNames();
      if (!std::count(list.begin(), list.end(), hostPort) || std::chrono::steady_clock::now() > until) break;
    }
  }
  const size_t mark = JackClientEvents().size();
  server.Stop(true);
  if (peer) peer->Abandon();
  if (host) host->Abandon();
  server.probeBySocket = true;  // opens no client in the process
  // Not seen, the server's socket: the plug-in looks at no client after the loss.
  if (row.menuSeesNoServer) jackwatch::ProbeServerNamed("tarnivex-no-such-server");
  if (!row.serverDownMeanwhile) {
    ASSERT_TRUE(server.Start()) << server.Error();
  }
  ASSERT_TRUE(JackAwaitClientEvent("told " + ClientName(), mark, std::chrono::seconds(60)));
  if (row.serverDownMeanwhile) {
    ASSERT_TRUE(host->AwaitTold()) << "the host was never told that its server went";
    plug->getExternalMIDIOutNames();
    int out = 1;
    EXPECT_GT(plug->setExternalMIDIOut(out, toInstrument.c_str()), 0);  // a project restored
    IMidiMsg edit(0, 0xB0, 0x4A, 0x40);
    EXPECT_FALSE(plug->SendMidiMsg(&edit));
    EXPECT_TRUE(opensNothing(mark)) << "the plug-in opened a client while its server was down";
    ASSERT_TRUE(server.Start()) << server.Error();
  }
  if (row.hostSlowToBeTold) {
    EXPECT_TRUE(opensNothing(mark)) << "the plug-in opened a client before the host was told";
    host->Release();
    ASSERT_TRUE(host->AwaitTold()) << "the host was never told that its server went";
    // It left while the server was there: a client of the process still to come back.
    peer = std::make_unique<JackPeer>();
  } else {
    if (host) {
      ASSERT_TRUE(host->AwaitTold()) << "the host was never told that its server went";
    }
    if (!row.menuSeesNoServer) peer = std::make_unique<JackPeer>();  // the instrument, back under its names
  }
  EXPECT_TRUE(opensNothing(mark)) << "the plug-in opened a client before the host's was back";
  const std::string reopened = "open " + ClientName();
  // The host opens again on the new server: the plug-in's client opens after it.
  const auto hostFirst = [&](size_t from) {
    auto told = std::move(host);
    host = std::make_unique<JackHostClient>();
    ASSERT_TRUE(JackAwaitClientEvent(reopened, from, std::chrono::seconds(60))) << "the plug-in's client never came back";
    const std::vector<std::string> events = JackClientEvents();
    const auto at = [&](const std::string& event) { return std::find(events.begin() + from, events.end(), event); };
    EXPECT_LT(at("open TarnivexHost"), at(reopened)) << "the plug-in opened a client before the host";
  };
  if (row.menuOpens) {
    plug->refreshExternalMIDIOutNames();
    ASSERT_TRUE(JackAwaitClientEvent(reopened, mark, std::chrono::seconds(60))) << "a menu did not open the client";
  } else {
    ASSERT_NO_FATAL_FAILURE(hostFirst(mark));
  }
  if (row.serverGoesAgain) {
    jackwatch::ProbeServerNamed("");
    if (!peer) peer = std::make_unique<JackPeer>();
    for (const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);;) {
      const std::vector<std::string> list = plug->refreshExternalMIDIOutNames();
      if (std::count(list.begin(), list.end(), toInstrument) || std::chrono::steady_clock::now() > until) break;
    }
    const size_t again = JackClientEvents().size();
    server.Stop(true);
    peer->Abandon();
    ASSERT_TRUE(server.Start()) << server.Error();
    ASSERT_TRUE(JackAwaitClientEvent("told " + ClientName(), again, std::chrono::seconds(60)));
    peer = std::make_unique<JackPeer>();
    EXPECT_TRUE(opensNothing(again)) << "the plug-in opened a client before the host's was back";
    ASSERT_NO_FATAL_FAILURE(hostFirst(again));
  }
  if (!peer) peer = std::make_unique<JackPeer>();
  ASSERT_EQ(peer->InPortName(), toInstrument);
  ASSERT_TRUE(peer->AwaitConnected()) << "the plug-in's ports did not connect to the instrument again";
  ExpectCarried(true);
}

INSTANTIATE_TEST_SUITE_P(Rows, JackRestartTest,
                         ::testing::Values(RestartRow{"HostToldButNotBack", false, false},
                                           RestartRow{"HostSlowToBeTold", true, false},
                                           RestartRow{"AMenuWhileTheHostIsAway", false, true},
                                           RestartRow{"ARestoreAndAnEditWhileTheServerIsDown", false, false, true},
                                           RestartRow{"TheProbeMissesTheServersSocket", false, false, false, true},
                                           RestartRow{"TheHostsClientWentBeforeTheLoss", false, false, false, false, true},
                                           RestartRow{"AMenuWhileTheHostIsAwayThenALoss", false, true, false, false,
                                                      false, false, true},
                                           RestartRow{"AMenuBeforeTheOthersAreBackThenALoss", false, true, false,
                                                      false, true, true, true}),
                         [](const ::testing::TestParamInfo<RestartRow>& info) { return std::string(info.param.name); });

// The rule for an open after a loss, over what the process's clients show:
// the host's client "h" and this one's "o" on server 100 before the loss.
struct AfterLossRow {
  const char* name;
  std::set<std::string> live, hungUp;
  std::map<std::string, pid_t> serverOf;
  size_t wentEarlier;
  bool mayOpen;
  size_t stillAway;
  friend void PrintTo(const AfterLossRow& row, std::ostream* out) { *out << row.name; }
};
class AfterLossTest : public ::testing::TestWithParam<AfterLossRow> {};

TEST_P(AfterLossTest, ThePlugInOpensOnlyWhenEveryOtherClientIsBack) {
  const AfterLossRow& row = GetParam();
  const jackwatch::Noted noted{{"h"}, "o", 100, row.wentEarlier};
  jackwatch::Clients now;
  now.live = row.live;
  now.hungUp = row.hungUp;
  now.serverOf = row.serverOf;
  const jackwatch::AfterLoss verdict = jackwatch::LookAfterLoss(noted, now);
  EXPECT_EQ(verdict.mayOpen, row.mayOpen);
  EXPECT_EQ(verdict.stillAway, row.stillAway);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AfterLossTest,
    ::testing::Values(
        AfterLossRow{"OwnOldClientNotYetClosed", {"o", "h2"}, {}, {{"o", 100}, {"h2", 200}}, 0, false, 0},
        AfterLossRow{"HostNotYetTold", {}, {"h"}, {}, 0, false, 1},
        AfterLossRow{"HostToldAndClosedNotBack", {}, {}, {}, 0, false, 1},
        AfterLossRow{"HostBackOnTheNewServer", {"h2"}, {}, {{"h2", 200}}, 0, true, 0},
        AfterLossRow{"AKilledServerHasNotHungUpOnTheHostYet", {"h"}, {}, {{"h", 100}}, 0, false, 1},
        AfterLossRow{"TheHostOnAnotherServerAsksNothing", {"h"}, {}, {{"h", 300}}, 0, true, 0},
        AfterLossRow{"TheHostsServerNotKnown", {"h"}, {}, {{"h", 0}}, 0, false, 1},
        AfterLossRow{"AHostLetGoEarlierNotBack", {"h2"}, {}, {{"h2", 200}}, 1, false, 1},
        AfterLossRow{"AHostLetGoEarlierAnotherNotYetHungUp", {"h"}, {}, {{"h", 100}}, 1, false, 2},
        AfterLossRow{"AHostLetGoEarlierBackToo", {"h2", "h3"}, {}, {{"h2", 200}, {"h3", 200}}, 1, true, 0}),
    [](const ::testing::TestParamInfo<AfterLossRow>& info) { return std::string(info.param.name); });

// The notice of a client the plug-in closed before, come late, leaves the
// client it has now alone: no port goes, no client opens again.
TEST_F(JackMidiTest, ALateShutdownNoticeOfAnOldClientLeavesTheCurrentOneAlone) {
  const size_t old = JackShutdownNotices() - 1;  // the plug-in's first client's
  plug.reset();
  ASSERT_TRUE(JackMidiClient::AwaitClosed(std::chrono::seconds(60)));
  plug = std::make_unique<RecordingPlug>();
  ASSERT_NO_FATAL_FAILURE(Connect(*plug));
  const size_t mark = JackClientEvents().size();
  JackRunShutdownNotice(old);
  // A menu opens: the client's thread takes the notice before it looks.
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  std::vector<std::string> list;
  while (std::find(list.begin(), list.end(), peer->InPortName()) == list.end() && std::chrono::steady_clock::now() < until)
    list = plug->refreshExternalMIDIOutNames();
  EXPECT_NE(std::find(list.begin(), list.end(), peer->InPortName()), list.end());
  const std::vector<std::string> events = JackClientEvents();
  EXPECT_EQ(std::count(events.begin() + static_cast<std::ptrdiff_t>(mark), events.end(), "open " + ClientName()), 0);
  EXPECT_EQ(peer->OtherClients(), 1);
  ExpectCarried(false);
}

// The server goes, the plug-in is told, then its ports are chosen again and
// the last instance closes before the server is back: no call reaches the
// client whose server went (the fixture opens a client before any such
// call, so that libjack has freed it for sure). An edit meanwhile is not
// sent, and the plug-in says so. The server back, a new instance works.
TEST_F(JackMidiTest, NoCallReachesAClientWhoseServerWent) {
  const size_t mark = JackClientEvents().size();
  server.Stop(true);
  peer->Abandon();
  ASSERT_TRUE(JackAwaitClientEvent("told " + ClientName(), mark, std::chrono::seconds(10)));
  const auto gone = [&] {
    IMidiMsg edit(0, 0xB0, 0x4A, 0x40);
    return !plug->SendMidiMsg(&edit) && plug->goneNotices > 0;
  };
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!gone() && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_GT(plug->goneNotices, 0) << "an edit while the out port was gone vanished unsaid";
  int out = 1;
  EXPECT_EQ(plug->setExternalMIDIOut(out, peer->InPortName().c_str()), 1);  // a project restored meanwhile
  IMidiMsg edit(0, 0xB0, 0x4A, 0x41);
  EXPECT_FALSE(plug->SendMidiMsg(&edit));
  plug.reset();
  EXPECT_TRUE(JackMidiClient::AwaitClosed(std::chrono::seconds(60)));
  ASSERT_TRUE(server.Start()) << server.Error();
  peer = std::make_unique<JackPeer>();
  plug = std::make_unique<RecordingPlug>();
  ASSERT_NO_FATAL_FAILURE(Connect(*plug));
  ExpectCarried(false);
}

// A project names the instrument's ports while the instrument is off and
// before the process's client has looked: what is sent meanwhile goes
// nowhere, as on an unplugged cable (never kept, never waited on), and the
// ports connect once the instrument is there.
TEST_F(JackTest, AnOutPortWhosePeerIsAbsentDropsWhatIsSentAndConnectsWhenItComes) {
  const std::string toInstrument = peer->InPortName(), fromInstrument = peer->OutPortName();
  peer->UnplugPorts();
  auto plug = std::make_unique<RecordingPlug>();
  {
    const JackClientTurn held;  // the plug-in's client cannot open, so it has not looked
    plug->getExternalMIDIOutNames();
    plug->getExternalMIDIInNames();
    int out = 1, in = 1;
    ASSERT_GT(plug->setExternalMIDIOut(out, toInstrument.c_str()), 0);
    ASSERT_GT(plug->setExternalMIDIIn(in, fromInstrument.c_str()), 0);
  }
  IMidiMsg unplugged(0, 0xB0, 0x07, 0x11);
  ASSERT_TRUE(plug->SendMidiMsg(&unplugged));
  // Its port live with nothing on its other end, a few cycles pass it on.
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!plug->MidiOutUnplugged() && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_TRUE(peer->AwaitCycles(4));
  peer->PlugPorts();
  ASSERT_TRUE(peer->AwaitConnected()) << "the plug-in's ports did not connect to the instrument";
  IMidiMsg plugged(0, 0xB0, 0x07, 0x22);
  ASSERT_TRUE(plug->SendMidiMsg(&plugged));
  std::vector<MidiBytes> arrived;
  for (const PeerEvent& event : peer->WaitForEvents(1)) arrived.push_back(event.bytes);
  EXPECT_EQ(arrived, (std::vector<MidiBytes>{{0xB0, 0x07, 0x22}}));
}

// Every instance of a process has its own ports on the process's one
// client; no list offers the process's own ports, and an instance that
// closes takes its ports with it.
TEST_F(JackTest, InstancesShareOneClientEachWithItsOwnPorts) {
  auto first = std::make_unique<RecordingPlug>();
  auto second = std::make_unique<RecordingPlug>();
  ASSERT_NO_FATAL_FAILURE(Connect(*first));
  ASSERT_NO_FATAL_FAILURE(Connect(*second));
  // Ports are registered on the client's thread.
  const auto awaitPorts = [&](size_t count) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (peer->OtherPorts().size() != count && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return peer->OtherPorts().size();
  };
  EXPECT_EQ(peer->OtherClients(), 1);
  EXPECT_EQ(awaitPorts(4), 4u);
  const std::vector<std::string> targets = {"Select MIDI Device", peer->InPortName()};
  const std::vector<std::string> sources = {"Select MIDI Device", peer->OutPortName()};
  EXPECT_EQ(second->refreshExternalMIDIOutNames(), targets);
  EXPECT_EQ(second->refreshExternalMIDIInNames(), sources);
  IMidiMsg one(0, 0x90, 1, 1), two(0, 0x90, 2, 2);
  ASSERT_TRUE(first->SendMidiMsg(&one));
  ASSERT_TRUE(second->SendMidiMsg(&two));
  std::vector<MidiBytes> arrived;
  for (const PeerEvent& event : peer->WaitForEvents(2)) arrived.push_back(event.bytes);
  std::sort(arrived.begin(), arrived.end());
  EXPECT_EQ(arrived, (std::vector<MidiBytes>{{0x90, 1, 1}, {0x90, 2, 2}}));
  peer->Send({0xC3, 0x07});
  const std::vector<ReceivedMidi> program = {{{0xC3, 0x07, 0x00}, false, true, 0}};
  EXPECT_EQ(first->WaitForCount(1), program);
  EXPECT_EQ(second->WaitForCount(1), program);
  first.reset();
  EXPECT_EQ(awaitPorts(2), 2u);
  EXPECT_EQ(peer->OtherClients(), 1);
}
}  // namespace
