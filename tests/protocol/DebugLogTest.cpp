// The debug log: only when its file existed at start-up, one line per
// message in the log's own format, whole lines from any number of threads.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <optional>
#include <regex>
#include <thread>

#include "DataFolder.h"
#include "DebuggerOutput.h"
#include "IMidiMsg.h"
#include "RecordingTarnivex.h"
#include "TraceOutput.h"

namespace {
namespace fs = std::filesystem;

const std::regex kLine(R"(\d{4}-\d{2}-\d{2}\.\d{2}:\d{2}:\d{2}\t (.*))");

// Standard output redirected into a pipe of 4 KiB whose read end the test
// holds (filled: full already, both ends not blocking); put back when it goes.
class PipedStdout {
 public:
  explicit PipedStdout(bool filled = false) {
    std::fflush(stdout);
    mSaved = dup(STDOUT_FILENO);
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | (filled ? O_NONBLOCK : 0)) != 0) {
      ADD_FAILURE() << "no pipe";
      return;
    }
    fcntl(ends[1], F_SETPIPE_SZ, 4096);
    const std::string filler(4096, 'x');
    for (ssize_t n; filled && (n = write(ends[1], filler.data(), filler.size())) > 0;) mFilled += static_cast<size_t>(n);
    dup2(ends[1], STDOUT_FILENO);
    close(ends[1]);
    mRead = ends[0];
  }
  ~PipedStdout() {
    dup2(mSaved, STDOUT_FILENO);
    close(mSaved);
    if (mRead >= 0) close(mRead);
  }
  PipedStdout(const PipedStdout&) = delete;
  PipedStdout& operator=(const PipedStdout&) = delete;
  int readEnd() const { return mRead; }
  size_t filled() const { return mFilled; }

 private:
  int mSaved = -1, mRead = -1;
  size_t mFilled = 0;
};

class DebugLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tarnivex-log-XXXXXX";
    root = mkdtemp(pattern);
    setenv("XDG_DATA_HOME", root.c_str(), 1);
    fs::create_directories(getDataFolder());
  }
  void TearDown() override { fs::remove_all(root); }
  void createLog(const std::string& content) { std::ofstream(getDebugLogPath()) << content; }
  // The messages of the log's lines; every line must have the log's format.
  std::vector<std::string> messages() {
    std::ifstream in(getDebugLogPath());
    std::vector<std::string> result;
    std::smatch match;
    for (std::string line; std::getline(in, line);)
      result.push_back(std::regex_match(line, match, kLine) ? match[1].str() : "malformed: " + line);
    return result;
  }

  fs::path root;
};

TEST_F(DebugLogTest, WithoutALogFileNothingIsEverWritten) {
  EXPECT_EQ(getDebugLogPath(), root.string() + "/Kelmscroft/Zorozov Tarnivex Editor/Tarnivex Editor LOG.txt");
  RecordingTarnivex plug;
  EXPECT_FALSE(plug.debugLogEnabled);
  plug.debugLog("PROCESSOR: not written");
  DebuggerOutput log;
  TraceOutput::flush();  // what came before goes first
  testing::internal::CaptureStdout();
  EXPECT_FALSE(log.openDebugFile(getDebugLogPath()));
  ASSERT_TRUE(TraceOutput::flush());  // the trace leaves on its own thread
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Unable to open file\n");  // a line of its own
  EXPECT_FALSE(fs::exists(getDebugLogPath()));
  const std::string patches = root.string() + "/Kelmscroft/Zorozov Tarnivex Editor/Patches";
  EXPECT_EQ(getPatchesFolderStr(), patches);
  EXPECT_EQ(getPatchesFolderLength(), static_cast<int>(patches.size()));
}

