// The settings file: how its lines are read, how a command rewrites it
// without ever losing it, and the ports it names opened at start-up.
#include <future>

#include "../library/LibraryTestSupport.h"
#include "EditorTestSupport.h"
#include "SettingsFile.h"
#include "UserFiles.h"

namespace {
namespace fs = std::filesystem;

class SettingsTest : public EditorTest {
 protected:
  void writeSettings(const std::string& text) { std::ofstream(getSettingsPath(), std::ios::binary) << text; }
};

TEST_F(SettingsTest, LinesAreReadWithTheirTrailingBlanksRemoved) {
  struct Row {
    const char* name;
    std::string file;
    std::array<std::string, 5> lines;
    double scale;
    int scheme;
  };
  const Row table[] = {
      {"five lines, no final newline", "blue\nlarge\nyes\nOut\nIn", {"blue", "large", "yes", "Out", "In"}, 1.15, 1},
      {"carriage returns and tabs", "phoenix\r\nsmall \t\r\nno\r\n", {"phoenix", "small", "no", "", ""}, 0.85, 2},
      {"leading blanks stay", " large\n yellow", {" large", " yellow", "", "", ""}, 1.0, -1},
      {"case matters", "Yellow\nLARGE", {"Yellow", "LARGE", "", "", ""}, 1.0, -1},
      {"blank lines", "   \n\t\nyes", {"", "", "yes", "", ""}, 1.0, -1},
      {"first run state written at install", "yellow\nnormal\nno\n\n", {"yellow", "normal", "no", "", ""}, 1.0, 0},
      {"binary junk", std::string("\x00\xff\xfe\n\x80", 5), {std::string("\x00\xff\xfe", 3), "\x80", "", "", ""}, 1.0, -1},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.name);
    writeSettings(row.file);
    SettingsFile settings;
    ASSERT_TRUE(settings.read(getSettingsPath()));
    for (int i = 0; i < SettingsFile::kLineCount; ++i)
      EXPECT_EQ(settings.line(static_cast<SettingsFile::Line>(i)), row.lines[static_cast<size_t>(i)]) << i;
    EXPECT_EQ(settings.uiScale(), row.scale);
    EXPECT_EQ(settings.colourScheme(), row.scheme);
  }
  fs::remove(getSettingsPath());
  SettingsFile missing;
  EXPECT_FALSE(missing.read(getSettingsPath()));
  EXPECT_EQ(missing.contents(), "\n\n\n\n");
}

