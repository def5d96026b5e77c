// The built plug-in as a host meets it: loaded with dlopen, driven through
// the descriptor's callbacks only.
#include <dlfcn.h>
#include <elf.h>
#include <pthread.h>
#include <unistd.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <chrono>
#include <filesystem>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <cstring>
#include <optional>
#include <random>
#include <thread>
#include <tuple>

#include "../library/FolderLockHolder.h"
#include "TestHost.h"
#include "ThreadAllocations.h"


namespace {
constexpr int kStateParams = 8744;
constexpr size_t kSnapshotSize = 4 + 8 + 8 + 8 * kStateParams;
// 33 names "INIT" and the two port menus' "Select MIDI Device", each behind
// its length.
constexpr size_t kNamesSize = 33 * (4 + 4) + 2 * (4 + 18);
// Header, marker, part, model, block markers and length, snapshot, names,
// four selection values, then the values.
constexpr size_t kValuesAt = 8 + 20 + 12 + kSnapshotSize + kNamesSize + 32;
constexpr size_t kProgramChunkSize = kValuesAt + 8 * kStateParams;
constexpr uint8_t kChunkHeader[] = {0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00};

class VstHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host.Loaded()) << host.LoadError();
    ASSERT_NE(host.Create(), nullptr);
  }
  TestHost host;
};

std::vector<uint8_t> Bytes(const std::vector<uint8_t>& chunk, size_t at, size_t n) {
  return std::vector<uint8_t>(chunk.begin() + static_cast<long>(at), chunk.begin() + static_cast<long>(at + n));
}

// Sets a plain value in the value block of a long-form program chunk.
void SetValue(std::vector<uint8_t>& chunk, int param, double value) {
  std::memcpy(chunk.data() + kValuesAt + 8 * static_cast<size_t>(param), &value, sizeof(value));
}

uint32_t Low32(VstIntPtr value) { return static_cast<uint32_t>(value & 0xFFFFFFFF); }

VstMidiEvent MidiEvent(int delta, uint8_t status, uint8_t d1, uint8_t d2) {
  VstMidiEvent event{};
  event.type = kVstMidiType;
  event.byteSize = sizeof(VstMidiEvent);
  event.deltaFrames = delta;
  event.midiData[0] = static_cast<char>(status);
  event.midiData[1] = static_cast<char>(d1);
  event.midiData[2] = static_cast<char>(d2);
  return event;
}
}  // namespace

TEST_F(VstHostTest, DescriptorAsTheHostSeesIt) {
  const AEffect* e = host.Effect();
  EXPECT_EQ(e->magic, kEffectMagic);
  EXPECT_EQ(e->numPrograms, 1);
  EXPECT_EQ(e->numParams, 0);
  EXPECT_EQ(e->numInputs, 2);
  EXPECT_EQ(e->numOutputs, 2);
  EXPECT_EQ(e->flags, 0x1131);
  EXPECT_EQ(e->initialDelay, 0);  // it delays no audio
  EXPECT_EQ(e->uniqueID, 0x68786566);
  EXPECT_EQ(e->version, 10006);
  EXPECT_FLOAT_EQ(e->ioRatio, 1.0f);
  EXPECT_NE(e->object, nullptr);
  // The callbacks are all called by the tests below.
  EXPECT_EQ(std::make_tuple(e->user, e->resvd1, e->resvd2, e->realQualities, e->offQualities),
            std::make_tuple(nullptr, VstIntPtr{0}, VstIntPtr{0}, 0, 0));
  for (char c : e->future) EXPECT_EQ(c, 0);
}

// A host reads the latency again after it sets the plug-in up and turns it
// on (Ardour at each resume): it stays 0 through every such call, since
// nothing the block writes is delayed.
TEST_F(VstHostTest, NoLatencyIsReportedThroughTheHostsSetUp) {
  struct Row {
    const char* name;
    std::function<void()> call;
  };
  long parent = 1;
  const Row rows[] = {
      {"open", [&] { host.Dispatch(effOpen); }},
      {"sample rate", [&] { host.Dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f); }},
      {"block size", [&] { host.Dispatch(effSetBlockSize, 0, 4096); }},
      {"turned on", [&] { host.Dispatch(effMainsChanged, 0, 1); }},
      {"processing starts", [&] { host.Dispatch(effStartProcess); }},
      {"a block", [&] { host.RunBlock(TestHost::Process::kReplacing, 4096, 0.5); }},
      {"its own project restored", [&] { host.SetChunk(true, host.GetChunk(true)); }},
      {"the editor opened", [&] { host.Dispatch(effEditOpen, 0, 0, &parent); }},
      {"turned off and on", [&] {
         host.Dispatch(effMainsChanged, 0, 0);
         host.Dispatch(effMainsChanged, 0, 1);
       }},
  };
  for (const Row& row : rows) {
    row.call();
    EXPECT_EQ(host.Effect()->initialDelay, 0) << "after " << row.name;
  }
  // Nothing asked the host to read the latency again.
  EXPECT_EQ(host.CountCalls(audioMasterIOChanged), 0);
}