TEST_F(DebugLogTest, AnIncomingMessageComparesWithTheLastOneAndTakesItsPlace) {
  RecordingTarnivex plug;
  DebuggerOutput log;
  struct Row {
    IMidiMsg msg;
    bool same;
  };
  const Row rows[] = {{{0, 0x90, 60, 100}, false}, {{0, 0x90, 60, 100}, true}, {{0, 0x90, 60, 101}, false},
                      {{0, 0x80, 60, 101}, false}, {{0, 0x80, 60, 101}, true}};
  for (const Row& row : rows) {
    TraceOutput::flush();  // what came before goes first
    testing::internal::CaptureStdout();
    EXPECT_EQ(log.compareMIDIdata(&plug, row.msg), row.same);
    ASSERT_TRUE(TraceOutput::flush());  // the trace leaves on its own thread
    EXPECT_EQ(testing::internal::GetCapturedStdout(), row.same ? "" : "Plug-in MIDI In  \n");
  }
  EXPECT_FALSE(log.compareMIDIdata(nullptr, IMidiMsg(0, 0x90, 1, 2)));
}

TEST_F(DebugLogTest, AnExistingLogIsEmptiedAndGetsOneStampedLinePerMessageEchoedToStandardOutput) {
  createLog("an old session\n");
  RecordingTarnivex plug;
  EXPECT_TRUE(plug.debugLogEnabled);
  const size_t startUp = messages().size();  // start-up logs too
  TraceOutput::flush();  // what came before goes first
  testing::internal::CaptureStdout();
  plug.debugLog("PROCESSOR: first");
  plug.debugLog("RESET: plug-in second");
  ASSERT_TRUE(TraceOutput::flush());  // the trace leaves on its own thread
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Build LOG: \t PROCESSOR: first\nBuild LOG: \t RESET: plug-in second\n");
  std::vector<std::string> written = messages();
  ASSERT_EQ(written.size(), startUp + 2);
  EXPECT_EQ(std::vector<std::string>(written.begin() + static_cast<long>(startUp), written.end()),
            (std::vector<std::string>{"PROCESSOR: first", "RESET: plug-in second"}));
  for (const auto& message : written) EXPECT_NE(message.rfind("malformed: ", 0), 0u) << message;  // the old line too

  fs::remove(getDebugLogPath());  // a log deleted while running comes back
  plug.debugLog("PROCESSOR: again");
  EXPECT_EQ(messages(), std::vector<std::string>{"PROCESSOR: again"});
}

