// Library entries on their way to the instrument, and the editor's multi on
// its way into a library slot: what the instrument's memory and the slot hold
// afterwards, byte for byte.
#include <gtest/gtest.h>

#include "ArrangementDumps.h"
#include "ParamIndex.h"
#include "ProtocolTestSupport.h"

namespace {
using Bytes = std::vector<unsigned char>;
constexpr int kId = 0x13;

class LibraryPathsTest : public ::testing::Test, public EngineFixture {
 protected:
  LibraryPathsTest() {
    editor.setValue(kGlobalSysExID, kId);
    manager->virtualPause = [](int) { return true; };
  }
  void run(const SenderJob& job) { ASSERT_TRUE(runJob(job)); }
};

TEST_F(LibraryPathsTest, ALibrarySendWritesIntoTheInstrumentsMemoryOnlyInItsStoreForm) {
  const struct {
    const char* what;
    bool multi, store;
  } rows[] = {{"sound, double click", false, false},
              {"sound, to the selected slot and bank", false, true},
              {"multi, double click", true, false},
              {"multi, to the selected slot", true, true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    SimulatedInstrument instrument(kId);
    const SimulatedInstrument untouched(kId);
    editor.instrument = &instrument;
    editor.clearRecords();
    editor.multiMode = row.multi;
    editor.setValue(kMultiPartBank + 4, 2);
    LibrarianPatch entry;
    entry.dumps.push_back({row.multi ? SimulatedInstrument::multiDump(3, 0, 9, "Stored Multi")
                                     : SimulatedInstrument::soundDump(3, 1, 77, "Stored Bass")});
    SenderJob job;
    job.jobCode = 3;
    job.partArgument = 4;
    job.slotArgument = 42;
    job.patchArgument = entry;
    manager->librarySendActive = row.store;
    run(job);

    // The editor holds the entry and the instrument plays it.
    if (row.multi) {
      EXPECT_EQ(editor.paramDisplayText(kMultiName, 0), "Stored Multi    ");
      const Bytes playing = instrument.multiBuffer();
      EXPECT_EQ(std::string(playing.begin() + 23, playing.begin() + 39), "Stored Multi    ");
    } else {
      EXPECT_EQ(editor.paramDisplayText(kPatchName + 4, 0), "Stored Bass     ");
      EXPECT_EQ(instrument.partsStored(), std::vector<int>{4});
    }
    EXPECT_FALSE(manager->librarySendActive);

    const auto stored = [&](const SimulatedInstrument& on) {
      return row.multi ? on.storedMulti(42) : on.storedSound(2, 42);
    };
    if (!row.store) {
      EXPECT_TRUE(editor.sentRaw().empty());
      EXPECT_EQ(stored(instrument), stored(untouched));
      continue;
    }
    // Stored at the part's bank (sounds) and the slot, with a fresh checksum.
    Bytes expected = entry.dumps[0].bytes;
    const Bytes address = {0x10, kId, static_cast<unsigned char>(row.multi ? 0x11 : 0x10),
                           static_cast<unsigned char>(row.multi ? 0 : 2), 42};
    std::copy(address.begin(), address.end(), expected.begin() + 2);
    unsigned sum = 0;
    for (size_t i = 4; i + 2 < expected.size(); ++i) sum += expected[i];
    expected[expected.size() - 2] = static_cast<unsigned char>(sum & 0x7F);
    EXPECT_EQ(editor.sentRaw(), std::vector<Bytes>{expected});
    EXPECT_EQ(stored(instrument), expected);
    EXPECT_TRUE(instrument.checksumErrors().empty());
  }
}

// "Get DATA from.. Plug-in (active patch)" in multi mode: the editor's multi
// lands in the selected slot as the instrument would have sent it.
TEST_F(LibraryPathsTest, TheEditorsMultiGoesIntoTheSelectedSlotWithItsChecksum) {
  editor.multiMode = true;
  editor.setValue(kMultiTempo, 99);
  editor.setValue(kMultiPartLevel + 3, 77);
  editor.setParamDisplayText(kMultiName, 0, "Slot Multi");
  SenderJob toInstrument;
  toInstrument.jobCode = 0;
  run(toInstrument);
  ASSERT_FALSE(editor.sentSysEx().empty());
  const Bytes sent = editor.sentSysEx()[0];  // checked against the layout elsewhere

  const int bank = librarian.addBank(1, "Multis.syx");
  librarian.librarianMode = 1;
  librarian.upperBank = bank;
  librarian.targetSlot = 8;
  SenderJob toSlot = toInstrument;
  toSlot.firstSendFlag = true;  // to the librarian
  editor.clearRecords();
  run(toSlot);
  const LibrarianPatch entry = librarian.entryAt(1, bank, 8);
  ASSERT_EQ(entry.dumps.size(), 1u);
  const Bytes& dump = entry.dumps[0].bytes;
  unsigned sum = 0;
  for (int i = 4; i <= 390; ++i) sum += dump.at(static_cast<size_t>(i));
  EXPECT_EQ(dump.at(391), sum & 0x7F);
  EXPECT_EQ(dump, sent);
  EXPECT_TRUE(editor.sentSysEx().empty());  // nothing reached the instrument
}
}  // namespace