TEST_F(VstHostTest, MainAndVSTPluginMainMakeIndependentInstances) {
  TestHost other;
  AEffect* viaMain = other.Create(true);
  ASSERT_NE(viaMain, nullptr);
  EXPECT_NE(viaMain, host.Effect());
  EXPECT_EQ(viaMain->numPrograms, 1);
  EXPECT_EQ(viaMain->uniqueID, host.Effect()->uniqueID);
}

struct NumberAnswer {
  VstInt32 opcode;
  VstInt32 index;
  VstIntPtr expected;
};

TEST_F(VstHostTest, OpcodesAnsweredWithNumbers) {
  const NumberAnswer table[] = {
      {effIdentify, 0, 0x4E764566}, {effGetVstVersion, 0, 2400}, {effGetPlugCategory, 0, 2},
      {effGetVendorVersion, 0, 0x10006}, {effCanBeAutomated, 5, 1}, {effGetProgram, 0, 0},
      {effEditIdle, 0, 0}, {effIdle, 0, 0}, {70, 0, 0}, {effStartProcess, 0, 0}, {-1, 0, 0},
      {effProcessEvents, 0, 0}, {effString2Parameter, 0, 0}, {effGetProgramNameIndexed, 0, 0},
      {effSetSampleRate, 0, 0}, {effSetBlockSize, 0, 0}, {effMainsChanged, 0, 0}};
  for (const NumberAnswer& row : table)
    EXPECT_EQ(host.Dispatch(row.opcode, row.index), row.expected) << "opcode " << row.opcode;

  // Every opcode the interface reserves but the plug-in does not use.
  for (VstInt32 op : {9, 16, 17, 18, 20, 21, 28, 30, 31, 32, 36, 37, 38, 39, 40, 41, 43, 44, 46, 52, 54, 55,
                      56, 57, 59, 60, 61, 62, 63, 64, 65, 67, 68})
    EXPECT_EQ(host.Dispatch(op), 0) << "opcode " << op;
}

struct TextAnswer {
  VstInt32 opcode;
  VstInt32 index;
  VstIntPtr expected;
  const char* text;
};

TEST_F(VstHostTest, OpcodesAnsweredWithTexts) {
  const TextAnswer table[] = {
      {effGetEffectName, 0, 1, "Tarnivex Editor"}, {effGetVendorString, 0, 1, "Kelmscroft"},
      {effGetProductString, 0, 1, ""},            {effGetProgramNameIndexed, 0, 0, ""},
      {effGetProgramName, 0, 0, ""},              {effGetParamName, 0, 0, "untouched"},
      {effGetParamLabel, 0, 0, "untouched"},      {effGetParamDisplay, 0, 0, "untouched"}};
  for (const TextAnswer& row : table) {
    char text[256];
    std::strcpy(text, "untouched");
    EXPECT_EQ(host.Dispatch(row.opcode, row.index, 0, text), row.expected) << "opcode " << row.opcode;
    EXPECT_STREQ(text, row.text) << "opcode " << row.opcode;
    EXPECT_EQ(host.Dispatch(row.opcode, row.index, 0, nullptr), 0) << "opcode " << row.opcode;
  }
}