TEST_F(DebugLogTest, LinesFromManyThreadsStayWhole) {
  createLog("");
  DebuggerOutput log;
  ASSERT_TRUE(log.openDebugFile(getDebugLogPath()));
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t)
    writers.emplace_back([&log, t] {
      for (int i = 0; i < 50; ++i)
        log.printDebugInfo(getDebugLogPath(), "PROCESSOR: thread " + std::to_string(t) + " line " + std::to_string(i));
    });
  for (auto& writer : writers) writer.join();
  const auto written = messages();
  ASSERT_EQ(written.size(), 200u);
  const std::regex whole(R"(PROCESSOR: thread \d line \d+)");
  for (const auto& message : written) EXPECT_TRUE(std::regex_match(message, whole)) << message;
}
// Standard output that nobody reads: printing never waits; what does not
// fit the trace's buffer is left out, and one line says how much once the
// output takes text again: after lines it took, even when the writer starts
// only once the loss is there.
TEST(TraceOutputTest, AStandardOutputNobodyReadsHoldsUpNoPrintAndTheLossIsReportedOnce) {
  ASSERT_TRUE(TraceOutput::flush());
  auto out = std::make_unique<PipedStdout>(true);  // takes nothing until the reader below
  const int readEnd = out->readEnd();
  const size_t droppedBefore = TraceOutput::dropped();
  const std::string line = "Plug-in MIDI Out (sysex | 6 bytes | F0 f0 3e 10 00 04 f7 F7)\n";
  constexpr size_t kLines = (2u << 20) / 64;  // twice what the buffer holds
  for (size_t i = 0; i < kLines; ++i) TraceOutput::print(line);  // returns although nothing is read
  const size_t dropped = TraceOutput::dropped() - droppedBefore;
  EXPECT_GT(dropped, 0u);
  TraceOutput::Hold hold;  // the writer starts late
  // Read until the report has come (the writer's own buffer drains first).
  std::string text;
  const std::string report = "Plug-in trace: " + std::to_string(dropped) + " lines left out: standard output did not keep up\n";
  std::thread reader([&] {
    char buffer[65536];
    for (;;) {
      pollfd in{readEnd, POLLIN, 0};
      if (poll(&in, 1, 10000) <= 0) return;  // bounded: a missing report fails below
      const ssize_t n = read(readEnd, buffer, sizeof(buffer));
      if (n <= 0) return;
      text.append(buffer, static_cast<size_t>(n));
      if (text.find(report) != std::string::npos) return;
    }
  });
  reader.join();
  const size_t filler = out->filled();
  out.reset();
  EXPECT_NE(text.find(report), std::string::npos);
  EXPECT_EQ(text.find("Plug-in trace:"), text.rfind("Plug-in trace:"));  // once
  EXPECT_EQ((text.find("Plug-in trace:") - filler) % line.size(), 0u);   // between whole lines
  EXPECT_GT(text.find("Plug-in trace:"), filler);  // after lines the output took again
}
// A standard output that stops taking lines while they keep coming (the
// host's MIDI goes on), then takes them again: the line that says how many
// were left out comes once it does, while lines still come and before the
// buffer has caught up, at most about once a second; or, when the last hold
// is let go (the last instance closes) with the output still behind, at that
// close, counting what the output never took, whether or not anything
// reads it then. That close waits a fifth of a second in all, however slowly
// a live reader takes the chunks. Every line printed arrives or is counted;
// a line cut short by the close is ended before the count's line. The reader
// waits for what it reads, never for a time.
TEST(TraceOutputTest, ALossIsToldOnceStandardOutputTakesLinesAgainOrAtTheLatestAtTheClose) {
  enum class Reader { kSlowerThanTheLines, kOnceTheCloseGaveUp, kSlowThroughTheClose, kOnlyOnceTheCloseReturned };
  struct Row {
    const char* name;
    Reader reader;
    size_t sysExBytes;  // of the traced message: over a thousand make a line longer than a write
  };
  const Row table[] = {{"the output reads again, slower than the lines come", Reader::kSlowerThanTheLines, 6},
                       {"the last hold is let go while the output is behind", Reader::kOnceTheCloseGaveUp, 6},
                       {"the last hold is let go while a slow reader takes chunk after chunk", Reader::kSlowThroughTheClose, 6},
                       {"the output takes nothing until the close has returned", Reader::kOnlyOnceTheCloseReturned, 6},
                       {"the close cuts a long line that nothing reads", Reader::kOnlyOnceTheCloseReturned, 3000}};
  const std::regex note(R"(Plug-in trace: (\d+) lines left out: standard output did not keep up\n)");
  // A close waits a quarter second; the rest is room for a loaded machine.
  // Taking the buffer at the slow reader's pace would keep it half a minute.
  constexpr double kCloseBoundMs = 1500;
  for (const Row& row : table) {
    SCOPED_TRACE(row.name);
    std::string line = "Plug-in MIDI Out (sysex | " + std::to_string(row.sysExBytes) + " bytes | F0";
    for (size_t i = 0; i < row.sysExBytes; ++i) line += " 7f";
    line += " F7)\n";
    const bool closes = row.reader != Reader::kSlowerThanTheLines;
    auto hold = std::make_unique<TraceOutput::Hold>();
    ASSERT_TRUE(TraceOutput::flush());
    auto out = std::make_unique<PipedStdout>();
    const int readEnd = out->readEnd();
    const size_t droppedBefore = TraceOutput::dropped();
    // Nothing reads while twice what the buffer holds is printed.
    std::atomic<size_t> printed{0};
    for (; printed < (2u << 20) / line.size(); ++printed) TraceOutput::print(line);
    const size_t droppedWhileBlocked = TraceOutput::dropped() - droppedBefore;

    std::string text;
    std::atomic<bool> noteSeen{false}, printingDone{false}, closed{false};
    std::atomic<int> notesSeen{0};
    bool behindAtNote = false;
    // The whole lines read so far: trace lines, and the count the notes told.
    size_t scanned = 0, linesRead = 0, toldRead = 0;
    const std::string notePrefix = "Plug-in trace: ";
    const auto readSome = [&](size_t most, int waitMs) {
      pollfd in{readEnd, POLLIN, 0};
      if (poll(&in, 1, waitMs) <= 0) return false;
      std::vector<char> buffer(most);
      const ssize_t n = read(readEnd, buffer.data(), buffer.size());
      if (n <= 0) return false;
      text.append(buffer.data(), static_cast<size_t>(n));
      for (size_t end; (end = text.find('\n', scanned)) != std::string::npos; scanned = end + 1) {
        if (text.compare(scanned, notePrefix.size(), notePrefix) != 0) {
          ++linesRead;
          continue;
        }
        toldRead += std::stoul(text.substr(scanned + notePrefix.size()));
        ++notesSeen;
        if (!noteSeen) {
          behindAtNote = !TraceOutput::flush(0);  // lines still wait in the buffer
          noteSeen = true;
        }
      }
      return true;
    };
    // Every line printed has arrived or was told of (a line cut short is
    // both).
    const auto accounted = [&] { return linesRead + toldRead >= printed; };
    const auto until = [](const std::atomic<bool>& flag) {
      for (int i = 0; i < 20000 && !flag; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    std::thread reader([&] {
      switch (row.reader) {
        case Reader::kSlowerThanTheLines:
          // 8 KB each 50 ms: slower than the lines keep coming.
          while (!printingDone) {
            readSome(8192, 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
          }
          break;
        case Reader::kOnceTheCloseGaveUp:
          for (int i = 0; i < 20000 && !closed && TraceOutput::dropped() - droppedBefore == droppedWhileBlocked; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
          break;
        case Reader::kSlowThroughTheClose:
          // 4 KB each 100 ms, as a logger taking 40 KB a second does.
          while (!closed) {
            readSome(4096, 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
          }
          break;
        case Reader::kOnlyOnceTheCloseReturned: until(closed); break;
      }
      // Then all of it, until every line is accounted for (bounded by a
      // reader that waits in vain).
      while (!accounted() && readSome(65536, 10000)) {
      }
    });
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    double closingMs = 0;
    int notesInFourSeconds = 0;
    if (!closes) {
      // 20,000 lines a second until the reader has seen the line, and four
      // seconds more of them (bounded by a line that never comes): lines
      // are left out all along, so a line each second tells of them.
      auto stopAt = start + std::chrono::seconds(20);
      std::optional<Clock::time_point> firstNote;
      for (int ms = 0; Clock::now() < stopAt; ms += 10) {
        for (int i = 0; i < 200; ++i, ++printed) TraceOutput::print(line);
        if (noteSeen && !firstNote) {
          firstNote = Clock::now();
          stopAt = std::min(stopAt, *firstNote + std::chrono::seconds(4));
        }
        std::this_thread::sleep_until(start + std::chrono::milliseconds(ms + 10));
      }
      notesInFourSeconds = notesSeen;
      printingDone = true;
    } else {
      const auto asked = Clock::now();
      hold.reset();  // the last instance closes
      closingMs = std::chrono::duration<double, std::milli>(Clock::now() - asked).count();
      closed = true;
    }
    reader.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    out.reset();
    hold.reset();

    const size_t dropped = TraceOutput::dropped() - droppedBefore;
    size_t told = 0, notes = 0;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), note); it != std::sregex_iterator(); ++it, ++notes) {
      told += std::stoul((*it)[1].str());
      EXPECT_TRUE(it->position() == 0 || text[static_cast<size_t>(it->position()) - 1] == '\n');  // between whole lines
    }
    // Whole lines arrived; a line cut short is left out, and ended.
    const std::string lines = std::regex_replace(text, note, "");
    size_t arrived = 0, cut = 0;
    for (size_t at = 0, end; (end = lines.find('\n', at)) != std::string::npos; at = end + 1) {
      if (lines.compare(at, end + 1 - at, line) == 0) ++arrived;
      else if (line.compare(0, end - at, lines, at, end - at) == 0) ++cut;
      else ADD_FAILURE() << "not a line printed: " << lines.substr(at, std::min<size_t>(end - at, 200));
    }
    EXPECT_TRUE(lines.empty() || lines.back() == '\n');
    EXPECT_LE(cut, 1u);
    EXPECT_GT(droppedWhileBlocked, 0u);
    EXPECT_GE(notes, 1u);
    EXPECT_EQ(told, dropped);
    EXPECT_EQ(arrived + dropped, printed.load());
    if (closes) {
      EXPECT_LT(closingMs, kCloseBoundMs) << "the close waited for standard output";
    } else {
      // Told while lines still came and the output was behind, not only
      // once the buffer had caught up; while they were still left out, at
      // most once a second (and once more when the buffer had caught up).
      EXPECT_TRUE(noteSeen);
      EXPECT_TRUE(behindAtNote);
      EXPECT_GE(notesInFourSeconds, 2);
      EXPECT_LE(notes, 2 + static_cast<size_t>(seconds));
    }
  }
}
// The host wrote to its standard output too, so the close finds no room for
// its count: a long line the close cut short is ended before whatever comes
// next, and the count follows the next instance's first line.
TEST(TraceOutputTest, ALineACloseCutShortIsEndedBeforeTheNextInstancesLines) {
  ASSERT_TRUE(TraceOutput::flush());
  auto out = std::make_unique<PipedStdout>();  // one page
  const std::string hostLine = "the host's own line, long enough to leave no room for a count after a full write" + std::string(19, '.') + "\n";
  ASSERT_EQ(write(STDOUT_FILENO, hostLine.data(), hostLine.size()), static_cast<ssize_t>(hostLine.size()));
  std::string longLine = "Plug-in MIDI Out (sysex | 3000 bytes | F0";
  for (int i = 0; i < 3000; ++i) longLine += " 7f";
  longLine += " F7)\n";
  const size_t droppedBefore = TraceOutput::dropped();
  auto hold = std::make_unique<TraceOutput::Hold>();
  TraceOutput::print(longLine);
  // Until the first piece of it is in the pipe.
  int unread = 0;
  for (int i = 0; i < 10000 && unread <= static_cast<int>(hostLine.size()); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ioctl(out->readEnd(), FIONREAD, &unread);
  }
  EXPECT_GT(unread, static_cast<int>(hostLine.size()));
  hold.reset();  // the last instance closes with the line cut short
  EXPECT_EQ(TraceOutput::dropped() - droppedBefore, 1u);
  TraceOutput::Hold next;
  TraceOutput::print("Plug-in MIDI Out ");
  const std::string note = "Plug-in trace: 1 lines left out: standard output did not keep up\n";
  std::string text;
  char buffer[65536];
  for (pollfd in{out->readEnd(), POLLIN, 0}; text.find(note) == std::string::npos && poll(&in, 1, 10000) > 0;) {
    const ssize_t n = read(out->readEnd(), buffer, sizeof(buffer));
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  out.reset();
  const size_t piece = static_cast<size_t>(unread) - hostLine.size();
  EXPECT_EQ(text, hostLine + longLine.substr(0, piece) + "\n" + "Plug-in MIDI Out \n" + note);
}
// A hold taken while the last one is being let go (a closing instance's,
// as a close-time sender's thread starts) must not keep the one letting go
// waiting for the new holder: that is the host's thread in effClose. The
// writer waits in a write to a standard output nobody reads, so it sees the
// release only at its next look.
TEST(TraceOutputTest, AHoldTakenWhileTheLastIsLetGoKeepsNobodyWaiting) {
  const PipedStdout full(true);

  auto held = std::make_unique<TraceOutput::Hold>();
  for (int round = 0; round < 8; ++round) {
    for (int i = 0; i < 100; ++i) TraceOutput::print("Plug-in MIDI Out (sysex | 6 bytes | F0 f0 3e 10 00 04 f7 F7)\n");
    std::promise<void> going, released;
    std::thread letGo([&] {
      going.set_value();
      held.reset();
      released.set_value();
    });
    going.get_future().wait();
    auto next = std::make_unique<TraceOutput::Hold>();
    const bool done = released.get_future().wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!done) next.reset();  // lets the release end, so the thread can be joined
    letGo.join();
    ASSERT_TRUE(done) << "round " << round;
    held = std::move(next);
  }
  held.reset();
}
}  // namespace