TEST_F(SettingsTest, ARewriteReplacesOneLineAndNeverLosesTheFile) {
  writeSettings("blue\nlarge\nyes\nOut\nIn\n");
  SettingsFile settings;
  settings.read(getSettingsPath());
  ASSERT_TRUE(settings.rewrite(getSettingsPath(), SettingsFile::kMidiOut, "New Out"));
  EXPECT_EQ(readFile(getSettingsPath()), "blue\nlarge\nyes\nNew Out\nIn");

  // The write fails (the disk fills up halfway): the old file stays.
  userfiles::setWriteFault(userfiles::WriteFault{10, ENOSPC});
  EXPECT_FALSE(settings.rewrite(getSettingsPath(), SettingsFile::kStyle, "phoenix"));
  userfiles::setWriteFault(std::nullopt);
  EXPECT_EQ(readFile(getSettingsPath()), "blue\nlarge\nyes\nNew Out\nIn");
  EXPECT_EQ(settings.line(SettingsFile::kStyle), "blue");
  // Nothing is left beside it.
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(fs::path(getSettingsPath()).parent_path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Tarnivex Editor LOG.txt", "Tarnivex Editor UI.txt"}));

  // A missing file is not created.
  fs::remove(getSettingsPath());
  EXPECT_FALSE(settings.rewrite(getSettingsPath(), SettingsFile::kStyle, "phoenix"));
  EXPECT_FALSE(fs::exists(getSettingsPath()));
}

// Each instance reads the file at start-up; a later change of one of them
// must not write back the lines another has changed since.
TEST_F(SettingsTest, InstancesNeverUndoEachOthersChanges) {
  writeSettings("yellow\nnormal\nyes\nOld Out\nOld In");
  makePlug(false);
  SettingsFile other;  // a second instance, started at the same time
  ASSERT_TRUE(other.read(getSettingsPath()));
  plug->getExternalMIDIOutNames();
  setParam(kDeviceOutSelection, 2);  // this one chooses its output
  ASSERT_TRUE(other.rewrite(getSettingsPath(), SettingsFile::kStyle, "phoenix"));  // the other a scheme
  setParam(kUserInterfaceSize, 2);  // and this one a size
  EXPECT_EQ(readFile(getSettingsPath()), std::string("phoenix\nlarge\nyes\n") + kPort + "\nOld In");
  EXPECT_EQ(plug->settings.line(SettingsFile::kStyle), "phoenix");
  // Choosing no port keeps the line the file has, not the one this instance read.
  ASSERT_TRUE(other.rewrite(getSettingsPath(), SettingsFile::kMidiOut, "Chosen elsewhere"));
  setParam(kDeviceOutSelection, 0);
  EXPECT_EQ(readFile(getSettingsPath()), "phoenix\nlarge\nyes\nChosen elsewhere\nOld In");

  // Many at once, each changing its own line again and again.
  std::vector<std::thread> writers;
  std::atomic<int> failures{0};
  for (int line = 0; line < SettingsFile::kLineCount; ++line) {
    writers.emplace_back([&, line] {
      SettingsFile instance;
      instance.read(getSettingsPath());
      for (int n = 0; n < 30; ++n)
        if (!instance.rewrite(getSettingsPath(), static_cast<SettingsFile::Line>(line),
                              "line " + std::to_string(line) + " change " + std::to_string(n)))
          ++failures;
    });
  }
  for (auto& writer : writers) writer.join();
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(readFile(getSettingsPath()),
            "line 0 change 29\nline 1 change 29\nline 2 change 29\nline 3 change 29\nline 4 change 29");
}

TEST_F(SettingsTest, StartUpOpensThePortsTheFileNames) {
  struct Row {
    const char* name;
    std::string file;
    bool outOpen, inOpen, configured;
    double scale;
  };
  const Row table[] = {
      {"both ports", std::string("yellow\nsmall\nyes\n") + kPort + "\n" + kPort, true, true, true, 0.85},
      {"output only", std::string("yellow\nnormal\nyes\n") + kPort + "\n", true, false, true, 1.0},
      {"first run not done", std::string("yellow\nnormal\nno\n") + kPort + "\n" + kPort, false, false, false, 1.0},
      {"no output named", std::string("yellow\nlarge\nyes\n\n") + kPort, false, false, false, 1.15},
      {"a port that is gone", "yellow\nnormal\nyes\nGone synth\nGone synth", false, false, false, 1.0},
      {"damaged file", std::string("\xff\xfe\x00garbage", 10), false, false, false, 1.0},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.name);
    writeSettings(row.file);
    makePlug(false);
    const bool outOpen = backend->outObjects() > 0 && backend->out().open;
    const bool inOpen = backend->inObjects() > 0 && backend->in().open;
    EXPECT_EQ(outOpen, row.outOpen);
    EXPECT_EQ(inOpen, row.inOpen);
    EXPECT_EQ(plug->midiIOConfigured.load(), row.configured);
    EXPECT_EQ(plug->GetUIScale(), row.scale);
    if (row.outOpen) {
      EXPECT_EQ(backend->out().openedPort, 1);
      EXPECT_TRUE(plug->initialisationPending);
    }
    plug.reset();
  }
}

TEST_F(SettingsTest, FilterRoutingAndClockCommandsSetTheirFlags) {
  makePlug(false);
  plug->SetBlockSize(256);
  host.setTempo(133.7);
  struct Row {
    const char* name;
    int param;
    double value;
    std::function<bool()> holds;
  };
  const Row table[] = {
      {"host CC passes", kMIDIFilterDAWCCPassThrough, 1, [&] { return !plug->blocks(false, Tarnivex::kFilterCC); }},
      {"host CC at 0.5 is blocked", kMIDIFilterDAWCCPassThrough, 0.5, [&] { return plug->blocks(false, Tarnivex::kFilterCC); }},
      {"instrument SysEx blocked", kMIDIFilterHWSEPassThrough, 0, [&] { return plug->blocks(true, Tarnivex::kFilterSE); }},
      {"instrument pitch bend passes", kMIDIFilterHWPPPassThrough, 1, [&] { return !plug->blocks(true, Tarnivex::kFilterPP); }},
      {"track incoming off", kMIDIFilterTrackIncomingMIDI, 0, [&] { return !plug->trackIncoming; }},
      {"clock pointer on", kSendMIDIClockPointer, 1, [&] { return plug->clockPointerOn.load(); }},
      {"clock info on reads the host tempo", kSendMIDIClockInfo, 1,
       [&] { return plug->clockInfoOn && plug->getTempoValue() == 133 && !plug->continuousClockStarted; }},
      {"clock info off", kSendMIDIClockInfo, 0, [&] { return !plug->clockInfoOn; }},
      {"tempo information reads the host tempo", kTempoInformation, 1, [&] { return plug->getTempoValue() == 133; }},
      {"closing the MIDI filter window leaves a running job's flags", kViewMIDIFilterSettings, 0,
       [&] { return plug->editorBusy && plug->stateRestore && plug->midiMessageManager->dumpExpected; }},
      {"DAW offset: block size + twice the value", kAdjustDAWOffset, 10, [&] { return plug->hostBufferOffset == 276; }},
      {"master keyboard", kMasterKeyboard, 1, [&] { return plug->masterKeyboard.load(); }},
      {"switching routing off changes nothing", kMIDIFilterToDAWBuffer, 0, [&] { return !plug->midiToHostBuffer; }},
  };
  for (const Row& row : table) {
    SCOPED_TRACE(row.name);
    plug->continuousClockStarted = true;
    plug->editorBusy = plug->stateRestore = true;  // a part request or a project send runs
    plug->midiMessageManager->dumpExpected = true;
    nameText.SetTextFromPlug("");
    setParam(row.param, row.value);
    EXPECT_TRUE(row.holds());
  }
}