TEST_F(VstHostTest, PinProperties) {
  struct Row {
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr expected;
    VstInt32 flags;
    const char* label;
  };
  const Row table[] = {{effGetInputProperties, 0, 1, kVstPinIsActive | kVstPinIsStereo, "Input 1"},
                       {effGetInputProperties, 1, 1, kVstPinIsActive, "Input 2"},
                       {effGetInputProperties, 2, 0, 0, ""},
                       {effGetInputProperties, -1, 0, 0, ""},
                       {effGetOutputProperties, 0, 1, kVstPinIsActive | kVstPinIsStereo, "Output 1"},
                       {effGetOutputProperties, 1, 1, kVstPinIsActive, "Output 2"},
                       {effGetOutputProperties, 2, 0, 0, ""}};
  for (const Row& row : table) {
    VstPinProperties pin{};
    EXPECT_EQ(host.Dispatch(row.opcode, row.index, 0, &pin), row.expected);
    EXPECT_EQ(pin.flags, row.flags);
    EXPECT_STREQ(pin.label, row.label);
  }
}

TEST_F(VstHostTest, SpeakerArrangementsAndEditorRect) {
  VstSpeakerArrangement* in = nullptr;
  VstSpeakerArrangement* out = nullptr;
  EXPECT_EQ(host.Dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out), 1);
  ASSERT_NE(in, nullptr);
  ASSERT_NE(out, nullptr);
  EXPECT_EQ(in->type, kSpeakerArrStereo);
  EXPECT_EQ(in->numChannels, 2);
  EXPECT_EQ(out->numChannels, 2);

  ERect* rect = nullptr;
  EXPECT_EQ(host.Dispatch(effEditGetRect, 0, 0, &rect), 1);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->top, 0);
  EXPECT_EQ(rect->left, 0);
  EXPECT_EQ(rect->bottom, 757);
  EXPECT_EQ(rect->right, 1500);
  EXPECT_EQ(host.Dispatch(effEditGetRect, 0, 0, nullptr), 0);
}

TEST_F(VstHostTest, EditorWithoutADisplayFailsCleanly) {
  const char* display = std::getenv("DISPLAY");
  const std::string saved = display ? display : "";
  // No display at all, and one that nothing serves.
  for (const char* name : {"", ":59997"}) {
    if (*name)
      setenv("DISPLAY", name, 1);
    else
      unsetenv("DISPLAY");
    for (const char* question : {"", "hasCockosViewAsConfig"}) {
      host.Dispatch(effCanDo, 0, 0, const_cast<char*>(question));
      EXPECT_EQ(host.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(0x1234)), 0) << name << question;
      EXPECT_EQ(host.Dispatch(effEditIdle), 0);
      EXPECT_EQ(host.Dispatch(effEditKeyDown, 'a', 0), 0);
      EXPECT_EQ(host.Dispatch(effEditClose), 1);
    }
  }
  if (display)
    setenv("DISPLAY", saved.c_str(), 1);
  else
    unsetenv("DISPLAY");
  // The plug-in goes on as before.
  host.Dispatch(effMainsChanged, 0, 1);
  host.RunBlock(TestHost::Process::kReplacing, 64, 0.0);
  const std::vector<uint8_t> chunk = host.GetChunk(true);
  EXPECT_EQ(host.SetChunk(true, chunk), 1);
}

TEST_F(VstHostTest, CanDoAnswers) {
  const std::pair<const char*, uint32_t> table[] = {
      {"receiveVstTimeInfo", 1},       {"sendVstEvents", 1},
      {"sendVstMidiEvent", 1},         {"receiveVstEvents", 1},
      {"receiveVstMidiEvent", 1},      {"hasCockosExtensions", 0xBEEF0000u},
      {"hasCockosViewAsConfig", 0xBEEF0000u}, {"ReceiveVstTimeInfo", 0},
      {"receiveVstTimeInfo ", 0},      {"bypass", 0},
      {"", 0}};
  for (const auto& [text, expected] : table)
    EXPECT_EQ(Low32(host.Dispatch(effCanDo, 0, 0, const_cast<char*>(text))), expected) << text;
  EXPECT_EQ(host.Dispatch(effCanDo, 0, 0, nullptr), 0);
}

TEST_F(VstHostTest, VendorSpecificParamDisplay) {
  char text[64] = "untouched";
  EXPECT_EQ(host.Dispatch(effVendorSpecific, effGetParamDisplay, 0, text, 0.5f), 0xBEEF);
  EXPECT_STREQ(text, "untouched");  // no host-visible parameter to show
  EXPECT_EQ(host.Dispatch(effVendorSpecific, effGetParamDisplay, 0, nullptr, 0.5f), 0);
  EXPECT_EQ(host.Dispatch(effVendorSpecific, 6, 0, text, 0.5f), 0);
}

