#include <gtest/gtest.h>

#include <cstring>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "EditorView.h"
#include "IGraphicsLinux.h"
#include "MakeGraphics.h"
#include "RealtimeScope.h"
#include "TestPlug.h"
#include "Utilities.h"
#include "WaitGuard.h"

namespace {
// What the scripted host answers, and what it was asked.
struct Script {
  VstTimeInfo time{};
  bool hasTime = true;
  const char* product = "REAPER";
  VstIntPtr vendorVersion = 10203;
  std::vector<std::pair<VstInt32, VstIntPtr>> calls;
};
Script gScript;

VstIntPtr ScriptedHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr value, void* ptr, float) {
  gScript.calls.emplace_back(opcode, value);
  switch (opcode) {
    case audioMasterGetTime:
      return gScript.hasTime ? reinterpret_cast<VstIntPtr>(&gScript.time) : 0;
    case audioMasterGetProductString:
      std::strcpy(static_cast<char*>(ptr), gScript.product);
      return 1;
    case audioMasterGetVendorVersion:
      return gScript.vendorVersion;
    default:
      return 0;
  }
}

TestPlug::Config ScriptedConfig() {
  gScript = Script{};
  TestPlug::Config config;
  config.host = ScriptedHost;
  return config;
}
}  // namespace

TEST(VersionWords, PartsTextsAndDecimal) {
  struct Row {
    int word;
    const char* text;
    int decimal;
  };
  const Row table[] = {{0x00010006, "v1.0.6", 10006}, {0x00020300, "v2.3", 20300}, {0x00050000, "v5", 50000},
                       {static_cast<int>(0xFFFFFFFF), "v65535.255.255", 655375755}};
  for (const Row& row : table) {
    char text[16];
    GetVersionStr(row.word, text);
    EXPECT_STREQ(text, row.text);
    EXPECT_EQ(GetDecimalVersion(row.word), row.decimal);
  }
}

TEST(HostLookup, ProductStringsAndNames) {
  const std::pair<const char*, EHost> table[] = {
      {"REAPER", kHostReaper},        {"Reaper 4", kHostReaper},     {"Steinberg Cubase 12", kHostCubase},
      {"Ableton LIVE", kHostAbletonLive}, {"Live and Logic", kHostAbletonLive}, {"Logic Pro", kHostLogic},
      {"Ardour", kHostArdour},        {"ProTools", kHostProTools},   {"Carla", kHostUnknown},
      {"", kHostUnknown},             {"MELODYNE", kHostMelodyneStudio}};
  for (auto [product, host] : table) EXPECT_EQ(LookUpHost(product), host) << product;
  const std::string huge(5000, 'x');
  EXPECT_EQ(LookUpHost((huge + "reaper").c_str()), kHostUnknown);  // only the first 255 characters count

  const std::pair<EHost, const char*> names[] = {{kHostReaper, "Reaper"}, {kHostMelodyneStudio, "Unknown"},
                                                 {kHostVegas, "Vegas"}, {kHostArdour, "Ardour"},
                                                 {static_cast<EHost>(-1), "Unknown"}, {static_cast<EHost>(29), "Unknown"}};
  for (auto [host, name] : names) {
    char text[20];
    GetHostNameStr(host, text);
    EXPECT_STREQ(text, name);
  }
}

TEST(PlugBase, HostIsIdentifiedOnceWithPackedVersion) {
  TestPlug plug(ScriptedConfig());
  EXPECT_EQ(plug.IPlugBase::GetHost(), kHostUninit);
  EXPECT_EQ(plug.GetHostVersion(false), 0x00010203);
  EXPECT_EQ(plug.GetHost(), kHostReaper);
  char text[16];
  plug.GetHostVersionStr(text);
  EXPECT_STREQ(text, "v1.2.3");
  int productQueries = 0;
  for (auto [opcode, value] : gScript.calls) productQueries += opcode == audioMasterGetProductString;
  EXPECT_EQ(productQueries, 1);
}

