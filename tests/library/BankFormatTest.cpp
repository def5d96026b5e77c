// Bank files byte for byte: the built-in dumps, the SysEx and Standard MIDI
// File writers, the reader's scan rules, padding and the conversion of Q and
// Rerover sound dumps.
#include <numeric>

#include "FrameChecksum.h"
#include "BankFileFormat.h"
#include "InitPatches.h"
#include "LibraryTestSupport.h"

namespace {
PatchFile bankOf(const Bytes& image) {
  PatchLibrarian librarian;
  PatchFile bank;
  librarian.loadFromChunk(image, static_cast<int>(image.size()), &bank);
  return bank;
}

PatchFile bankOfDumps(const std::vector<Bytes>& dumps, int bankType) {
  PatchFile bank;
  bank.bankType = bankType;
  for (const auto& d : dumps) {
    LibrarianPatch entry;
    entry.dumps.push_back({d});
    bank.patches.push_back(entry);
  }
  return bank;
}

std::vector<Bytes> dumpsOf(int count, bool multi) {
  std::vector<Bytes> dumps;
  for (int i = 0; i < count; ++i)
    dumps.push_back(multi ? multiDump(numbered("M", i), static_cast<unsigned char>(i)) : soundDump(numbered("S", i), "Bass", static_cast<unsigned char>(i)));
  return dumps;
}

// The file as the fixed templates lay it out.
Bytes templateImage(const std::vector<Bytes>& dumps, bool multi) {
  const auto& head = multi ? multiBankHeader : patchBankHeader;
  const auto& between = multi ? multiBankInBetween : patchBankInBetween;
  Bytes out(head.begin(), head.end());
  for (size_t i = 0; i < dumps.size(); ++i) {
    if (i) out.insert(out.end(), between.begin(), between.end());
    out.insert(out.end(), dumps[i].begin() + 1, dumps[i].end());
  }
  out.insert(out.end(), {0x00, 0xFF, 0x2F, 0x00});
  return out;
}

}  // namespace

struct GoldenCase {
  const char* label;
  bool multi;
  bool midi;
  size_t size;
};

class GoldenBanks : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenBanks, WrittenFileEqualsTheTemplatesAndReadsBack) {
  const GoldenCase c = GetParam();
  const auto dumps = dumpsOf(100, c.multi);
  const PatchFile bank = bankOfDumps(dumps, c.multi ? 1 : 0);
  const Bytes image = writeBankImage(bank, c.midi, c.multi);
  ASSERT_EQ(image.size(), c.size);
  EXPECT_EQ(image, c.midi ? templateImage(dumps, c.multi) : concat(dumps));