TEST_F(VstHostTest, MidiKeyNamesAreEmpty) {
  MidiKeyName key{};
  key.thisKeyNumber = 60;
  std::strcpy(key.keyName, "stale");
  EXPECT_EQ(host.Dispatch(effGetMidiKeyName, 0, 0, &key), 0);
  EXPECT_STREQ(key.keyName, "");
}

TEST_F(VstHostTest, HostParametersAreInvisible) {
  AEffect* e = host.Effect();
  EXPECT_EQ(e->getParameter(e, 0), 0.0f);
  const std::vector<uint8_t> before = host.GetChunk(true);
  e->setParameter(e, 0, 1.0f);
  e->setParameter(e, -3, 1.0f);
  EXPECT_EQ(host.GetChunk(true), before);
}

// Once per instance, on open; a host without a product string is not asked its version.
TEST(VstHostIdentification, HostIdentifiedOnceOnOpen) {
  for (const char* product : {"Test Host", ""}) {
    TestHost host;
    host.productString = product;
    ASSERT_NE(host.Create(), nullptr);
    host.ClearRecords();
    EXPECT_EQ(host.Dispatch(effOpen), 0);
    host.Dispatch(effOpen);
    EXPECT_EQ(host.CountCalls(audioMasterGetProductString), 1) << product;
    EXPECT_EQ(host.CountCalls(audioMasterGetVendorVersion), *product ? 1 : 0) << product;
  }
}

TEST_F(VstHostTest, ProgramChunkIsHeaderThenTheLongFormOfTheState) {
  const std::vector<uint8_t> chunk = host.GetChunk(true);
  ASSERT_EQ(chunk.size(), kProgramChunkSize);
  EXPECT_TRUE(std::equal(std::begin(kChunkHeader), std::end(kChunkHeader), chunk.begin()));
  const std::vector<uint8_t> head = {0x00, 0x00, 0x00, 0x01};
  EXPECT_EQ(Bytes(chunk, 8, 4), head);
  // The patch manager block: two markers, the snapshot length big-endian.
  EXPECT_EQ(Bytes(chunk, 28, 12), (std::vector<uint8_t>{0, 0, 0, 1, 0, 0, 0, 1, 0x00, 0x01, 0x11, 0x54}));
  // The snapshot is the short form, taken before start-up shows the model
  // (1.0 now, 0.0 then): the same marker and quick tab.
  EXPECT_EQ(Bytes(chunk, 40, 12), Bytes(chunk, 8, 12));
  EXPECT_EQ(Bytes(chunk, 52, 8), (std::vector<uint8_t>(8, 0)));
  // Names: "INIT" everywhere, the menus' first entry for the two ports that are not set.
  size_t pos = 40 + kSnapshotSize;
  for (int i = 0; i < 35; ++i) {
    const std::string expected = i == 17 || i == 18 ? "Select MIDI Device" : "INIT";
    int32_t length = 0;
    std::memcpy(&length, chunk.data() + pos, 4);
    ASSERT_EQ(length, static_cast<int32_t>(expected.size())) << i;
    EXPECT_EQ(std::string(chunk.begin() + static_cast<long>(pos) + 4, chunk.begin() + static_cast<long>(pos) + 4 + length),
              expected);
    pos += 4 + static_cast<size_t>(length);
  }
  EXPECT_EQ(pos + 32, kValuesAt);
  // A bank carries the (empty) presets block, then the same state.
  EXPECT_EQ(host.GetChunk(false), chunk);
}

TEST_F(VstHostTest, ChunkRoundTripGivesTheSameBytes) {
  std::vector<uint8_t> chunk = host.GetChunk(true);
  ASSERT_EQ(chunk.size(), kProgramChunkSize);
  // Param 100 of the state set to 1.0: the restore must carry it.
  SetValue(chunk, 100, 1.0);
  for (bool program : {true, false}) {
    EXPECT_EQ(host.SetChunk(program, chunk), 1);
    EXPECT_EQ(host.GetChunk(program), chunk);
    EXPECT_EQ(host.GetChunk(!program), chunk);
  }
}