TEST(PlugBase, SetParameterFromGUICallsOnlyItsOwnHandler) {
  TestPlug::Config config = ScriptedConfig();
  config.initParams = false;
  TestPlug plug(config);
  plug.GetParam(0)->InitInt("i", 0, 0, 10);
  plug.SetParameterFromGUI(0, 0.5);
  plug.SetParameterFromGUI(0, 0.52);  // rounds to the same step
  EXPECT_EQ(plug.changes, std::vector<int>{0});
  plug.SetParameterFromGUI2(0, 0.9);
  EXPECT_EQ(plug.changes2, std::vector<int>{0});
  EXPECT_EQ(plug.changes, std::vector<int>{0});

  plug.GetParam(1)->InitEnum("t", 0, 3);
  plug.GetParam(1)->InitText();
  plug.SetParameterFromGUI(1, 0.0);
  plug.SetParameterFromGUI(1, 0.0);
  EXPECT_EQ(plug.changes, (std::vector<int>{0, 1, 1}));

  int automations = 0;
  for (auto [opcode, value] : gScript.calls) automations += opcode == audioMasterAutomate;
  EXPECT_EQ(automations, 5);  // every edit is told to the host

  plug.SetParameterFromGUI(999, 0.5);  // an index outside the list is ignored
  plug.SetParameterFromGUI(-1, 0.5);
}

TEST(PlugBase, LockIsReentrantAndExcludesOtherThreads) {
  TestPlug plug;
  std::atomic<bool> otherEntered{false};
  std::thread other;
  {
    WDL_MutexLock outer(plug.GetMutex());
    plug.SetParameterFromGUI(0, 0.5);  // takes the lock again on the same thread
    other = std::thread([&] {
      WDL_MutexLock inner(plug.GetMutex());
      otherEntered = true;
    });
    // The test's own wait under the lock, not the product's.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(otherEntered);
  }
  other.join();
  EXPECT_TRUE(otherEntered);
  EXPECT_EQ(plug.changes.size(), 1u);
}

// A holder's stretch of file work: which takes of other threads go in
// meanwhile (returning while the stretch lasts) and which wait for its end.
// Takes of a MIDI thread, and the following of a value, go in only beside
// file work; the window's wait.
TEST(PlugBase, AHoldersFileWorkLetsInOnlyTheMidiThreadsTakes) {
  WDL_Mutex lock;
  struct Row {
    const char* name;
    bool fileWork;
    std::function<void()> take;
    bool goesIn;
  };
  const auto whole = [&] { WDL_MutexLock taken(&lock); };
  const auto guest = [&] { WDL_MutexLock taken(&lock, true); };
  const auto midiThread = [&] {
    const WDL_Mutex::MidiThread midi;
    whole();
  };
  const Row table[] = {
      {"a value followed, held whole", false, guest, false},
      {"a value followed, beside file work", true, guest, true},
      {"a MIDI thread's whole take, held whole", false, midiThread, false},
      {"a MIDI thread's whole take, beside file work", true, midiThread, true},
      {"another whole take, beside file work", true, whole, false},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.name);
    std::atomic<bool> done{false};
    std::thread other;
    {
      WDL_MutexLock holder(&lock);
      std::optional<WDL_FileWork> files;
      if (row.fileWork) files.emplace(&lock);
      other = std::thread([&] {
        row.take();
        done = true;
      });
      // Bounded: a take that goes in does so at once, one that waits would wait for good.
      for (int i = 0; i < (row.goesIn ? 10000 : 50) && !done; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      EXPECT_EQ(done.load(), row.goesIn);
    }
    other.join();
    EXPECT_TRUE(done);
    EXPECT_FALSE(lock.HeldHere());
  }
}

// Inside the host's real-time calls no lock is taken that another thread
// can hold: the checked builds (every build of the tests) stop there.
TEST(PlugBaseDeathTest, ALockTakenInsideTheHostsRealTimeCallStopsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  struct Row {
    const char* name;
    std::function<void()> take;
  };
  const Row table[] = {
      {"the plug-in's lock, whole", [] { WDL_Mutex lock; WDL_MutexLock taken(&lock); }},
      {"the plug-in's lock, as a value followed", [] { WDL_Mutex lock; WDL_MutexLock taken(&lock, true); }},
      {"the plug-in's lock on a MIDI thread",
       [] {
         const WDL_Mutex::MidiThread midi;
         WDL_Mutex lock;
         WDL_MutexLock taken(&lock);
       }},
      {"a lock the host's threads take", [] {
         std::mutex gate;
         WaitGuard::HostLock<std::mutex> taken(gate);
       }},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.name);
    EXPECT_DEATH(
        {
          const RealtimeScope realtime;
          row.take();
        },
        "taken on the audio thread");
  }
  // Also a take this thread holds already, made outside the call.
  EXPECT_DEATH(
      {
        WDL_Mutex lock;
        WDL_MutexLock outside(&lock);
        const RealtimeScope realtime;
        WDL_MutexLock taken(&lock);
      },
      "taken on the audio thread");
  // Outside such a call, the same takes go on.
  for (const Row& row : table) row.take();
}