  const PatchFile back = bankOf(image);
  ASSERT_EQ(back.patches.size(), 100u);
  EXPECT_EQ(back.bankType, c.multi ? 1 : 0);
  for (size_t i = 0; i < 100; ++i) {
    const Bytes& d = back.patches[i].dumps.at(0).bytes;
    Bytes expected = dumps[i];
    expected[5] = static_cast<unsigned char>(i);  // the slot the reader gives
    expected[expected.size() - 2] = sim::frameChecksum(expected);
    EXPECT_EQ(d, expected) << "entry " << i;
    EXPECT_EQ(back.patches[i].name, numbered(c.multi ? "M" : "S", static_cast<int>(i)));
    EXPECT_EQ(back.patches[i].category, c.multi ? "" : "Bass");
    EXPECT_EQ(back.patches[i].typeCode, c.multi ? 3 : 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, GoldenBanks,
                         ::testing::Values(GoldenCase{"SoundSyx", false, false, 39200},
                                           GoldenCase{"MultiSyx", true, false, 39300},
                                           GoldenCase{"SoundMid", false, true, 39652},
                                           GoldenCase{"MultiMid", true, true, 39752}),
                         LabelName);

// What a stock reader sees: format 1, two tracks, 480 ticks, tempo 120 and
// 4/4, then one SysEx event per dump 500 ticks apart, whatever the dumps.
TEST(StandardMidiFile, ParsesIntoTheSameSysExEventsForAnyDumps) {
  struct Case {
    const char* label;
    std::vector<std::vector<Bytes>> entries;  // per entry its dumps
  };
  const Bytes received(390, 0x05);
  Bytes longDump = soundDump("Long");
  longDump.insert(longDump.end() - 1, 200, 0x01);
  const std::vector<Case> cases = {
      {"hundred sounds", {}},
      {"empty first entry", {{}, {soundDump("A")}, {soundDump("B")}}},
      {"entry with two dumps", {{soundDump("A"), multiDump("B")}, {soundDump("C")}}},
      {"odd sizes", {{Bytes{0xF0, 0x3E, 0xF7}}, {longDump}, {Bytes(received)}}},
      {"no dumps", {{}, {}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    PatchFile bank;
    std::vector<Bytes> expected;
    if (c.entries.empty()) {
      bank = bankOfDumps(dumpsOf(100, false), 0);
      for (const auto& e : bank.patches) expected.push_back(e.dumps[0].bytes);
    }
    for (const auto& dumps : c.entries) {
      LibrarianPatch entry;
      for (const auto& d : dumps) {
        entry.dumps.push_back({d});
        expected.push_back(d);
      }
      bank.patches.push_back(entry);
    }
    const SmfFile smf = parseSmf(writeBankImage(bank, true));
    ASSERT_TRUE(smf.ok);
    EXPECT_EQ(smf.format, 1);
    EXPECT_EQ(smf.tracks, 2);
    EXPECT_EQ(smf.division, 480);
    ASSERT_EQ(smf.events.size(), 2u);
    ASSERT_EQ(smf.events[0].size(), 3u);
    EXPECT_EQ(smf.events[0][0].metaType, 0x58);
    EXPECT_EQ(smf.events[0][0].data, (Bytes{4, 2, 24, 8}));
    EXPECT_EQ(smf.events[0][1].metaType, 0x51);
    EXPECT_EQ(smf.events[0][1].data, (Bytes{0x07, 0xA1, 0x20}));
    const auto& track = smf.events[1];
    ASSERT_EQ(track.size(), expected.size() + 1);
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(track[i].kind, 1);
      EXPECT_EQ(track[i].tick, 500 * i);
      // A message kept without its F0 is carried whole.
      const long from = expected[i][0] == 0xF0 ? 1 : 0;
      EXPECT_EQ(track[i].data, Bytes(expected[i].begin() + from, expected[i].end())) << "event " << i;
    }
    EXPECT_EQ(track.back().metaType, 0x2F);
  }
}

TEST(BankWriter, FindByteStopsPastTheByteOrAtTheEnd) {
  const Bytes data = {0x01, 0x3E, 0x02, 0x3E};
  struct Case {
    int pos, value;
    bool found;
    int after;
  };
  for (const Case c : {Case{0, 0x3E, true, 2}, Case{2, 0x3E, true, 4}, Case{0, 0x7F, false, -1}, Case{4, 0x3E, false, -1},
                       Case{-1, 0x3E, false, -1}, Case{-2, 0x3E, true, -2}}) {
    int pos = c.pos;
    EXPECT_EQ(findByte(data, pos, c.value), c.found) << c.pos << " " << c.value;
    EXPECT_EQ(pos, c.after);
  }
}

TEST(BankWriter, WritesTheFirstHundredEntriesOnly) {
  const PatchFile bank = bankOfDumps(dumpsOf(120, false), 0);
  EXPECT_EQ(writeBankImage(bank, false).size(), 39200u);
  EXPECT_EQ(writeBankImage(bank, true).size(), 39652u);
}

// ---- The reader's scan.

struct ScanCase {
  const char* label;
  Bytes file;
  std::vector<int> slots;  // byte 5 of every dump read, before padding
  size_t entries;          // after padding
};

std::vector<ScanCase> scanCases() {
  Bytes withDevice7F = soundDump("Seven", "Pad", 0x11, 0x10, 0x7F);
  Bytes withDevice80 = soundDump("Eighty", "Pad", 0x11, 0x10, 0x80);
  Bytes badModel = soundDump("Bad", "Pad", 0x11, 0x42);
  Bytes smfWrongLength = {'M', 'T', 'h', 'd', 0, 0, 0, 7, 0, 1, 0, 2, 1, 0xE0, 0};
  smfWrongLength = concat({smfWrongLength, soundDump("A"), soundDump("B")});
  Bytes qNoHeader;
  Bytes qWithHeader = soundDump("Head");
  for (int i = 0; i < 130; ++i) {
    const Bytes q = soundDump(numbered("Q", i), "Lead", 0x01, 0x0F);
    qNoHeader.insert(qNoHeader.end(), q.begin(), q.end());
    qWithHeader.insert(qWithHeader.end(), q.begin(), q.end());
  }
  std::vector<int> wrap127(130), wrap99(131);
  std::iota(wrap127.begin(), wrap127.end(), 0);
  for (int i = 0; i < 130; ++i) wrap127[static_cast<size_t>(i)] = i % 128;
  for (int i = 0; i < 131; ++i) wrap99[static_cast<size_t>(i)] = i % 100;
  Bytes endsIn3E10 = concat({soundDump("A"), Bytes{0x3E, 0x10}});
  Bytes cutShort = soundDump("Cut");
  cutShort.resize(200);  // no end byte: the next dump's F0 ends it
  return {
      {"a dump cut short ends where the next begins", concat({cutShort, soundDump("B"), soundDump("C")}), {0, 1, 2}, 100},
      {"a dump short then F7 ends at its F7", concat({cutShort, Bytes{0xF7}, soundDump("B")}), {0, 1}, 100},
      {"fourteen bytes", Bytes(14, 0x3E), {}, 0},
      {"ends with 3E 10", endsIn3E10, {0}, 100},
      {"device 7F accepted", concat({withDevice7F, soundDump("B")}), {0, 1}, 100},
      {"device 80 skipped", concat({withDevice80, soundDump("B")}), {0}, 100},
      {"valid invalid valid", concat({soundDump("A"), badModel, soundDump("C")}), {0, 2}, 100},
      {"MThd with length 7 read as SysEx", smfWrongLength, {0, 1}, 100},
      {"Q dumps wrap after 127", qNoHeader, wrap127, 130},
      {"with a dirirU head they wrap after 99", qWithHeader, wrap99, 131},
      {"no dump at all", Bytes(40000, 0x00), {}, 0},
  };
}

class Scan : public ::testing::TestWithParam<ScanCase> {};

TEST_P(Scan, FindsTheDumpsAndNumbersTheirSlots) {
  const ScanCase& c = GetParam();
  const PatchFile bank = bankOf(c.file);
  std::vector<int> slots;
  for (const auto& e : bank.patches) {
    if (e.typeCode == 0 || e.typeCode == 3) slots.push_back(e.dumps[0].bytes[5]);
  }
  EXPECT_EQ(slots, c.slots);
  EXPECT_EQ(bank.patches.size(), c.entries);
  for (const auto& e : bank.patches) {
    if (e.typeCode != 0) continue;
    const Bytes& d = e.dumps.at(0).bytes;
    EXPECT_EQ((Bytes(d.begin(), d.begin() + 5)), (Bytes{0xF0, 0x3E, 0x10, 0x00, 0x10}));
    EXPECT_EQ(d[390], sim::frameChecksum(d));
  }
}

INSTANTIATE_TEST_SUITE_P(Reader, Scan, ::testing::ValuesIn(scanCases()), LabelName);

// What a save over a file would lose: every byte that is not in a dump the
// library reads or in the file format it writes.
TEST(KeptData, WhatTheLibraryDoesNotKeepIsNamed) {
  const Bytes sounds = concat(dumpsOf(100, false));
  Bytes global(120, 0x02);
  global[0] = 0xF0, global[1] = 0x3E, global[2] = 0x10, global[3] = 0x00, global[4] = 0x14, global.back() = 0xF7;
  // A Standard MIDI File of one track holding the given events.
  const auto smf = [](const Bytes& events) {
    Bytes out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k'};
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>((events.size() + 4) >> shift));
    out.insert(out.end(), events.begin(), events.end());
    out.insert(out.end(), {0x00, 0xFF, 0x2F, 0x00});
    return out;
  };
  // A message sent in two packets: an F0 event holding the first bytes after
  // the F0, then an F7 event holding the rest (lengths under 16,384).
  const auto packets = [](const Bytes& message, size_t first) {
    const auto event = [](unsigned char status, Bytes data) {
      Bytes out = {0x00, status};
      if (data.size() >= 0x80) out.push_back(static_cast<unsigned char>(0x80 | data.size() >> 7));
      out.push_back(static_cast<unsigned char>(data.size() & 0x7F));
      return concat({out, data});
    };
    return concat({event(0xF0, Bytes(message.begin() + 1, message.begin() + 1 + static_cast<long>(first))),
                   event(0xF7, Bytes(message.begin() + 1 + static_cast<long>(first), message.end()))});
  };
  const Bytes sound(sounds.begin(), sounds.begin() + 392);
  // The track's length one byte short: the end event's last byte follows it.
  const auto shortTrack = [](Bytes image) {
    --image[21];
    return image;
  };
  const struct {
    const char* label;
    Bytes image;
    std::string unkept;
  } rows[] = {
      {"sounds as the library writes them", sounds, ""},
      {"multis in a Standard MIDI File", templateImage(dumpsOf(100, true), true), ""},
      {"a dump cut short", concat({Bytes(sounds.begin(), sounds.begin() + 200), sounds}), ""},
      {"a global dump", concat({sounds, global}), "a global dump"},
      {"another maker's SysEx", concat({Bytes{0xF0, 0x43, 0x10, 0x4C, 0x00, 0xF7}, sounds}), "another maker's SysEx"},
      {"a note between dumps", concat({sounds, Bytes{0x90, 0x3C, 0x40}}), "data outside any dump"},
      {"tempo and time signature", smf({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x58, 0x04, 4, 2, 24, 8}), ""},
      {"a note in a track", smf({0x00, 0x90, 0x3C, 0x40}), "MIDI events other than dumps"},
      {"a note after the track's end", smf({0x00, 0xFF, 0x2F, 0x00, 0x00, 0x90, 0x3C, 0x40}),
       "data the library cannot read"},
      {"a global dump in a track", smf(concat({Bytes{0x00, 0xF0, 0x77}, Bytes(global.begin() + 1, global.end())})),
       "a global dump"},
      {"a dump whose first packet holds 0 bytes", smf(concat({packets(sound, 0), packets(sound, 0)})), ""},
      {"a dump whose first packet holds 4 bytes", smf(concat({packets(sound, 4), packets(sound, 4)})), ""},
      {"a global dump in packets", smf(concat({packets(sound, 4), packets(global, 0)})), "a global dump"},
      {"another maker's SysEx in packets", smf(packets(Bytes{0xF0, 0x43, 0x10, 0x4C, 0x00, 0xF7}, 0)),
       "another maker's SysEx"},
      {"an F7 event that continues nothing", smf(concat({packets(sound, 4), Bytes{0x00, 0xF7, 0x02, 0xFA, 0xFC}})),
       "other SysEx"},
      {"a track whose length ends inside its end event", shortTrack(smf(packets(sound, 4))),
       "data the library cannot read"},
  };
  for (const auto& row : rows) EXPECT_EQ(unkeptData(row.image), row.unkept) << row.label;
}

TEST(Reader, CompletesShortDumpsAndKeepsLongOnes) {
  // A 300-byte sound: its own bytes up to its F7, zeros in place of the F7
  // and on to 389, the checksum at 390, F7: no end byte inside the dump.
  Bytes shortSound(300, 0x09);
  shortSound[0] = 0xF0, shortSound[1] = 0x3E, shortSound[2] = 0x10, shortSound[3] = 0, shortSound[4] = 0x10, shortSound[5] = 0;
  shortSound[299] = 0xF7;
  Bytes file = concat({shortSound, Bytes(40, 0x00)});
  PatchFile bank = bankOf(file);
  ASSERT_EQ(bank.patches.size(), 100u);
  const Bytes& d = bank.patches[0].dumps[0].bytes;
  ASSERT_EQ(d.size(), 392u);
  EXPECT_EQ(d[298], 0x09);
  EXPECT_EQ(d[299], 0x00);
  EXPECT_EQ(d[300], 0x00);
  EXPECT_EQ(d[389], 0x00);
  EXPECT_EQ(d[390], sim::frameChecksum(d));
  EXPECT_EQ(d[391], 0xF7);

  // A Rerover multi: body unchanged, completed to 393, fresh checksum.
  Bytes rerover = multiDump("Rerover Multi", 0x33, 0x13);
  rerover.resize(200);
  rerover.push_back(0xF7);
  bank = bankOf(rerover);
  const Bytes& m = bank.patches.at(0).dumps[0].bytes;
  ASSERT_EQ(m.size(), 393u);
  EXPECT_EQ(Bytes(m.begin() + 6, m.begin() + 200), Bytes(rerover.begin() + 6, rerover.begin() + 200));
  EXPECT_EQ(m[391], sim::frameChecksum(m));
  EXPECT_EQ(bank.bankType, 1);
}

// ---- Padding.

TEST(Padding, FillsSoundBanksWithNumberedInitSounds) {
  PatchFile bank = bankOf(soundFile("S", 37));
  ASSERT_EQ(bank.patches.size(), 100u);
  for (int k = 38; k <= 100; ++k) {
    const auto& e = bank.patches[static_cast<size_t>(k - 1)];
    char name[17];
    std::snprintf(name, sizeof(name), "Init         %03d", k);
    EXPECT_EQ(e.name, std::string(name, 16));
    EXPECT_EQ(e.category, std::string(4, '\0'));
    const Bytes& d = e.dumps.at(0).bytes;
    ASSERT_EQ(d.size(), 392u);
    EXPECT_EQ(Bytes(d.begin(), d.begin() + 370), Bytes(initPatchData.begin(), initPatchData.begin() + 370));
    EXPECT_EQ(d[390], 0x7F);
    EXPECT_EQ(d[391], 0xF7);
  }

  const Bytes initMulti(initMultiData.begin(), initMultiData.end());
  EXPECT_EQ(sim::frameChecksum(initMulti), initMulti[391]);  // the stored byte is the real checksum
  PatchFile multis = bankOf(multiFile("M", 1));
  ASSERT_EQ(multis.patches.size(), 100u);
  for (size_t i = 1; i < 100; ++i) {
    EXPECT_EQ(multis.patches[i].name, "Sequencer Multi ");
    EXPECT_EQ(multis.patches[i].dumps[0].bytes, initMulti);
  }

  PatchFile full = bankOf(soundFile("S", 100));
  EXPECT_EQ(full.patches.back().name, numbered("S", 99));
  PatchLibrarian::fillUncompletedBankFiles(&full);
  EXPECT_EQ(full.patches.size(), 100u);
}

TEST(Padding, FillUncompletedBankFilesAddsInitPatches) {
  PatchFile bank = bankOfDumps(dumpsOf(99, false), 0);
  PatchLibrarian::fillUncompletedBankFiles(&bank);
  ASSERT_EQ(bank.patches.size(), 100u);
  EXPECT_EQ(bank.patches[99].name, "Init Patch   dVn");
  EXPECT_EQ(bank.patches[99].category, "Init");
  EXPECT_EQ(bank.patches[99].typeCode, 1);
  EXPECT_EQ(bank.patches[99].dumps[0].bytes, Bytes(initPatchData.begin(), initPatchData.end()));

  PatchFile multis = bankOfDumps(dumpsOf(3, true), 1);
  PatchLibrarian::fillUncompletedBankFiles(&multis);
  EXPECT_EQ(multis.patches[50].typeCode, 4);
  EXPECT_EQ(multis.patches[50].name, "Sequencer Multi ");

  PatchFile none;
  PatchLibrarian::fillUncompletedBankFiles(&none);
  PatchLibrarian::checkBankSizeAndAddData(&none);
  EXPECT_TRUE(none.patches.empty());
}

// ---- Conversion.

namespace {
Bytes qDump(const std::vector<std::pair<int, int>>& values, size_t size = 393) {
  Bytes d(size, 0x00);
  d[0] = 0xF0, d[1] = 0x3E, d[2] = 0x0F, d[4] = 0x10;
  for (auto [i, v] : values) d[static_cast<size_t>(i)] = static_cast<unsigned char>(v);
  d[size - 1] = 0xF7;
  return d;
}

struct ConversionCase {
  const char* label;
  std::vector<std::pair<int, int>> in;
  int at;
  int expected;
};

Bytes converted(Bytes d, bool q) {
  PatchSysexMessage m{std::move(d)};
  if (q) {
    PatchLibrarian::alterPatchFromQFormat(&m);
  } else {
    PatchLibrarian::alterPatchFromReroverFormat(&m);
    PatchLibrarian::alterReroverCategoryFormat(&m);
  }
  return m.bytes;
}
}  // namespace

TEST(Conversion, QDumpsDropByte252AndMapValues) {
  const std::vector<ConversionCase> cases = {
      {"20 at old 270 becomes 0 at 269", {{270, 20}}, 269, 0},
      {"25 at old 270 becomes 24", {{270, 25}}, 269, 24},
      {"19 at old 270 stays", {{270, 19}}, 269, 19},
      {"40 at old 254 becomes 0 at 253", {{254, 40}}, 253, 0},
      {"50 at old 254 becomes 38", {{254, 50}}, 253, 38},
      {"old 253 moves to 252", {{253, 7}}, 252, 7},
      {"9 at 13 takes byte 16", {{13, 9}, {16, 0x55}}, 13, 0x55},
      {"6 at 13 becomes 0", {{13, 6}}, 13, 0},
      {"3 at 13 stays", {{13, 3}}, 13, 3},
      {"15 gets one more", {{15, 4}}, 15, 5},
      {"84 of 17 becomes 1", {{84, 17}}, 84, 1},
      {"124 of 0 becomes 1", {{124, 0}}, 124, 1},
      {"124 of 5 becomes 0", {{124, 5}}, 124, 0},
      {"135 of 6 becomes 5", {{135, 6}}, 135, 5},
      {"135 of 9 becomes 0", {{135, 9}}, 135, 0},
      {"151 of 4 becomes 7", {{151, 4}}, 151, 7},
      {"151 of 33 becomes 10", {{151, 33}}, 151, 10},
      {"151 of 9 becomes 0", {{151, 9}}, 151, 0},
      {"old checksum at 391 moves to 390", {{391, 0x44}}, 390, 0x44},
  };
  for (const auto& c : cases) {
    const Bytes out = converted(qDump(c.in), true);
    ASSERT_EQ(out.size(), 392u) << c.label;
    EXPECT_EQ(out[391], 0xF7) << c.label;
    EXPECT_EQ(out[static_cast<size_t>(c.at)], c.expected) << c.label;
  }
}

TEST(Conversion, ReroverValuesAndCategories) {
  const std::vector<ConversionCase> cases = {
      {"15 of 7 becomes 0", {{15, 7}}, 15, 0},
      {"17 of 15 becomes 12", {{17, 15}}, 17, 12},
      {"17 of 16 becomes 11", {{17, 16}}, 17, 11},
      {"17 of 12 becomes 0", {{17, 12}}, 17, 0},
      {"17 of 13 stays", {{17, 13}}, 17, 13},
      {"21 becomes 0", {{21, 9}}, 21, 0},
      {"76 becomes 0", {{76, 9}}, 76, 0},
      {"84 of 18 becomes 1", {{84, 18}}, 84, 1},
      {"151 of 6 becomes 7", {{151, 6}}, 151, 7},
      {"252 of 24 becomes 0", {{252, 24}}, 252, 0},
      {"269 of 31 becomes 0", {{269, 31}}, 269, 0},
      {"293 of 54 becomes 0", {{293, 54}}, 293, 0},
      {"category 5 writes F", {{387, 5}, {388, 0x61}}, 386, 'F'},
      {"category 5 writes X", {{387, 5}, {388, 0x61}}, 387, 'X'},
      {"category 5 keeps 388", {{387, 5}, {388, 0x61}}, 388, 0x61},
      {"category 13 is Init", {{387, 13}}, 389, 't'},
  };
  for (const auto& c : cases) {
    Bytes in = qDump(c.in, 392);
    in[2] = 0x13;
    const Bytes out = converted(in, false);
    ASSERT_EQ(out.size(), 392u) << c.label;
    EXPECT_EQ(out[static_cast<size_t>(c.at)], c.expected) << c.label;
  }
  Bytes big = qDump({}, 400);
  EXPECT_EQ(converted(big, false).size(), 392u);
  EXPECT_EQ(converted(big, false)[391], 0xF7);
}

// Short Q and Rerover dumps in a file are read as if zero-filled, never
// past their end.
TEST(Conversion, ShortDumpsAreCompletedBeforeConversion) {
  for (unsigned char model : {0x0F, 0x13}) {
    for (size_t size : {8u, 100u, 252u, 300u, 391u}) {
      Bytes d(size, 0x15);
      d[0] = 0xF0, d[1] = 0x3E, d[2] = model, d[3] = 0, d[4] = 0x10, d[5] = 0;
      d.back() = 0xF7;
      const PatchFile bank = bankOf(concat({d, Bytes(20, 0)}));
      ASSERT_EQ(bank.patches.size(), 100u) << int(model) << " " << size;
      const Bytes& out = bank.patches[0].dumps[0].bytes;
      ASSERT_EQ(out.size(), 392u);
      EXPECT_EQ(out[391], 0xF7);
      EXPECT_EQ(out[390], sim::frameChecksum(out));
    }
  }
}

// ---- Records.

TEST(Records, CloneCopiesEntriesAndNormalisesTheKind) {
  PatchFile bank = bankOfDumps(dumpsOf(2, false), 0);
  bank.patches[0].dumps.push_back({multiDump("Second")});
  bank.fileName = "Lead 1";
  bank.folderName = "Lead";
  bank.directories = {"Patches"};
  struct Case {
    int bankType, kind, expectType, expectKind;
  };
  for (const Case c : {Case{0, 0, 0, 0}, Case{1, 7, 1, 2}, Case{5, 1, 0, 0}, Case{1, 1, 1, 1}}) {
    bank.bankType = c.bankType;
    bank.kind = c.kind;
    auto copy = bank.clone();
    EXPECT_EQ(copy->bankType, c.expectType);
    EXPECT_EQ(copy->kind, c.expectKind);
    EXPECT_EQ(copy->fileName, "Lead 1");
    EXPECT_TRUE(copy->folderName.empty());
    EXPECT_TRUE(copy->directories.empty());
    ASSERT_EQ(copy->patches.size(), 2u);
    ASSERT_EQ(copy->patches[0].dumps.size(), 2u);
    copy->patches[0].dumps[1].bytes[7] = 0x01;
    EXPECT_NE(copy->patches[0].dumps[1].bytes, bank.patches[0].dumps[1].bytes);
  }
  std::string t = "a/b\\c";
  removeCharsFromString(t, "/\\");
  EXPECT_EQ(t, "abc");
  removeCharsFromString(t, "");
  EXPECT_EQ(t, "abc");
}