TEST_F(VstHostTest, ChunkWithoutHeaderIsReadAsState) {
  std::vector<uint8_t> chunk = host.GetChunk(true);
  SetValue(chunk, 7, 1.0);
  const std::vector<uint8_t> stateOnly(chunk.begin() + 8, chunk.end());
  EXPECT_EQ(host.SetChunk(true, stateOnly), 1);
  EXPECT_EQ(host.GetChunk(true), chunk);
}

TEST_F(VstHostTest, ShortChunksOfEarlierVersionsStillLoad) {
  std::vector<uint8_t> chunk = host.GetChunk(true);
  // Header, marker, part shown, model, then the values: what earlier
  // versions saved.
  std::vector<uint8_t> old(chunk.begin(), chunk.begin() + 28);
  std::vector<uint8_t> values = Bytes(chunk, kValuesAt, 8 * kStateParams);
  old.insert(old.end(), values.begin(), values.end());
  const double one = 1.0;
  std::memcpy(old.data() + 28 + 8 * 42, &one, sizeof(one));
  ASSERT_EQ(host.SetChunk(true, old), 1);
  SetValue(chunk, 42, 1.0);
  EXPECT_EQ(Bytes(host.GetChunk(true), kValuesAt, 8 * kStateParams), Bytes(chunk, kValuesAt, 8 * kStateParams));
}

TEST_F(VstHostTest, BadChunksAreRefusedAndChangeNothing) {
  std::vector<uint8_t> valid = host.GetChunk(true);
  SetValue(valid, 3, 1.0);
  ASSERT_EQ(host.SetChunk(true, valid), 1);

  auto changed = [&](size_t at, std::vector<uint8_t> bytes) {
    std::vector<uint8_t> copy = valid;
    SetValue(copy, 5, 1.0);  // so that a half-applied restore would show
    std::copy(bytes.begin(), bytes.end(), copy.begin() + static_cast<long>(at));
    return copy;
  };
  const size_t firstName = 40 + kSnapshotSize;
  std::vector<uint8_t> changedButTruncated = changed(0, {});
  changedButTruncated.pop_back();
  std::vector<uint8_t> random(4096);  // without a header: must not pass for a state
  std::mt19937 rng(7);
  for (uint8_t& b : random) b = static_cast<uint8_t>(rng());
  std::vector<uint8_t> nanValue = changed(kValuesAt + 8 * 9, {0, 0, 0, 0, 0, 0, 0xF8, 0x7F});

  const std::pair<const char*, std::vector<uint8_t>> table[] = {
      {"empty", {}},
      {"shorter than the header", {0x74, 0x66, 0x66}},
      {"header only", std::vector<uint8_t>(std::begin(kChunkHeader), std::end(kChunkHeader))},
      {"wrong header", changed(0, {0x75})},
      {"wrong state marker", changed(11, {0x02})},
      {"wrong block marker", changed(31, {0x02})},
      {"snapshot length past the end", changed(36, {0x7F, 0xFF, 0xFF, 0xFF})},
      {"negative snapshot length", changed(36, {0xFF, 0xFF, 0xFF, 0xF0})},
      {"negative name length", changed(firstName, {0xFC, 0xFF, 0xFF, 0xFF})},
      {"name length past the end", changed(firstName, {0x00, 0x00, 0x00, 0x40})},
      {"a value that is not a number", nanValue},
      {"truncated by one byte", changedButTruncated},
      {"random bytes", random}};
  for (const auto& [name, bytes] : table) {
    for (bool program : {true, false}) {
      EXPECT_EQ(host.SetChunk(program, bytes), 0) << name;
      EXPECT_EQ(host.GetChunk(true), valid) << name;
    }
  }

  uint8_t dummy[16] = {};
  EXPECT_EQ(host.Dispatch(effSetChunk, 1, -5, dummy), 0);
  EXPECT_EQ(host.Dispatch(effSetChunk, 1, 16, nullptr), 0);
  EXPECT_EQ(host.GetChunk(true), valid);
}