TEST(PlugBase, ResetWithoutAutomatableParametersCallsOnlyReset) {
  TestPlug::Config config;
  config.nAutomatable = 0;
  TestPlug plug(config);
  plug.OnParamReset();
  EXPECT_TRUE(plug.changes.empty());
  const unsigned char anything[] = {1, 2, 3};
  EXPECT_TRUE(plug.CompareState(anything, 0));
}

TEST(PlugBase, CompareStateReadsFromTheStartElement) {
  TestPlug::Config config;
  config.nAutomatable = 2;
  TestPlug plug(config);
  plug.GetParam(0)->Set(1.0);
  plug.GetParam(1)->Set(2.0);
  double state[5] = {9, 9, 9, 1.0, 2.0000001};
  EXPECT_TRUE(plug.CompareState(reinterpret_cast<unsigned char*>(state), 3));
  EXPECT_FALSE(plug.CompareState(reinterpret_cast<unsigned char*>(state), 2));
  EXPECT_FALSE(plug.CompareState(reinterpret_cast<unsigned char*>(state), 3, 39));
}

TEST(Channels, ChannelIOStringsAndLegalIO) {
  struct Row {
    const char* io;
    int pairs, inputs, outputs;
  };
  const Row table[] = {{"2-2", 1, 2, 2}, {"1-1 2-2", 2, 2, 2}, {nullptr, 0, 0, 0}, {"1-x", 1, 1, 0}};
  for (const Row& row : table) {
    TestPlug::Config config;
    config.channelIO = row.io;
    TestPlug plug(config);
    EXPECT_EQ(plug.NChannelIO(), row.pairs) << (row.io ? row.io : "null");
    EXPECT_EQ(plug.NInChannels(), row.inputs);
    EXPECT_EQ(plug.NOutChannels(), row.outputs);
  }
  TestPlug plug;
  EXPECT_TRUE(plug.LegalIO(2, 2));
  EXPECT_TRUE(plug.LegalIO(-1, 2));
  EXPECT_TRUE(plug.LegalIO(2, -1));
  EXPECT_FALSE(plug.LegalIO(1, -1));
  EXPECT_EQ(plug.GetAEffect()->flags & effFlagsCanMono, 0);
}

TEST(Channels, SpeakerArrangementDisconnectsAndFloatCallsConvertOnlyConnected) {
  TestPlug plug;
  VstSpeakerArrangement mono{};
  mono.numChannels = 1;
  plug.GetAEffect()->dispatcher(plug.GetAEffect(), effSetSpeakerArrangement, 0,
                                reinterpret_cast<VstIntPtr>(&mono), nullptr, 0.0f);
  EXPECT_TRUE(plug.IsInChannelConnected(0));
  EXPECT_FALSE(plug.IsInChannelConnected(1));
  EXPECT_FALSE(plug.IsInChannelConnected(7));
  EXPECT_TRUE(plug.IsOutChannelConnected(1));
  // One host buffer feeds the one connected input; the pass-through shows it.
  std::vector<float> in0(8, 0.5f), out0(8, 9.0f), out1(8, 9.0f);
  float* inputs[1] = {in0.data()};
  float* outputs[2] = {out0.data(), out1.data()};
  plug.SetBlockSize(8);
  plug.AttachInputBuffers(0, 2, inputs, 8);
  plug.AttachOutputBuffers(0, 2, outputs);
  plug.PassThroughBuffers(0.0f, 8);
  EXPECT_EQ(out0[7], 0.5f);
  EXPECT_EQ(out1[7], 0.0f);  // the disconnected input reads its zeroed scratch
}

