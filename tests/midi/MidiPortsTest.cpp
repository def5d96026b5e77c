// Device lists, selection by name and name lookups of the direct ports.
#include "MemoryMidiTest.h"

namespace {
struct Direction {
  const char* label;
  std::vector<std::string>& (IPlugBase::*names)();
  int (IPlugBase::*select)(int&, const char*);
  int (IPlugBase::*device)(const char*);
  int (IPlugBase::*portNumber)(const char*);
  MemoryPortRecord (*view)(const MemoryMidiBackend&);
  void (MemoryMidiBackend::*setPorts)(std::vector<std::string>);
  size_t (MemoryMidiBackend::*objects)() const;
  const char* clientName;
  const char* portName;
  const char* virtualName;
};

const Direction kOut = {
    "Out", &IPlugBase::getExternalMIDIOutNames, &IPlugBase::setExternalMIDIOut, &IPlugBase::getExternalMIDIOutDevice,
    &IPlugBase::GetMIDIOutPortNumber,
    [](const MemoryMidiBackend& b) -> MemoryPortRecord { return b.out(); },
    &MemoryMidiBackend::setOutPorts, &MemoryMidiBackend::outObjects, "RtMidi Output Client", "RtMidi Output",
    "virtual output"};

const Direction kIn = {
    "In", &IPlugBase::getExternalMIDIInNames, &IPlugBase::setExternalMIDIIn, &IPlugBase::getExternalMIDIInDevice,
    &IPlugBase::GetMIDIInPortNumber,
    [](const MemoryMidiBackend& b) -> MemoryPortRecord { return b.in(); },
    &MemoryMidiBackend::setInPorts, &MemoryMidiBackend::inObjects, "RtMidi Input Client", "RtMidi Input",
    "virtual input"};

class DirectPortTest : public MemoryMidiTest, public ::testing::WithParamInterface<Direction> {
 protected:
  const Direction& d() const { return GetParam(); }
  std::vector<std::string>& Names() { return (plug.get()->*d().names)(); }
  int Select(int& index, const char* name) { return (plug.get()->*d().select)(index, name); }
  MemoryPortRecord View() const { return d().view(*backend); }
};

std::string DirectionName(const ::testing::TestParamInfo<Direction>& info) { return info.param.label; }

TEST_P(DirectPortTest, ListStartsWithSelectAndIsBuiltOnce) {
  std::vector<std::string>& names = Names();
  EXPECT_EQ(names, (std::vector<std::string>{kSelect, "A", "B"}));
  (backend.get()->*d().setPorts)({"C"});
  EXPECT_EQ(&Names(), &names);
  EXPECT_EQ(names, (std::vector<std::string>{kSelect, "A", "B"}));
  EXPECT_EQ((backend.get()->*d().objects)(), 1u);
  EXPECT_EQ(View().clientName, d().clientName);
}

TEST_P(DirectPortTest, IndexZeroAndReselectionCloseTheOpenPort) {
  Names();
  int index = 1;
  ASSERT_EQ(Select(index, "A"), 1);
  index = 2;
  ASSERT_EQ(Select(index, "B"), 2);
  EXPECT_EQ(View().closes, 1);
  EXPECT_EQ(View().openedPort, 1);
  index = 0;
  EXPECT_EQ(Select(index, "B"), 0);
  EXPECT_EQ(index, 0);
  EXPECT_FALSE(View().open);
  EXPECT_EQ(View().closes, 2);
}

TEST_P(DirectPortTest, NamesBeyondTheLiveCountAreNotMatched) {
  Names();
  (backend.get()->*d().setPorts)({"A"});
  int index = 2;
  EXPECT_EQ(Select(index, "B"), 0);
  EXPECT_EQ(index, 0);
  EXPECT_FALSE(View().open);
}

TEST_P(DirectPortTest, APortThatMovedIsOpenedByItsName) {
  Names();
  (backend.get()->*d().setPorts)({"B", "A"});
  int index = 2;
  EXPECT_EQ(Select(index, "B"), 2);
  EXPECT_EQ(View().openedPort, 0);
}

TEST_P(DirectPortTest, AnOpenFailureReturnsZeroAndKeepsThePosition) {
  Names();
  backend->setOpenFails(true);
  int index = 1;
  EXPECT_EQ(Select(index, "B"), 0);
  EXPECT_EQ(index, 2);
  EXPECT_FALSE(View().open);
}

TEST_P(DirectPortTest, LookupsReadTheCachedListAndTheLiveNames) {
  Names();
  (backend.get()->*d().setPorts)({"A", "B", "C"});
  const struct {
    const char* name;
    int device;
    int portNumber;
  } kCases[] = {{kSelect.c_str(), 0, 0}, {"A", 1, 1}, {"B", 2, 2}, {"C", -1, 3}, {"Z", -1, -1}};
  for (const auto& c : kCases) {
    EXPECT_EQ((plug.get()->*d().device)(c.name), c.device) << c.name;
    EXPECT_EQ((plug.get()->*d().portNumber)(c.name), c.portNumber) << c.name;
  }
  EXPECT_EQ((plug.get()->*d().portNumber)(d().virtualName), 1);
}

TEST_P(DirectPortTest, WithoutAMidiSystemTheListHoldsOnlySelect) {
  backend->setCreateFails(true);
  EXPECT_EQ(Names(), std::vector<std::string>{kSelect});
  int index = 1;
  EXPECT_EQ(Select(index, "A"), 0);
  EXPECT_EQ(index, 1);
  EXPECT_EQ((plug.get()->*d().device)("A"), -1);
  EXPECT_EQ((plug.get()->*d().device)(kSelect.c_str()), -1);
  EXPECT_EQ((plug.get()->*d().portNumber)("A"), -1);
  EXPECT_EQ((plug.get()->*d().portNumber)(kSelect.c_str()), 0);
  EXPECT_EQ((plug.get()->*d().portNumber)(d().virtualName), 1);
}

TEST_P(DirectPortTest, SelectionBeforeTheListIsBuiltOpensNothing) {
  int index = 1;
  EXPECT_EQ(Select(index, "A"), 0);
  EXPECT_EQ((plug.get()->*d().device)("A"), -1);
  EXPECT_EQ((backend.get()->*d().objects)(), 0u);
}

INSTANTIATE_TEST_SUITE_P(BothDirections, DirectPortTest, ::testing::Values(kOut, kIn), DirectionName);

struct SelectionCase {
  const char* label;
  int index;
  const char* name;
  int result;
  int indexAfter;
  int openedPort;  // -1: the port stays closed
};

class SelectionTest : public MemoryMidiTest,
                      public ::testing::WithParamInterface<std::tuple<Direction, SelectionCase>> {};

TEST_P(SelectionTest, OpensThePortTheNameGivesAndWritesItsPositionBack) {
  const auto& [d, c] = GetParam();
  (plug.get()->*d.names)();
  int index = c.index;
  EXPECT_EQ((plug.get()->*d.select)(index, c.name), c.result);
  EXPECT_EQ(index, c.indexAfter);
  const MemoryPortRecord view = d.view(*backend);
  EXPECT_EQ(view.open, c.openedPort >= 0);
  if (c.openedPort >= 0) {
    EXPECT_EQ(view.openedPort, c.openedPort);
    EXPECT_EQ(view.portName, d.portName);
  }
}

const SelectionCase kSelections[] = {
    {"SecondDevice", 2, "B", 2, 2, 1},   {"FirstDevice", 1, "A", 1, 1, 0},
    {"StaleIndex", 1, "B", 2, 2, 1},     {"UnknownName", 2, "Z", 0, 0, -1},
    {"Select", 3, "Select MIDI Device", 0, 0, -1}, {"IndexZero", 0, "B", 0, 0, -1},
};

INSTANTIATE_TEST_SUITE_P(Cases, SelectionTest, ::testing::Combine(::testing::Values(kOut, kIn),
                                                                   ::testing::ValuesIn(kSelections)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).label) + std::get<1>(info.param).label;
                         });