TEST_F(VstHostTest, HostMidiPassesThroughTheTrackWhenRoutedIntoTheHostsBuffer) {
  host.Dispatch(effSetBlockSize, 0, 64);
  host.Dispatch(effMainsChanged, 0, 1);
  // The routing switch is part of the project: "through the host" on,
  // "direct" off.
  std::vector<uint8_t> chunk = host.GetChunk(true);
  SetValue(chunk, 8705, 1.0);
  SetValue(chunk, 8704, 0.0);
  ASSERT_EQ(host.SetChunk(true, chunk), 1);

  VstMidiEvent note = MidiEvent(7, 0x91, 60, 100);  // part 2's channel
  VstMidiEvent program = MidiEvent(3, 0xC1, 5, 0);  // program changes are filtered
  VstEvents events{};
  events.numEvents = 2;
  events.events[0] = reinterpret_cast<VstEvent*>(&note);
  events.events[1] = reinterpret_cast<VstEvent*>(&program);
  host.ClearRecords();
  host.Dispatch(effProcessEvents, 0, 0, &events);
  host.RunBlock(TestHost::Process::kDoubleReplacing, 64, 0.0);
  const std::vector<HostEvent> out = host.Events();
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].type, kVstMidiType);
  EXPECT_EQ(out[0].deltaFrames, 7);
  EXPECT_EQ(out[0].bytes, (std::vector<uint8_t>{0x91, 60, 100}));
}

TEST_F(VstHostTest, RandomAndTruncatedChunksNeverHurt) {
  const std::vector<uint8_t> valid = host.GetChunk(true);
  std::mt19937 rng(1234);
  for (int i = 0; i < 200; ++i) {
    std::vector<uint8_t> bytes;
    switch (i % 3) {
      case 0:  // a valid chunk cut anywhere
        bytes.assign(valid.begin(), valid.begin() + static_cast<long>(rng() % valid.size()));
        break;
      case 1:  // random bytes behind a real header
        bytes.assign(std::begin(kChunkHeader), std::end(kChunkHeader));
        bytes.resize(8 + rng() % 512);
        for (size_t k = 8; k < bytes.size(); ++k) bytes[k] = static_cast<uint8_t>(rng());
        break;
      default:  // random bytes of any length
        bytes.resize(rng() % 2048);
        for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng());
        break;
    }
    const std::vector<uint8_t> before = host.GetChunk(true);
    if (host.SetChunk(i % 2 == 0, bytes) == 0) {
      EXPECT_EQ(host.GetChunk(true), before) << "case " << i;
    }
  }
}

TEST_F(VstHostTest, ProcessCallsLeaveTheAudioAlone) {
  host.Dispatch(effSetBlockSize, 0, 256);
  struct Row {
    TestHost::Process kind;
    double expected;
  };
  const Row table[] = {{TestHost::Process::kReplacing, 0.0},
                       {TestHost::Process::kAccumulating, 0.25},
                       {TestHost::Process::kDoubleReplacing, 0.25}};
  for (const Row& row : table) {
    host.ClearRecords();
    const auto out = host.RunBlock(row.kind, 256, 0.25);
    for (const auto& channel : out)
      for (double sample : channel) ASSERT_EQ(sample, row.expected);
    EXPECT_EQ(host.CountCalls(audioMasterWantMidi), 1);
  }
}

TEST_F(VstHostTest, BlocksLongerThanAnnouncedAreSafe) {
  host.Dispatch(effSetBlockSize, 0, 64);
  const auto out = host.RunBlock(TestHost::Process::kReplacing, 4096, 0.5);
  for (const auto& channel : out)
    for (double sample : channel) ASSERT_EQ(sample, 0.0);
  const auto acc = host.RunBlock(TestHost::Process::kAccumulating, 8192, 0.5);
  EXPECT_EQ(acc[1][8191], 0.5);
}

TEST_F(VstHostTest, ProcessAsksForTheTransport) {
  host.ClearRecords();
  host.RunBlock(TestHost::Process::kReplacing, 64, 0.0);
  bool askedForTime = false;
  for (const HostCall& call : host.Calls()) {
    if (call.opcode == audioMasterGetTime) askedForTime = call.value == 0x3E00;
  }
  EXPECT_TRUE(askedForTime);
}