TEST(Adapter, TimeQueriesKeepWhatTheHostDidNotFill) {
  TestPlug plug(ScriptedConfig());
  gScript.time.flags = kVstTempoValid | kVstTransportPlaying;
  gScript.time.tempo = 0.0;
  gScript.time.samplePos = 4410.4;
  ITimeInfo info;
  info.mTempo = 99.0;
  plug.GetTime(&info);
  EXPECT_EQ(info.mTempo, 99.0);
  EXPECT_EQ(info.mSamplePos, 4410.4);
  EXPECT_TRUE(info.mTransportIsRunning);
  EXPECT_FALSE(info.mTransportLoopEnabled);
  EXPECT_EQ(plug.GetSamplePos(), 4410);
  EXPECT_EQ(plug.GetTempo(), 0.0);

  gScript.time.flags = kVstTimeSigValid;
  gScript.time.timeSigNumerator = 7;
  gScript.time.timeSigDenominator = 8;
  int num = -1, den = -1;
  plug.GetTimeSig(&num, &den);
  EXPECT_EQ(num, 7);
  EXPECT_EQ(den, 8);
  gScript.time.flags = 0;
  ITimeInfo untouched;
  untouched.mSamplePos = 123.0;
  plug.GetTime(&untouched);
  EXPECT_EQ(untouched.mSamplePos, 123.0);

  gScript.hasTime = false;
  EXPECT_EQ(plug.GetSamplePos(), 0);
  plug.GetTimeSig(&num, &den);
  EXPECT_EQ(num, 0);
}

TEST(Adapter, MidiFromTheHostReachesTheHandlerNotFromTheDevice) {
  TestPlug plug(ScriptedConfig());
  VstMidiEvent event{};
  event.type = kVstMidiType;
  event.deltaFrames = 17;
  event.midiData[0] = static_cast<char>(0xB1);
  event.midiData[1] = 7;
  event.midiData[2] = 99;
  VstEvents events{};
  events.numEvents = 1;
  events.events[0] = reinterpret_cast<VstEvent*>(&event);
  EXPECT_EQ(plug.GetAEffect()->dispatcher(plug.GetAEffect(), effProcessEvents, 0, 0, &events, 0.0f), 1);
  ASSERT_EQ(plug.midi.size(), 1u);
  EXPECT_EQ(plug.midi[0].mOffset, 17);
  EXPECT_EQ(plug.midi[0].mStatus, 0xB1);
  EXPECT_EQ(plug.midi[0].mData2, 99);
  EXPECT_FALSE(plug.midiFromDevice[0]);
}

namespace {
class RecordingViews : public EditorViewFactory {
 public:
  std::unique_ptr<EditorView> Open(EditorView::Kind kind, void* parent, int width, int height) override {
    opened.push_back(kind);
    return std::make_unique<HeadlessView>(kind, parent, width, height);
  }
  std::vector<EditorView::Kind> opened;
};
}  // namespace

TEST(Adapter, EditorPathFollowsTheViewAsConfigQuestion) {
  auto views = std::make_shared<RecordingViews>();
  SetEditorViewFactory(views);
  TestPlug plug;
  plug.AttachGraphics(MakeGraphics(&plug, 300, 200, 0).release());
  AEffect* e = plug.GetAEffect();
  EXPECT_EQ(e->flags & effFlagsHasEditor, effFlagsHasEditor);
  int parent = 0;
  EXPECT_EQ(e->dispatcher(e, effEditOpen, 0, 0, &parent, 0.0f), 1);
  e->dispatcher(e, effCanDo, 0, 0, const_cast<char*>("hasCockosViewAsConfig"), 0.0f);
  EXPECT_EQ(e->dispatcher(e, effEditOpen, 0, 0, &parent, 0.0f), 1);
  EXPECT_EQ(views->opened, (std::vector<EditorView::Kind>{EditorView::Kind::kWindow, EditorView::Kind::kViewAsConfig}));
  auto* graphics = static_cast<IGraphicsLinux*>(plug.GetGUI());
  EXPECT_EQ(e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.0f), 1);
  EXPECT_FALSE(graphics->WindowIsOpen());
  SetEditorViewFactory(nullptr);
}

TEST(Adapter, FilePromptNeedsAnOpenWindow) {
  TestPlug plug;
  plug.AttachGraphics(MakeGraphics(&plug, 300, 200, 0).release());
  auto* graphics = static_cast<IGraphicsLinux*>(plug.GetGUI());
  graphics->SetFilePromptAnswer([](EFileAction, const std::string&, const std::string&) {
    return std::string("/tmp/chosen/file.fxp");
  });
  WDL_String name("proposal"), dir;
  char ext[] = "fxp";
  graphics->PromptForFile(&name, kFileSave, &dir, ext);
  EXPECT_STREQ(name.Get(), "");
  graphics->OpenWindow(nullptr);
  graphics->PromptForFile(&name, kFileSave, &dir, ext);
  EXPECT_STREQ(name.Get(), "/tmp/chosen/file.fxp");
  EXPECT_STREQ(dir.Get(), "/tmp/chosen/");
}