TEST_F(SettingsTest, PortAndLookCommandsRewriteTheirLine) {
  const std::string longName = "dirirU Synthesizer MIDI Port 1 on a long bus path, longer than any menu text";
  backend->setOutPorts({"Other synth", longName});
  backend->setInPorts({"Other synth", longName});
  writeSettings("yellow\nnormal\nyes\n\n");
  makePlug(false);
  plug->getExternalMIDIOutNames();
  plug->getExternalMIDIInNames();
  // The device enquiry the ports start writes its own status on the MIDI
  // thread: held back until the port's text is read.
  std::promise<void> release;
  plug->runOffHostThread([held = release.get_future().share()] { held.wait_for(std::chrono::seconds(10)); });
  setParam(kDeviceOutSelection, 2);
  EXPECT_TRUE(plug->midiIOConfigured);
  EXPECT_EQ(nameText.GetText(), "Default MIDI output set.");
  setParam(kDeviceInSelection, 2);
  EXPECT_EQ(nameText.GetText(), "Default MIDI input set.");
  release.set_value();
  settle();
  param(kUserInterfaceStyle)->InitInt("", 0, 0, 2);
  setParam(kUserInterfaceStyle, 2);
  EXPECT_EQ(valueText.GetText(), "Reload project!");
  param(kUserInterfaceSize)->InitInt("", 0, 0, 2);
  setParam(kUserInterfaceSize, 0);
  EXPECT_EQ(readFile(getSettingsPath()), "phoenix\nsmall\nyes\n" + longName + "\n" + longName);

  // "Select MIDI Device" closes the output and keeps line 4.
  setParam(kDeviceOutSelection, 0);
  EXPECT_FALSE(plug->midiIOConfigured);
  EXPECT_FALSE(backend->out().open);
  EXPECT_EQ(readFile(getSettingsPath()), "phoenix\nsmall\nyes\n" + longName + "\n" + longName);

  // A file that is there but cannot be written says why, and stays.
  const std::string kept = readFile(getSettingsPath());
  // Another process keeping the data folder's lock holds the window up to
  // two seconds a change, as a save.
  struct Row {
    const char* label;
    std::optional<userfiles::WriteFault> fault;
    bool readOnly;
    const char* why;
    bool lockHeld = false;
  };
  for (const Row& row : {Row{"read-only file", std::nullopt, true, "File is read-only"},
                         Row{"read-only folder", userfiles::WriteFault{0, EACCES, 0, true}, false, "Folder is read-only"},
                         Row{"full disk", userfiles::WriteFault{4, ENOSPC}, false, "Disk full"},
                         Row{"lock kept by another process", std::nullopt, false, "Folder busy, try again", true}}) {
    SCOPED_TRACE(row.label);
    if (row.readOnly) fs::permissions(getSettingsPath(), fs::perms::owner_read | fs::perms::group_read);
    std::optional<LockHolder> holder;
    if (row.lockHeld) holder.emplace(fs::path(getSettingsPath()).parent_path());
    userfiles::setWriteFault(row.fault);
    const auto start = std::chrono::steady_clock::now();
    setParam(kUserInterfaceSize, 2);
    setParam(kUserInterfaceStyle, 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(5000));
    holder.reset();
    userfiles::setWriteFault(std::nullopt);
    fs::permissions(getSettingsPath(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(nameText.GetText(), "Tarnivex Editor UI.txt not saved!");
    EXPECT_EQ(valueText.GetText(), row.why);
    EXPECT_EQ(readFile(getSettingsPath()), kept);
    // EDITOR SIZE and COLOUR SCHEME show what the file holds: small, phoenix.
    EXPECT_EQ(param(kUserInterfaceSize)->Int(), 0);
    EXPECT_EQ(param(kUserInterfaceStyle)->Int(), 2);
  }

  fs::remove(getSettingsPath());
  setParam(kUserInterfaceStyle, 1);
  EXPECT_EQ(nameText.GetText(), "Tarnivex Editor UI.txt MISSING!");
  EXPECT_EQ(valueText.GetText(), "Contact support");
  EXPECT_FALSE(fs::exists(getSettingsPath()));
}
}  // namespace