TEST_F(VstHostTest, SysExFromTheHostGoesBackUnprocessed) {
  VstMidiEvent note = MidiEvent(12, 0x90, 60, 100);
  char dump[] = {static_cast<char>(0xF0), 0x3E, 0x10, 0x00, static_cast<char>(0xF7)};
  VstMidiSysexEvent sysex{};
  sysex.type = kVstSysExType;
  sysex.byteSize = sizeof(VstMidiSysexEvent);
  sysex.deltaFrames = 3;
  sysex.dumpBytes = sizeof(dump);
  sysex.sysexDump = dump;

  struct {
    VstInt32 numEvents;
    VstIntPtr reserved;
    VstEvent* events[3];
  } list{3, 0, {reinterpret_cast<VstEvent*>(&note), nullptr, reinterpret_cast<VstEvent*>(&sysex)}};

  host.ClearRecords();
  EXPECT_EQ(host.Dispatch(effProcessEvents, 0, 0, &list), 1);
  const std::vector<HostEvent> events = host.Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].type, kVstSysExType);
  EXPECT_EQ(events[0].deltaFrames, 3);
  EXPECT_EQ(events[0].bytes, std::vector<uint8_t>({0xF0, 0x3E, 0x10, 0x00, 0xF7}));
  EXPECT_EQ(host.CountCalls(audioMasterProcessEvents), 1);
}

TEST(VstHostLifecycle, InstancesComeAndGoCleanly) {
  TestHost host;
  ASSERT_TRUE(host.Loaded()) << host.LoadError();
  for (int i = 0; i < 5; ++i) {
    ASSERT_NE(host.Create(), nullptr);
    host.Dispatch(effOpen);
    host.Dispatch(effMainsChanged, 0, 1);
    host.RunBlock(TestHost::Process::kReplacing, 128, 0.0);
    long parent = 1;
    host.Dispatch(effEditOpen, 0, 0, &parent);
    host.Close();  // editor still open: the close must take it down
  }
}

// The functions the built plug-in takes from the process, read from its
// dynamic symbol table (64-bit ELF, as built here).
std::set<std::string> ImportedFunctions(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::set<std::string> names;
  if (file.size() < sizeof(Elf64_Ehdr)) return names;
  Elf64_Ehdr header;
  std::memcpy(&header, file.data(), sizeof header);
  const auto section = [&](size_t i) {
    Elf64_Shdr s{};
    const size_t at = header.e_shoff + i * sizeof(Elf64_Shdr);
    if (at + sizeof s <= file.size()) std::memcpy(&s, file.data() + at, sizeof s);
    return s;
  };
  for (size_t i = 0; i < header.e_shnum; ++i) {
    const Elf64_Shdr symbols = section(i);
    if (symbols.sh_type != SHT_DYNSYM || symbols.sh_offset + symbols.sh_size > file.size()) continue;
    const Elf64_Shdr strings = section(symbols.sh_link);
    for (size_t at = symbols.sh_offset; at + sizeof(Elf64_Sym) <= symbols.sh_offset + symbols.sh_size;
         at += sizeof(Elf64_Sym)) {
      Elf64_Sym symbol;
      std::memcpy(&symbol, file.data() + at, sizeof symbol);
      if (symbol.st_shndx != SHN_UNDEF || symbol.st_name == 0) continue;
      const size_t name = strings.sh_offset + symbol.st_name;
      if (name < file.size()) names.insert(std::string(file.data() + name, strnlen(file.data() + name, file.size() - name)));
    }
  }
  return names;
}

// The plug-in never acts on the host's process as a whole: it trims no heap
// (only memory it mapped itself goes back), sets no signal handler and
// changes neither the process's locale nor its limits.
TEST(VstHostLifecycle, ThePluginImportsNothingThatActsOnTheWholeProcess) {
  const std::set<std::string> imported = ImportedFunctions(TestHost::DefaultPluginPath());
  ASSERT_TRUE(imported.count("dlopen") || imported.count("malloc") || imported.count("_Znwm"))
      << "no dynamic symbols read from " << TestHost::DefaultPluginPath();
  ASSERT_TRUE(imported.count("munmap"));  // its large blocks are its own
  for (const char* name : {"malloc_trim", "mallopt", "signal", "sigaction", "setlocale", "setrlimit", "prlimit"})
    EXPECT_EQ(imported.count(name), 0u) << name;
}

TEST(VstHostLifecycle, TwoThreadsCreateAtOnce) {
  TestHost a, b;
  std::thread first([&] { a.Create(); });
  std::thread second([&] { b.Create(); });
  first.join();
  second.join();
  ASSERT_NE(a.Effect(), nullptr);
  ASSERT_NE(b.Effect(), nullptr);
  EXPECT_NE(a.Effect(), b.Effect());
  EXPECT_EQ(a.GetChunk(true), b.GetChunk(true));
}