TEST_F(MemoryMidiTest, InObjectGetsQueueLimitCallbackAndFilter) {
  plug->getExternalMIDIInNames();
  const MemoryInRecord in = backend->in();
  EXPECT_EQ(in.queueLimit, 100u);
  EXPECT_TRUE(in.callbackInstalled);
  EXPECT_FALSE(in.ignoreSysex);
  EXPECT_TRUE(in.ignoreTiming);
  EXPECT_TRUE(in.ignoreActiveSensing);
}

TEST_F(MemoryMidiTest, VirtualOutputReplacesAndClosesTheOldObject) {
  OpenA();
  ASSERT_TRUE(plug->initializeVirtualOutput("Tarnivex"));
  EXPECT_FALSE(backend->out(0).alive);
  EXPECT_EQ(backend->out(0).closes, 1);
  const MemoryOutRecord virtualOut = backend->out();
  EXPECT_EQ(virtualOut.clientName, "RtMidi Output Client");
  EXPECT_TRUE(virtualOut.isVirtual);
  EXPECT_EQ(virtualOut.portName, "From Tarnivex");
  EXPECT_TRUE(plug->SendMidiSysex2({0xF8}));
  EXPECT_EQ(Sent(), std::vector<MidiBytes>{{0xF8}});
}

TEST_F(MemoryMidiTest, AFailedVirtualOutputLeavesNoOutObject) {
  OpenA();
  backend->setOpenFails(true);
  EXPECT_FALSE(plug->initializeVirtualOutput("Tarnivex"));
  EXPECT_FALSE(plug->SendMidiSysex2({0xF8}));
  EXPECT_EQ(plug->GetMIDIOutPortNumber("A"), -1);
}
}  // namespace