// A host that exits while another process holds the library folder: the
// start-up load waiting for that folder is given up, so the unload and the
// exit do not wait for the other process.
TEST(VstHostLifecycle, AHostExitsAtOnceWhileAnotherProcessHoldsTheLibraryFolder) {
  const char* base = std::getenv("XDG_DATA_HOME");
  ASSERT_NE(base, nullptr);
  const std::filesystem::path data = std::filesystem::path(base) / ("exit-" + std::to_string(::getpid()));
  const std::filesystem::path patches = data / "Kelmscroft" / "Zorozov Tarnivex Editor" / "Patches";
  std::filesystem::create_directories(patches);
  LockHolder holder(patches);
  ASSERT_TRUE(holder.held);
  // The environment the host starts with, its data folder its own. The
  // sanitizer's leak check walks the whole heap at exit: no part of what the
  // plug-in keeps a host waiting for.
  std::vector<std::string> environment;
  std::string sanitizer = "ASAN_OPTIONS=";
  for (char** entry = environ; *entry; ++entry) {
    if (std::strncmp(*entry, "ASAN_OPTIONS=", 13) == 0) sanitizer = std::string(*entry) + ":";
    else if (std::strncmp(*entry, "XDG_DATA_HOME=", 14) != 0) environment.emplace_back(*entry);
  }
  environment.push_back(sanitizer + "detect_leaks=0");
  environment.push_back("XDG_DATA_HOME=" + data.string());
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    ::close(out[0]);
    ::close(out[1]);
    char* argv[] = {const_cast<char*>(TARNIVEX_HOST_CYCLE), nullptr};
    ::execve(TARNIVEX_HOST_CYCLE, argv, envp.data());
    ::_exit(127);
  }
  ::close(out[1]);
  std::string said;
  std::optional<std::chrono::steady_clock::time_point> closed;
  char buffer[256];
  for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) {
    said.append(buffer, static_cast<size_t>(n));
    if (!closed && said.find("closed\n") != std::string::npos) closed = std::chrono::steady_clock::now();
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  const auto exited = std::chrono::steady_clock::now();
  ::close(out[0]);
  holder.letGo();
  ASSERT_TRUE(closed) << said;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_LT(exited - *closed, std::chrono::seconds(1));
  std::filesystem::remove_all(data);
}

namespace {
// A host that allocates nothing in its callback.
VstIntPtr QuietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}
}  // namespace

// A host's audio thread may be new to the plug-in at any block (hosts start
// and end their worker threads as they like): its first block and its first
// event call allocate nothing, as every later one, so they touch no
// thread-local storage of the plug-in's that the system would make for them.
TEST(VstHostRealtime, TheFirstBlockAndEventCallOnAThreadAllocateNothing) {
  if (!ThreadAllocations::counted()) GTEST_SKIP() << "the allocations are counted through a sanitizer's allocator";
  void* library = dlopen(TestHost::DefaultPluginPath().c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  auto entry = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(library, "VSTPluginMain"));
  ASSERT_NE(entry, nullptr);
  AEffect* effect = entry(QuietHost);
  ASSERT_NE(effect, nullptr);
  effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
  effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
  effect->dispatcher(effect, effSetBlockSize, 0, 64, nullptr, 0.0f);
  effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
  std::vector<double> samples(64);
  double* channels[] = {samples.data(), samples.data()};
  VstMidiEvent note = MidiEvent(0, 0x90, 60, 100);
  VstEvents events{1, 0, {reinterpret_cast<VstEvent*>(&note), nullptr}};
  // Once on a thread of its own, so that what the start-up does for a
  // running instance is done.
  std::thread([&] {
    effect->dispatcher(effect, effProcessEvents, 0, 0, &events, 0.0f);
    effect->processDoubleReplacing(effect, channels, channels, 64);
  }).join();
  struct Row {
    const char* name;
    std::function<void()> call;
  };
  const Row table[] = {
      {"the host's event call", [&] { effect->dispatcher(effect, effProcessEvents, 0, 0, &events, 0.0f); }},
      {"the block", [&] { effect->processDoubleReplacing(effect, channels, channels, 64); }},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.name);
    int made = -1;
    std::thread([&] {
      const ThreadAllocations allocations;
      row.call();
      made = allocations.count();
    }).join();
    EXPECT_EQ(made, 0);
  }
  effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  dlclose(library);
}
